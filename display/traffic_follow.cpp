// Following a traffic target (see traffic_follow.h).
#include "display/traffic_follow.h"

#include "display/aircraft_values.h"
#include "display/map_view.h"
#include "platform/units.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"
#include "simlink/traffic_advisory.h"

#include <cmath>
#include <cstdio>
#include <cstring>

static char FollowedCallsign[sizeof TrafficTarget::callsign] = "";

bool IsFollowingTarget()
{
    return FollowTrafficMode != 0 && FollowedCallsign[0] != 0;
}

const char* GetFollowedCallsign()
{
    return FollowedCallsign;
}

static bool IsFollowedAt(int i)
{
    return i >= 0 && i < TrafficTargetList.count.load() &&
           std::strncmp(TrafficTargetList.targets[i].callsign, FollowedCallsign, sizeof FollowedCallsign) == 0;
}

// The callsign's index: the remembered one when it still holds it, else the
// first from the start; -1 when the list has it no more.
static int FindFollowedTarget()
{
    if (IsFollowedAt(FollowedTargetIndex))
        return FollowedTargetIndex;
    for (int i = 0; i < TrafficTargetList.count.load(); ++i)
        if (IsFollowedAt(i))
            return i;
    return -1;
}

bool StartFollowingTarget(int i)
{
    if (i < 0 || i >= TrafficTargetList.count.load() || !TrafficTargetList.targets[i].callsign[0])
        return false;
    const TrafficTarget& t = TrafficTargetList.targets[i];
    std::snprintf(FollowedCallsign, sizeof FollowedCallsign, "%.*s", static_cast<int>(sizeof t.callsign - 1),
                  t.callsign);
    FollowTrafficMode = 1;
    FollowedTargetIndex = i;
    // The centre leaves the aircraft: the frame moves it to the target.
    MapPanning = 1;
    return true;
}

void StopFollowingTarget()
{
    FollowTrafficMode = 0;
    FollowedTargetIndex = -1;
    FollowedCallsign[0] = 0;
    ResetMapPan();
}

// The target drawn nearest the map centre; the followed one is the centre.
static int NearestTarget()
{
    int best = -1;
    double bestDistance = 0;
    for (int i = 0; i < TrafficTargetList.count.load(); ++i) {
        const TrafficTarget& t = TrafficTargetList.targets[i];
        double d = t.x * t.x + t.y * t.y;
        if (t.callsign[0] && (best < 0 || d < bestDistance)) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

bool ToggleTrafficFollow()
{
    if (IsFollowingTarget()) {
        StopFollowingTarget();
        PlaySoundNumber(SoundClick);
        return true;
    }
    if (!StartFollowingTarget(NearestTarget())) {
        PlaySoundNumber(SoundRefused);
        return false;
    }
    PlaySoundNumber(SoundClick);
    return true;
}

bool GetFollowedTargetValues(double* groundSpeed, double* headingDeg, double* altitude)
{
    if (!IsFollowingTarget() || !IsFollowedAt(FollowedTargetIndex))
        return false;
    const TrafficTarget& t = TrafficTargetList.targets[FollowedTargetIndex];
    *groundSpeed = t.groundSpeed;
    // A heading of whole degrees comes back from radians a hair short.
    double h = t.heading * DegreesPerRadian8 + 1e-6;
    *headingDeg = h < 0 ? h + 360 : h >= 360 ? h - 360 : h;
    *altitude = t.altitude;
    return true;
}

double ExtrapolateFollowed(double value, double previous, double elapsed)
{
    return value + (value - previous) * (elapsed > 0 ? elapsed : 0);
}

// The target is gone: the map goes back to the aircraft, and the pilot hears it.
static void LoseFollowedTarget()
{
    StopFollowingTarget();
    double lat = 0, lon = 0, heading = 0;
    SimLinkGetVar(SimVarLatitude, &lat);
    SimLinkGetVar(SimVarLongitude, &lon);
    SimLinkGetVar(SimVarHeading, &heading);
    MapCenter.latitude = lat;
    MapCenter.longitude = lon;
    Aircraft.Heading = heading;
    PlaySoundNumber(SoundRefused);
}

void FollowTrafficTarget(double now, bool mapReady)
{
    if (!FollowTrafficMode)
        return;
    if (!MapPanning) {
        StopFollowingTarget();
        return;
    }
    if (!mapReady)
        return;
    int i = FindFollowedTarget();
    if (i < 0) {
        LoseFollowedTarget();
        return;
    }
    FollowedTargetIndex = i;
    const TrafficTarget& t = TrafficTargetList.targets[i];
    double elapsed = now - t.lastUpdateTime;
    double lat = ExtrapolateFollowed(t.latitude, t.previousLatitude, elapsed);
    // A report across the date line moved the longitude by about 360 degrees.
    double previousLon = t.previousLongitude;
    if (t.longitude - previousLon > 180)
        previousLon += 360;
    else if (t.longitude - previousLon < -180)
        previousLon -= 360;
    double lon = ExtrapolateFollowed(t.longitude, previousLon, elapsed);
    if (lon > 180)
        lon -= 360;
    else if (lon < -180)
        lon += 360;
    if (!std::isfinite(lat) || !std::isfinite(lon))
        return;
    // Kept where the links keep positions, however long the target is silent.
    MapCenter.latitude = lat > 90 ? 90 : lat < -90 ? -90 : lat;
    MapCenter.longitude = lon > 180 || lon < -180 ? t.longitude : lon;
}

void RefindFollowedTarget()
{
    if (!IsFollowingTarget())
        return;
    int i = FindFollowedTarget();
    if (i >= 0)
        FollowedTargetIndex = i;
}
