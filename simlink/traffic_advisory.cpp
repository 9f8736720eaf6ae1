// The traffic pass: filters, closure rates per table slot, classes, the
// alert sounds, extrapolation between reports and the drawn target list.
#include "simlink/traffic_advisory.h"

#include "app/settings.h"
#include "display/airport_view.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "platform/threads.h"
#include "platform/tvl_assert.h"
#include "platform/units.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"
#include "simlink/traffic_table.h"

#include <cmath>
#include <cstring>

TrafficTargetListType TrafficTargetList;
std::atomic<uint8_t> SimPaused{0};
uint8_t TrafficOn = 0;
uint8_t MultiplayerMode = 0;
static std::atomic<uint8_t> TrafficModeChanged{0};
int32_t TrafficAlertActive = 0;

namespace {

constexpr double TrafficRangeMetres = 74080.0;  // 40 nm
constexpr double AltitudeBandFt = 2700.0;
constexpr double SlowTrafficKt = 50.0;
constexpr double ClassifyRangeNm = 30.0;
constexpr double AlertRepeatSeconds = 3.0;

// The closure of the aircraft in one table slot, kept across passes.
struct ClosureTrack {
    int64_t id = -1;         // the entry's id when last seen, -1 none
    double rate = 0;         // nm per second, negative = closing
    double lastRange = 0;    // nm
    double sampleTime = 0;   // simulator clock, s
};

ClosureTrack Closures[TrafficSlotCount];
int64_t OwnTrafficId = -1;
double PreviousPassTime = 0;
// No alert sound yet: the first may play at once, even in the program's first seconds.
constexpr double NeverPlayed = -1.0e9;
double LastAlertSoundTime = NeverPlayed;
int32_t PendingChime = 0;
int32_t SeenFollowMode = 1;
int32_t SeenFollowedIndex = -1;
bool SeenPanning = false;

enum Trend { Level, Climbing, Descending };

Trend TrendOf(double verticalSpeed)
{
    if (verticalSpeed > 0.2)
        return Climbing;
    if (verticalSpeed < -0.2)
        return Descending;
    return Level;
}

// Metres north and east of the centre. Below 80 degrees a flat grid; nearer
// the poles the view from above the centre, which stays right across a pole.
void OffsetFrom(double lat0, double lon0, double lat, double lon, double* north, double* east)
{
    double dLon = lon - lon0;
    if (dLon > 180)
        dLon -= 360;
    else if (dLon < -180)
        dLon += 360;
    if (std::fabs(lat) < 80) {
        *north = (lat - lat0) * TrafficMetresPerDegree;
        *east = std::cos(lat * RadiansPerDegree9) * TrafficMetresPerDegree * dLon;
        return;
    }
    const double metresPerRadian = TrafficMetresPerDegree / RadiansPerDegree9;
    double p = lat * RadiansPerDegree9, p0 = lat0 * RadiansPerDegree9, l = dLon * RadiansPerDegree9;
    *east = metresPerRadian * std::cos(p) * std::sin(l);
    *north = metresPerRadian * (std::cos(p0) * std::sin(p) - std::sin(p0) * std::cos(p) * std::cos(l));
}

void OffsetFromCentre(const TrafficPassInputs& in, double lat, double lon, double* north, double* east)
{
    OffsetFrom(in.centreLatitude, in.centreLongitude, lat, lon, north, east);
}

// Within 10 m of the own aircraft: the simulator lists us among the traffic.
// Measured from the aircraft, not the map centre, which a pan or a followed
// target takes elsewhere (the followed target would be taken for us).
bool IsOwnAircraft(const TrafficPassInputs& in, const TrafficEntry& e)
{
    double lat0 = in.ownLatitude, lon0 = in.ownLongitude;
    if (std::isnan(lat0) || std::isnan(lon0)) {
        lat0 = in.centreLatitude;
        lon0 = in.centreLongitude;
    }
    double north = 0, east = 0;
    OffsetFrom(lat0, lon0, e.values.latitude, e.values.longitude, &north, &east);
    return north * north + east * east < 100;
}

void UpdateClosure(ClosureTrack* c, int64_t id, double range, double simClock)
{
    if (c->id != id) {
        *c = ClosureTrack{id, 0, range, simClock};
        return;
    }
    // The simulator clock may stand still (paused, no report): no rate from no time.
    if (std::fabs(range - c->lastRange) > 0.1 && simClock != c->sampleTime) {
        c->rate = ((range - c->lastRange) / (simClock - c->sampleTime) + c->rate) * 0.5;
        c->lastRange = range;
        c->sampleTime = simClock;
    }
}

// The state of one pass that the classes feed.
struct PassAlerts {
    int32_t sound = 0;  // the first alert sound chosen stands for the pass
};

uint32_t ClassifyTarget(const TrafficPassInputs& in, const TrafficEntry& e, double dAlt, double range,
                        double rate, PassAlerts* alerts)
{
    double tau = rate < 0 ? -range / rate : 50;
    Trend trend = TrendOf(e.values.verticalSpeed);
    if (std::fabs(dAlt) > 1200 && range > 6)
        return static_cast<uint32_t>(0 + trend);
    if (tau > 40)
        return static_cast<uint32_t>(3 + trend);
    if (tau > 25) {
        if (alerts->sound == 0)
            alerts->sound = SoundTrafficAlert;
        TrafficAlertActive = 1;
        return static_cast<uint32_t>(6 + trend);
    }
    uint32_t cls = 0;
    int32_t candidate = 0;
    if (dAlt < 0 && e.values.verticalSpeed >= 0) {
        cls = 10;
        candidate = SoundTrafficDescend;
    } else if (e.values.verticalSpeed <= 0) {
        cls = 11;
        candidate = SoundTrafficClimb;
    } else {
        return 0;
    }
    if (in.onGround)
        alerts->sound = 0;
    else if (alerts->sound == 0 && e.values.groundSpeed > 60)
        alerts->sound = candidate;
    if (alerts->sound != 0) {
        PendingChime = 1;
        TrafficAlertActive = 1;
    }
    return cls;
}

bool IsAlertClass(uint32_t cls) { return (cls >= 6 && cls <= 8) || cls == 10 || cls == 11; }

bool HasSoundValues(const TrafficEntry& e)
{
    return std::isfinite(e.values.latitude) && std::isfinite(e.values.longitude) &&
           std::isfinite(e.values.altitude) && std::isfinite(e.values.headingRad) &&
           std::isfinite(e.previousLatitude) && std::isfinite(e.previousLongitude) &&
           std::isfinite(e.displayedLatitude) && std::isfinite(e.displayedLongitude);
}

// Moves the displayed position on by this frame's share of the last report's
// step; returns the time since the report that the heading is moved by.
double Extrapolate(const TrafficPassInputs& in, TrafficEntry* e, double frameDt)
{
    double interval = e->meanReportInterval;
    if (interval <= 0 || e->reportCount < 6 || in.trafficModeChanged || in.paused) {
        e->displayedLongitude = e->values.longitude;
        e->displayedLatitude = e->values.latitude;
        return 0;
    }
    // A frame that came late (a stalled window) moves the target at most
    // one report's step, never past where the reports lead.
    double share = std::fmin(std::fmax(frameDt, 0.0), interval) / interval;
    e->displayedLongitude += (e->values.longitude - e->previousLongitude) * share;
    e->displayedLatitude += (e->values.latitude - e->previousLatitude) * share;
    return in.now - e->lastReportTime;
}

double ShownHeading(const TrafficEntry& e, double dt)
{
    double interval = e.meanReportInterval;
    double heading = e.values.headingRad;
    if (interval <= 0)
        return heading;
    double previous = e.previousHeading;
    double dH = heading - previous;
    if (std::fabs(dH) >= 3.14)
        dH = heading >= 1.57 ? heading - TwoPi8 - previous : heading + TwoPi8 - previous;
    return heading + dH * dt / interval;
}

void Project(const TrafficPassInputs& in, const TrafficEntry& e, double* x, double* y)
{
    if (in.airportView)
        LatLonToAirportViewXY(x, y, e.displayedLongitude, e.displayedLatitude);
    else
        ProjectToScreenOffset(x, y, e.displayedLongitude, e.displayedLatitude);
}

void AppendTarget(const TrafficEntry& e, double x, double y, double heading, uint32_t cls)
{
    int32_t i = TrafficTargetList.count.load();
    if (i >= TrafficTargetMax)
        return;
    TrafficTarget& t = TrafficTargetList.targets[i];
    t.x = x;
    t.y = y;
    t.heading = heading;
    t.trafficClass = cls;
    std::memset(t.callsign, 0, sizeof t.callsign);
    std::memcpy(t.callsign, e.callsign, sizeof e.callsign);
    t.callsign[sizeof e.callsign - 1] = 0;
    t.groundSpeed = e.values.groundSpeed;
    t.altitude = e.values.altitude;
    t.verticalSpeed = e.values.verticalSpeed;
    t.latitude = e.values.latitude;
    t.longitude = e.values.longitude;
    t.lastUpdateTime = e.lastReportTime;
    t.previousLongitude = e.previousLongitude;
    t.previousLatitude = e.previousLatitude;
    TrafficTargetList.count.store(i + 1);
}

// A change of follow or panning starts every closure afresh.
void NoteViewChange(const TrafficPassInputs& in)
{
    if (in.followMode == SeenFollowMode && in.followedIndex == SeenFollowedIndex && in.panning == SeenPanning)
        return;
    int used = TrafficCount.load();
    // Every link caps the count at the table's slots when it stores it.
    TVL_ASSERT(used >= 0 && used <= TrafficSlotCount);
    if (used > TrafficSlotCount)
        used = TrafficSlotCount;
    for (int slot = 0; slot < used; ++slot)
        Closures[slot].id = -1;
    SeenFollowMode = in.followMode;
    SeenFollowedIndex = in.followedIndex;
    SeenPanning = in.panning;
}

void ScanSlot(const TrafficPassInputs& in, int slot, double rangeLimit, double frameDt, PassAlerts* alerts)
{
    TrafficEntry& e = TrafficTable[slot];
    int64_t id = e.id;
    if (e.id == TrafficFreeId || id == OwnTrafficId || (e.id == 1 && !in.followMode) || !e.valid ||
        !HasSoundValues(e))
        return;
    double dAlt = in.ownAltitude - e.values.altitude;
    if (!in.multiplayer && (std::fabs(dAlt) > AltitudeBandFt || e.values.groundSpeed < SlowTrafficKt))
        return;
    double north = 0, east = 0;
    OffsetFromCentre(in, e.values.latitude, e.values.longitude, &north, &east);
    double d2 = north * north + east * east;
    if (IsOwnAircraft(in, e)) {
        OwnTrafficId = id;
        return;
    }
    if (d2 >= rangeLimit * rangeLimit)
        return;
    double range = std::sqrt(d2) / MetresPerNauticalMile;
    ClosureTrack& closure = Closures[slot];
    UpdateClosure(&closure, id, range, in.simClock);

    uint32_t cls = TrafficClassNone;
    if (std::fabs(dAlt) < AltitudeBandFt && range < ClassifyRangeNm) {
        cls = 0;
        int32_t index = TrafficTargetList.count.load();
        bool followed = index == in.followedIndex;
        bool airborne = std::fabs(e.values.altitude * 0.3 - in.groundAltitude) > 50;
        if (!followed && (!in.panning || in.followMode) && airborne)
            cls = ClassifyTarget(in, e, dAlt, range, closure.rate, alerts);
    }
    double dt = Extrapolate(in, &e, frameDt);
    double x = 0, y = 0;
    Project(in, e, &x, &y);
    double heading = ShownHeading(e, dt);
    if (in.multiplayer && !IsAlertClass(cls))
        cls = TrafficClassNone;
    AppendTarget(e, x, y, heading, cls);
}

void PlayAlerts(const TrafficPassInputs& in, const PassAlerts& alerts)
{
    if (in.now - LastAlertSoundTime <= AlertRepeatSeconds || !in.playSound)
        return;
    bool mayPlay = !in.onGround && (!in.panning || in.followMode);
    if (alerts.sound >= 1 && mayPlay) {
        if (in.playSound(alerts.sound) == 1)
            LastAlertSoundTime = in.now;
    } else if (PendingChime) {
        if (!mayPlay)
            PendingChime = 0;
        else if (in.playSound(SoundConflictEnded) == 1)
            PendingChime = 0;
    }
}

}  // namespace

void RunTrafficPass(const TrafficPassInputs& in)
{
    if (TrafficCount.load() < 2) {
        TrafficTargetList.count = 0;
        return;
    }
    TrafficTargetList.count = 0;
    double frameDt = in.now - PreviousPassTime;
    NoteViewChange(in);
    TrafficAlertActive = 0;
    PassAlerts alerts;
    double rangeLimit = in.multiplayer ? in.multiplayerRangeNm * MetresPerNauticalMile : TrafficRangeMetres;
    {
        TrafficTableLock lock;
        for (int slot = 0; slot < TrafficSlotCount; ++slot)
            ScanSlot(in, slot, rangeLimit, frameDt, &alerts);
    }
    PlayAlerts(in, alerts);
    PreviousPassTime = in.now;
}

static double ReadVar(SimVarId id)
{
    double v = 0;
    SimLinkGetVar(id, &v);
    return v;
}

void UpdateTrafficAdvisory()
{
    TrafficPassInputs in;
    in.now = ProgramClockMs() / 1000.0;
    in.simClock = ReadVar(SimVarClock);
    in.onGround = ReadVar(SimVarOnGround) > 0;
    in.ownAltitude = ReadVar(SimVarGpsAltitude);
    in.groundAltitude = ReadVar(SimVarGroundAltitude);
    in.centreLatitude = MapCenter.latitude.load();
    in.centreLongitude = MapCenter.longitude.load();
    in.ownLatitude = ReadVar(SimVarLatitude);
    in.ownLongitude = ReadVar(SimVarLongitude);
    in.panning = MapPanning != 0;
    in.followMode = FollowTrafficMode;
    in.followedIndex = FollowedTargetIndex;
    in.multiplayer = MultiplayerMode != 0;
    in.multiplayerRangeNm = Settings.TrafficRange;
    in.paused = SimPaused.load() != 0;
    in.trafficModeChanged = IsTrafficModeChanged() != 0;
    in.airportView = Settings.SelectedAirport[0] != 0 && !Settings.AirportOverlay;
    in.playSound = PlaySoundNumber;
    RunTrafficPass(in);
    // Every target of this pass started its extrapolation afresh.
    if (in.trafficModeChanged)
        ClearTrafficModeChanged();
}

bool GetTrafficTarget(int i, float* x, float* y, float* heading, uint32_t* trafficClass, float* groundSpeed,
                      float* altitude, char* callsign)
{
    if (i < 0 || i >= TrafficTargetList.count.load()) {
        *trafficClass = TrafficClassNone;
        *heading = 0;
        callsign[0] = 0;
        return false;
    }
    const TrafficTarget& t = TrafficTargetList.targets[i];
    bool centre = i == FollowedTargetIndex;
    *x = centre ? 0.0f : static_cast<float>(t.x);
    *y = centre ? 0.0f : static_cast<float>(t.y);
    *heading = static_cast<float>(t.heading);
    *trafficClass = t.trafficClass;
    *groundSpeed = static_cast<float>(t.groundSpeed);
    *altitude = static_cast<float>(t.altitude);
    std::memcpy(callsign, t.callsign, sizeof t.callsign);
    return true;
}

void ClearTrafficTargets()
{
    TrafficTargetList.count = 0;
}

bool StartTrafficData()
{
    return SimLinkStartTraffic();
}

void ResetTrafficAdvisory()
{
    for (ClosureTrack& c : Closures)
        c = ClosureTrack{};
    OwnTrafficId = -1;
    PreviousPassTime = 0;
    LastAlertSoundTime = NeverPlayed;
    PendingChime = 0;
    TrafficAlertActive = 0;
    SeenFollowMode = 1;
    SeenFollowedIndex = -1;
    SeenPanning = false;
    TrafficTargetList.count = 0;
}

void MarkTrafficModeChanged() { TrafficModeChanged = 1; }

uint8_t IsTrafficModeChanged() { return TrafficModeChanged.load(); }

void ClearTrafficModeChanged() { TrafficModeChanged = 0; }
