// The simulator server's scripted aircraft: the user aircraft flies the path
// legs in straight lines at constant speed, round and round; AI aircraft fly
// straight from where they were added.
#include "tools/tvl-simserver/sim_world.h"

#include "platform/units.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <strings.h>

namespace {

constexpr double DegToRad = Pi / 180.0;

WorldOptions Options;
std::vector<PathPoint> Path;
double PathStartSeconds = 0.0;
// The plan point the GPS leads to; kept when the aircraft is moved off the path.
size_t ActiveWaypoint = 1;
std::vector<AiAircraft> Ai;
uint32_t NextAiObjectId = 1000;

// Leg length in nautical miles, flat-earth: fine for legs of a test flight.
double LegNm(const PathPoint& a, const PathPoint& b)
{
    double meanLat = (a.lat + b.lat) * 0.5 * DegToRad;
    double dx = (b.lon - a.lon) * std::cos(meanLat) * 60.0;
    double dy = (b.lat - a.lat) * 60.0;
    return std::sqrt(dx * dx + dy * dy);
}

double LegHeading(const PathPoint& a, const PathPoint& b)
{
    double meanLat = (a.lat + b.lat) * 0.5 * DegToRad;
    double heading = std::atan2((b.lon - a.lon) * std::cos(meanLat), b.lat - a.lat) / DegToRad;
    return heading < 0 ? heading + 360.0 : heading;
}

PathPoint MoveAlong(double lat, double lon, double headingDeg, double nm)
{
    double h = headingDeg * DegToRad;
    double newLat = lat + nm * std::cos(h) / 60.0;
    double cosLat = std::cos(lat * DegToRad);
    double newLon = lon + (cosLat > 1e-6 ? nm * std::sin(h) / (60.0 * cosLat) : 0.0);
    return {newLat, newLon};
}

bool Is(const char* a, const char* b)
{
    return strcasecmp(a, b) == 0;
}

double Angle(double degrees, const char* units)
{
    return Is(units, "radians") ? degrees * DegToRad : degrees;
}

double Length(double feet, const char* units)
{
    return Is(units, "meters") || Is(units, "metres") ? feet / FeetPerMetre5 : feet;
}

double Speed(double knots, const char* units)
{
    if (Is(units, "meters per second"))
        return knots * MetresPerNauticalMile / 3600.0;
    if (Is(units, "feet per second"))
        return knots * MetresPerNauticalMile * FeetPerMetre5 / 3600.0;
    return knots;
}

void FormatAngle(char* out, size_t size, double value, char positive, char negative)
{
    double a = std::fabs(value);
    int degrees = static_cast<int>(a);
    int minutes = static_cast<int>((a - degrees) * 60.0);
    double seconds = ((a - degrees) * 60.0 - minutes) * 60.0;
    std::snprintf(out, size, "%c%d\xC2\xB0 %d' %.2f\"", value >= 0 ? positive : negative, degrees, minutes, seconds);
}

}  // namespace

double DistanceMetres(double lat1, double lon1, double lat2, double lon2);

namespace {

// The GPS's way to the active plan point and on to the plan's last point.
void GuideAlongPlan(AircraftValues* v)
{
    const std::vector<PathPoint>& plan = Options.path;
    if (ActiveWaypoint >= plan.size())
        return;
    v->activeWaypoint = static_cast<int>(ActiveWaypoint);
    const PathPoint& next = plan[ActiveWaypoint];
    v->waypointDistanceM = DistanceMetres(v->lat, v->lon, next.lat, next.lon);
    v->destinationDistanceM = v->waypointDistanceM;
    for (size_t i = ActiveWaypoint; i + 1 < plan.size(); ++i)
        v->destinationDistanceM += DistanceMetres(plan[i].lat, plan[i].lon, plan[i + 1].lat, plan[i + 1].lon);
}

// Seconds to fly a distance at the aircraft's ground speed; 0 while it stands.
double SecondsAt(double metres, double knots)
{
    return knots > 0.0 ? metres / (knots * MetresPerNauticalMile / 3600.0) : 0.0;
}

double SecondsOfDay()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
}

}  // namespace

void InitWorld(const WorldOptions& options)
{
    Options = options;
    Path = options.path;
    PathStartSeconds = 0.0;
    ActiveWaypoint = 1;
    Ai.clear();
}

const WorldOptions& CurrentWorldOptions()
{
    return Options;
}

AircraftValues UserAircraftAt(double seconds)
{
    AircraftValues v{};
    double total = 0.0;
    for (size_t i = 0; i + 1 < Path.size(); ++i)
        total += LegNm(Path[i], Path[i + 1]);
    double flown = total > 0 ? std::fmod((seconds - PathStartSeconds) * Options.speedKt / 3600.0, total) : 0.0;
    if (flown < 0)
        flown = 0;
    size_t leg = 0;
    while (leg + 2 < Path.size() && flown > LegNm(Path[leg], Path[leg + 1])) {
        flown -= LegNm(Path[leg], Path[leg + 1]);
        ++leg;
    }
    const PathPoint& a = Path[leg];
    const PathPoint& b = Path[leg + 1];
    double length = LegNm(a, b);
    double f = length > 0 ? flown / length : 0.0;
    v.lat = a.lat + (b.lat - a.lat) * f;
    v.lon = a.lon + (b.lon - a.lon) * f;
    v.headingDeg = LegHeading(a, b);
    v.altitudeFt = Options.altitudeFt;
    v.groundSpeedKt = Options.speedKt;
    v.indicatedKt = Options.speedKt;
    v.pitchDeg = 2.0;
    v.atcId = "TVL001";
    v.title = "Tervalingo Test Aircraft";
    // While it flies the plan's own path, the GPS leads to the end of the leg.
    if (Path.size() == Options.path.size())
        ActiveWaypoint = leg + 1;
    GuideAlongPlan(&v);
    return v;
}

void TeleportUserAircraft(double lat, double lon, double altitudeFt, double headingDeg, double seconds)
{
    PathPoint start{lat, lon};
    Path = {start, MoveAlong(lat, lon, headingDeg, 1000.0)};
    PathStartSeconds = seconds;
    Options.altitudeFt = altitudeFt;
}

uint32_t AddAiAircraft(const std::string& atcId, double lat, double lon, double altitudeFt, double seconds)
{
    AiAircraft a{NextAiObjectId++, atcId, lat, lon, altitudeFt, 90.0, 150.0, seconds};
    Ai.push_back(a);
    return a.objectId;
}

uint32_t RemoveAiAircraft(const std::string& idOrAtcId)
{
    for (size_t i = 0; i < Ai.size(); ++i) {
        if (Ai[i].atcId == idOrAtcId || std::to_string(Ai[i].objectId) == idOrAtcId) {
            uint32_t id = Ai[i].objectId;
            Ai.erase(Ai.begin() + static_cast<long>(i));
            return id;
        }
    }
    return 0;
}

const std::vector<AiAircraft>& AiAircraftList()
{
    return Ai;
}

bool AiAircraftValues(uint32_t objectId, double seconds, AircraftValues* out)
{
    for (const AiAircraft& a : Ai) {
        if (a.objectId != objectId)
            continue;
        double nm = (seconds - a.startSeconds) * a.speedKt / 3600.0;
        PathPoint p = MoveAlong(a.startLat, a.startLon, a.headingDeg, nm);
        *out = AircraftValues{};
        out->lat = p.lat;
        out->lon = p.lon;
        out->altitudeFt = a.altitudeFt;
        out->headingDeg = a.headingDeg;
        out->groundSpeedKt = a.speedKt;
        out->indicatedKt = a.speedKt;
        out->atcId = a.atcId;
        out->title = "AI Traffic " + a.atcId;
        return true;
    }
    return false;
}

double SimVariable(const AircraftValues& v, const WorldOptions& o, const char* name, const char* units, bool* known)
{
    *known = true;
    double groundFt = o.groundAltitudeM * FeetPerMetre5;
    if (Is(name, "Plane Latitude"))
        return Angle(v.lat, units);
    if (Is(name, "Plane Longitude"))
        return Angle(v.lon, units);
    if (Is(name, "Plane Altitude"))
        return Length(v.altitudeFt, units);
    if (Is(name, "PLANE HEADING DEGREES TRUE"))
        return Angle(v.headingDeg, units);
    if (Is(name, "MAGVAR"))
        return o.magVar;
    if (Is(name, "PLANE BANK DEGREES"))
        return Angle(v.bankDeg, units);
    if (Is(name, "PLANE PITCH DEGREES"))
        return Angle(v.pitchDeg, units);
    if (Is(name, "AIRSPEED INDICATED"))
        return Speed(v.indicatedKt, units);
    if (Is(name, "GPS GROUND SPEED") || Is(name, "Ground Velocity"))
        return Speed(v.groundSpeedKt, units);
    if (Is(name, "VERTICAL SPEED"))
        return v.verticalSpeedFps;
    if (Is(name, "GROUND ALTITUDE"))
        return Length(groundFt, units);
    if (Is(name, "SIM ON GROUND"))
        return v.onGround ? 1.0 : 0.0;
    if (Is(name, "GPS POSITION ALT"))
        return Length(v.altitudeFt, units);
    if (Is(name, "PLANE ALT ABOVE GROUND"))
        return Length(v.altitudeFt - groundFt, units);
    if (Is(name, "AMBIENT WIND DIRECTION"))
        return o.windDirection;
    if (Is(name, "AMBIENT WIND VELOCITY"))
        return o.windSpeedKt;
    if (Is(name, "AMBIENT TEMPERATURE"))
        return o.temperatureC;
    if (Is(name, "GPS WP DISTANCE"))
        return v.waypointDistanceM;
    if (Is(name, "GPS FLIGHT PLAN WP INDEX"))
        return v.activeWaypoint;
    if (Is(name, "GPS WP ETE"))
        return SecondsAt(v.waypointDistanceM, v.groundSpeedKt);
    if (Is(name, "GPS WP ETA"))
        return std::fmod(SecondsOfDay() + SecondsAt(v.waypointDistanceM, v.groundSpeedKt), 86400.0);
    if (Is(name, "GPS ETE"))
        return SecondsAt(v.destinationDistanceM, v.groundSpeedKt);
    if (Is(name, "GPS ETA"))
        return std::fmod(SecondsOfDay() + SecondsAt(v.destinationDistanceM, v.groundSpeedKt), 86400.0);
    *known = false;
    return 0.0;
}

double DistanceMetres(double lat1, double lon1, double lat2, double lon2)
{
    double a = std::sin(lat1 * DegToRad) * std::sin(lat2 * DegToRad) +
               std::cos(lat1 * DegToRad) * std::cos(lat2 * DegToRad) * std::cos((lon2 - lon1) * DegToRad);
    a = a > 1.0 ? 1.0 : (a < -1.0 ? -1.0 : a);
    return std::acos(a) * NmPerRadian * MetresPerNauticalMile;
}

bool WritePathFlightPlan(const char* file)
{
    FILE* f = std::fopen(file, "w");
    if (f == nullptr)
        return false;
    std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n");
    std::fprintf(f, "<SimBase.Document Type=\"AceXML\" version=\"1,0\">\n");
    std::fprintf(f, "    <Descr>AceXML Document</Descr>\n    <FlightPlan.FlightPlan>\n");
    std::fprintf(f, "        <Title>Scripted path</Title>\n        <FPType>VFR</FPType>\n");
    std::fprintf(f, "        <CruisingAlt>%.3f</CruisingAlt>\n", Options.altitudeFt);
    for (size_t i = 0; i < Options.path.size(); ++i) {
        bool airport = i == 0 || i + 1 == Options.path.size();
        char ident[32], lat[48], lon[48];
        std::snprintf(ident, sizeof(ident), "%s%zu", airport ? "APT" : "WPT", i);
        FormatAngle(lat, sizeof(lat), Options.path[i].lat, 'N', 'S');
        FormatAngle(lon, sizeof(lon), Options.path[i].lon, 'E', 'W');
        std::fprintf(f, "        <ATCWaypoint id=\"%s\">\n", ident);
        std::fprintf(f, "            <ATCWaypointType>%s</ATCWaypointType>\n", airport ? "Airport" : "User");
        std::fprintf(f, "            <WorldPosition>%s,%s,+%09.2f</WorldPosition>\n", lat, lon,
                     airport ? 0.0 : Options.altitudeFt);
        std::fprintf(f, "            <ICAO>\n                <ICAOIdent>%s</ICAOIdent>\n            </ICAO>\n",
                     ident);
        std::fprintf(f, "        </ATCWaypoint>\n");
    }
    std::fprintf(f, "    </FlightPlan.FlightPlan>\n</SimBase.Document>\n");
    return std::fclose(f) == 0;
}
