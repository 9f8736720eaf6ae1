// Units and conversion factors shared by every subsystem, each under one name.
// Header only, so that the renderer and the data readers may use it too.
#pragma once

// Degrees to radians. Callers have always rounded the factor to different
// places, and their results (pictures, peers' values, stored lengths) depend
// on the last digit, so each rounding keeps a name of its own: the digit is
// the number of decimal places.
constexpr double RadiansPerDegree = 0.017453292519943295;  // as exact as a double
constexpr double RadiansPerDegree9 = 0.017453293;
constexpr double RadiansPerDegree8 = 0.01745329;
constexpr double RadiansPerDegree7 = 0.0174532;
constexpr double RadiansPerDegree5 = 0.01745;
constexpr double RadiansPerDegree4 = 0.0175;
constexpr double RadiansPerDegree3 = 0.017;
// For single-precision arithmetic, as the float literals had it.
constexpr float RadiansPerDegree8F = 0.01745329f;
constexpr float RadiansPerDegree5F = 0.01745f;

// Pi and a whole turn, rounded as above: the Web-Mercator tile maths has
// always taken pi as 3.14159265, the air vector 3.141593 and 6.28319.
constexpr double Pi = 3.14159265358979323846;
constexpr double Pi14 = 3.14159265358979;
constexpr double Pi8 = 3.14159265;
constexpr double Pi6 = 3.141593;
constexpr double Pi4 = 3.1415;
constexpr double TwoPi = 6.283185307179586;
constexpr double TwoPi8 = 6.28318531;
constexpr double TwoPi7 = 6.2831852;
constexpr double TwoPi5 = 6.28319;
constexpr double TwoPi3 = 6.283;

// Radians to degrees, rounded as above.
constexpr double DegreesPerRadian8 = 57.29577951;
constexpr double DegreesPerRadian5 = 57.29578;
constexpr double DegreesPerRadian4 = 57.2958;
constexpr double DegreesPerRadian1 = 57.3;

// Feet per metre, rounded as above; the runway filter of the nearest
// airports has always used 3.2803.
constexpr double FeetPerMetre7 = 3.2808399;
constexpr double FeetPerMetre5 = 3.28084;
constexpr double FeetPerMetre4 = 3.2808;
constexpr double FeetPerMetre3 = 3.281;
constexpr double FeetPerMetre2 = 3.28;
constexpr float FeetPerMetre2F = 3.28f;
constexpr double RunwayFeetPerMetre = 3.2803;

// Metres per second per knot, as every caller has it (not the exact 0.51444).
constexpr double MetresPerSecondPerKnot = 0.5151;

// Metres per degree of latitude: the map and the airways use 111100, the
// traffic tracking 111110, the position rates between two link reports
// 111000. Distinct values, so never one for another.
constexpr double MetresPerDegree = 111100.0;
constexpr double TrafficMetresPerDegree = 111110.0;
constexpr double RateMetresPerDegree = 111000.0;

// Nautical miles: 1852 m, except for the leg lengths handed to and shown from
// the simulator links, which have always used 1853.2.
constexpr double MetresPerNauticalMile = 1852.0;
constexpr double KilometresPerNauticalMile = 1.852;
constexpr double LinkMetresPerNauticalMile = 1853.2;

// Nautical miles per radian of a great circle.
constexpr double NmPerRadian = 3437.7468;
