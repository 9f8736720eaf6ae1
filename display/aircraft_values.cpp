// The aircraft values of the current frame and the angles derived from them.
#include "display/aircraft_values.h"

AircraftWorkingValues Aircraft;
double TrackAngle = 0;
double AirVectorAngle = 0;
int32_t TrackVectorLength = 0;

double GetAircraftAltitude()
{
    return Aircraft.Altitude;
}
