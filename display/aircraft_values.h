// The aircraft values the per-frame update copies from the simulator facade
// at the start of each frame, as the display's layers read them. GUI thread.
#pragma once

#include <cstdint>

struct AircraftWorkingValues {
    double Altitude = 0;            // feet, smoothed on jumps over 100 ft
    uint8_t OnGround = 0;
    double GroundSpeed = 0;         // knots
    int32_t GroundSpeedInt = 0;
    double WaypointDistance = 0;    // metres
    double WaypointIndex = 0;
    double WaypointEte = 0;         // seconds
    double Ete = 0;                 // seconds, to the destination
    double GroundAltitude = 0;      // metres
    double OutsideTemperature = 0;  // degrees Celsius
    float HeightAboveGround = 0;    // feet, never negative
    float VerticalSpeedPerMinute = 0;
    double Heading = 0;             // true, degrees; read while following
    double WindDirection = 0;       // degrees; read while not panning
    double WindSpeed = 0;           // knots
    double MagneticVariation = 0;   // degrees
    double Clock = 0;               // simulator variable 5, kept only
    double Variable24 = 0;          // read, not used further
    int32_t Variable27 = 0;         // read, not used further
};

extern AircraftWorkingValues Aircraft;

// Angles the wind-vector routine and the rotation step keep for the layers.
extern double TrackAngle;           // radians, the ground track
extern double AirVectorAngle;       // radians 0..2 pi, ground vector minus wind
extern int32_t TrackVectorLength;   // map pixels flown in one minute

// The aircraft altitude in feet as the per-frame update keeps it.
double GetAircraftAltitude();
// The air-vector angle (radians 0..2 pi) of the wind-vector routine.
double GetAirVectorAngleRad();
// The simulator's bank (variable 20) in radians, positive to the right.
double GetBankAngleRad();
// The height above ground in feet as the frame update keeps it (never negative).
double GetHeightAboveGround();
// The magnetic variation (degrees, sign as the simulator link gives it) that
// the heading and course labels take. threads: written on the GUI thread,
// read by any thread.
void GetMagneticVariation(float* out);
void SetMagneticVariation(float degrees);
