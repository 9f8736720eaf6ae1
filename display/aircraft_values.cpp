// The aircraft values of the current frame and the angles derived from them.
#include "display/aircraft_values.h"

#include "platform/units.h"
#include "simlink/sim_link.h"

#include <atomic>

AircraftWorkingValues Aircraft;
double TrackAngle = 0;
double AirVectorAngle = 0;
int32_t TrackVectorLength = 0;

static std::atomic<float> MagneticVariation{0.0f};

double GetAircraftAltitude()
{
    return Aircraft.Altitude;
}

double GetAirVectorAngleRad() { return AirVectorAngle; }

double GetBankAngleRad()
{
    double bank = 0;
    SimLinkGetVar(SimVarBank, &bank);
    return bank * RadiansPerDegree8;
}

double GetHeightAboveGround() { return Aircraft.HeightAboveGround; }

void GetMagneticVariation(float* out)
{
    if (out)
        *out = MagneticVariation.load();
}

void SetMagneticVariation(float degrees)
{
    MagneticVariation.store(degrees);
}
