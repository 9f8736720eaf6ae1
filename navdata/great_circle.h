// Great-circle distances on the sphere of the system's units.
#pragma once

#include "platform/units.h"

// A longitude brought into (-180, 180] by whole turns; one that is no
// number or endless is handed back as it is.
double WrapLongitude(double lon);

// Spherical law of cosines; nautical miles; positions in degrees.
double GreatCircleDistanceNm(double lat1, double lon1, double lat2, double lon2);

// The point on the unit sphere of a position, for fast comparisons: the
// squared chord between two points grows with their great-circle distance.
struct UnitVector {
    double x;
    double y;
    double z;
};
UnitVector ToUnitVector(double lat, double lon);
inline double SquaredChord(const UnitVector& a, const UnitVector& b)
{
    double dx = a.x - b.x;
    double dy = a.y - b.y;
    double dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}
// The great-circle angle (radians) of a squared chord.
double ChordToAngle(double squaredChord);
