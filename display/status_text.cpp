// Building the status texts of the per-frame update.
#include "display/status_text.h"

#include "app/settings.h"
#include "display/aircraft_values.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "platform/units.h"

#include <cmath>
#include <cstdio>
#include <cstdarg>
#include <cstring>

StatusLine StatusLines[4];

static const char kOrdinal = static_cast<char>(0xBA);
static const char kDegree = static_cast<char>(0xB0);

// Rounds half up to an int that cannot overflow.
static int RoundHalfUp(double v)
{
    if (!(v > -2.0e9 && v < 2.0e9))
        return 0;
    return static_cast<int>(v + 0.5);
}

// Larger than any speed, heading, altitude or temperature an aircraft shows:
// a value past it is a link's nonsense, not something to print.
static const double kStatusValueLimit = 1.0e6;

static bool IsShowableValue(double v)
{
    return std::isfinite(v) && std::fabs(v) < kStatusValueLimit;
}

// A status value as a whole number (truncated) right-aligned in width
// characters, or as width dashes when it is no number worth showing.
struct StatusNumber {
    char text[24];
    StatusNumber(double value, int width)
    {
        if (IsShowableValue(value))
            std::snprintf(text, sizeof text, "%*d", width, static_cast<int>(value));
        else
            std::snprintf(text, sizeof text, "%.*s", width, "----------");
    }
};

void FormatTemperatureText(char* out, size_t size, double t, bool inCelsius)
{
    char unit = inCelsius ? 'C' : 'F';
    double v = inCelsius ? t : t * 9 / 5 + 32.2;
    if (!IsShowableValue(v))
        std::snprintf(out, size, "OAT: --- %c%c", kOrdinal, unit);
    else if (v < 0)
        std::snprintf(out, size, "OAT: -%3d %c%c", RoundHalfUp(-v), kOrdinal, unit);
    else
        std::snprintf(out, size, "OAT: %3d %c%c", RoundHalfUp(v), kOrdinal, unit);
}

const char* GpwsPhaseText(bool gpwsOn, int flightMode, int automaticPhase)
{
    if (!gpwsOn)
        return "";
    int phase = flightMode < 0 ? automaticPhase : flightMode;
    if (phase == 0)
        return " / GPWS - Departure";
    return phase == 1 ? " / GPWS - Enroute" : " / GPWS - Approach";
}

// Appends to out without overrunning it.
static void Append(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
static void Append(char* out, size_t size, const char* format, ...)
{
    size_t used = strnlen(out, size);
    if (used + 1 >= size)
        return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(out + used, size - used, format, args);
    va_end(args);
}

static void FormatModeLine(char* out, size_t size, const StatusLineInputs& in)
{
    out[0] = 0;
    if (Settings.Terrainstate)
        Append(out, size, "Terrain ");
    Append(out, size, "%s", in.trafficText ? in.trafficText : "");
    if (TileMapFlag.load())
        Append(out, size, "%sZoom %d / ", "", Settings.Tile.load());
    else
        Append(out, size, "%sZoom:%2.2f / ", "", in.chartLevelScale);
    if (Settings.TrackUp)
        Append(out, size, "Track Up / ");
    if (in.northUp)
        Append(out, size, "North Up / ");
    if (in.followingTarget)
        Append(out, size, " Follow %s / ", in.followedCallsign ? in.followedCallsign : "");
    else if (MapPanning)
        Append(out, size, "Map Move / ");
    int weather = Settings.WeatherState.load(), station = Settings.WeatherStationState.load();
    if (weather && station)
        Append(out, size, "Weather On/Active / ");
    else if (station)
        Append(out, size, "Weather active / ");
    else if (weather)
        Append(out, size, "Weather On/Inactive /");
    if (in.lastButton > 0)
        Append(out, size, " Button: %d", in.lastButton);
}

static void FormatAircraftLine(char* out, size_t size, const StatusLineInputs& in)
{
    if (in.followingTarget) {
        std::snprintf(out, size, "GS: %s kn/ Hdg: %s / Alt: %s", StatusNumber(in.targetSpeed, 3).text,
                      StatusNumber(in.targetHeading, 3).text, StatusNumber(in.targetAltitude, 5).text);
        return;
    }
    bool isTrue = Settings.HeadingIsTrue != 0;
    double h = Aircraft.Heading;
    if (!isTrue) {
        h = Aircraft.Heading - Aircraft.MagneticVariation;
        if (h > 360)
            h -= 360;
        if (h < 0)
            h += 360;
    }
    StatusNumber gs(Aircraft.GroundSpeed, 3);
    StatusNumber hdg(h, 3);
    const char* t = in.temperatureText ? in.temperatureText : "";
    if (Settings.MetricAltitude) {
        StatusNumber alt(Aircraft.Altitude / FeetPerMetre2, 5);
        StatusNumber agl(Aircraft.HeightAboveGround / FeetPerMetre2, 5);
        std::snprintf(out, size, isTrue ? "GS: %s kn/ Hdg: %s%c T / Alt: %s m / AGL: %s m / %s"
                                        : "GS: %s kn/ Hdg: %s%c M/ Alt: %s m / AGL: %s m / %s",
                      gs.text, hdg.text, kDegree, alt.text, agl.text, t);
    } else {
        StatusNumber alt(Aircraft.Altitude, 5);
        StatusNumber agl(Aircraft.HeightAboveGround, 5);
        std::snprintf(out, size, isTrue ? "GS: %s kn/ Hdg: %s%c T/ Alt: %s ft / AGL: %s ft / %s"
                                        : "GS: %s kn/ Hdg: %s%c M/ Alt: %s ft / AGL: %s ft/ %s",
                      gs.text, hdg.text, kDegree, alt.text, agl.text, t);
    }
}

void FormatStatusLine1(char* out, size_t size, const StatusLineInputs& in)
{
    if (!out || !size)
        return;
    if (Settings.MenuState >= 2)
        FormatAircraftLine(out, size, in);
    else
        FormatModeLine(out, size, in);
    Append(out, size, "%s", in.gpwsText ? in.gpwsText : "");
}

// Whole seconds of a time, 0 for negative or absurd values.
static long WholeSeconds(double seconds)
{
    if (!(seconds > 0) || seconds > 1.0e9)
        return 0;
    return static_cast<long>(seconds);
}

void FormatEteClock(char* out, size_t size, double seconds)
{
    long s = WholeSeconds(seconds) % 86400;
    std::snprintf(out, size, "%2.2ld:%2.2ld:%2.2ld", s / 3600, s / 60 % 60, s % 60);
}

void FormatPlanLines(const char* activeIdent, const char* destinationIdent, double waypointEte, double ete,
                     double waypointDistanceM, double routeRemainingNm, double groundSpeed, bool planOn,
                     StatusLine* line2, StatusLine* line3)
{
    const char* active = activeIdent ? activeIdent : "";
    const char* destination = destinationIdent ? destinationIdent : "";
    double legNm = (waypointDistanceM < 0 ? 0 : waypointDistanceM) / LinkMetresPerNauticalMile;
    char clock[32];
    FormatEteClock(clock, sizeof clock, waypointEte);
    std::snprintf(line2->text, sizeof line2->text, "%s%s%s DIST: %4.1f NM", active,
                  groundSpeed > 0 ? " ETE: " : " ETE: --:--:--", groundSpeed > 0 ? clock : "", legNm);
    line2->shown = 1;
    FormatEteClock(clock, sizeof clock, ete);
    if (groundSpeed > 0 && planOn)
        std::snprintf(line3->text, sizeof line3->text, "%s ETE: %s DIST: %4.1f NM", destination, clock,
                      legNm + routeRemainingNm);
    else
        std::snprintf(line3->text, sizeof line3->text, "%s ETE: --:-- DIST: %4.1f NM", destination,
                      legNm + routeRemainingNm);
    line3->shown = std::strcmp(active, destination) != 0;
}
