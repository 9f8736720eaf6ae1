// Great-circle distances.
#include "navdata/great_circle.h"

#include <algorithm>
#include <cmath>

double WrapLongitude(double lon)
{
    if (!std::isfinite(lon))
        return lon;
    lon = std::fmod(lon, 360.0);  // exact, within (-360, 360)
    if (lon > 180.0)
        lon -= 360.0;
    else if (lon <= -180.0)
        lon += 360.0;
    return lon;
}

double GreatCircleDistanceNm(double lat1, double lon1, double lat2, double lon2)
{
    double a1 = lat1 * RadiansPerDegree;
    double a2 = lat2 * RadiansPerDegree;
    double c = std::sin(a1) * std::sin(a2) + std::cos(a1) * std::cos(a2) * std::cos((lon2 - lon1) * RadiansPerDegree);
    return std::acos(std::clamp(c, -1.0, 1.0)) * NmPerRadian;
}

UnitVector ToUnitVector(double lat, double lon)
{
    double a = lat * RadiansPerDegree;
    double b = lon * RadiansPerDegree;
    return {std::cos(a) * std::cos(b), std::cos(a) * std::sin(b), std::sin(a)};
}

double ChordToAngle(double squaredChord)
{
    return 2.0 * std::asin(std::min(1.0, std::sqrt(std::max(0.0, squaredChord)) / 2.0));
}
