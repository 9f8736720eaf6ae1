// Terrain awareness and GPWS (see terrain_awareness.h). The envelopes are
// pure functions of one frame's values, so that they can be checked apart
// from the smoothing that feeds them.
#include "maps/terrain_awareness.h"

#include "app/settings.h"
#include "app/settings_table.h"
#include "display/aircraft_values.h"
#include "display/draw_helpers.h"
#include "display/map_view.h"
#include "render/picture_slot.h"
#include "maps/terrain_data.h"
#include "maps/tile_grid.h"
#include "navdata/airport_details.h"
#include "navdata/flight_plan.h"
#include "platform/ini_sections.h"
#include "platform/threads.h"
#include "platform/units.h"
#include "render/bitmap_fonts.h"
#include "render/device.h"
#include "render/polylines.h"
#include "render/shapes.h"
#include "render/terrain_quad.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"
#include "platform/files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kLookAheadSteps = 12;
constexpr double kAlertRepeatSeconds = 3.0;
constexpr double kScaleHoldSeconds = 30.0;

const uint8_t DefaultColours[TerrainColourCount][3] = {
    {0, 240, 11}, {49, 152, 97}, {255, 255, 148}, {254, 0, 1}, {125, 1, 0}};
uint8_t Colours[TerrainColourCount][3] = {
    {0, 240, 11}, {49, 152, 97}, {255, 255, 148}, {254, 0, 1}, {125, 1, 0}};
bool SettingsRead = false;

struct AlertState {
    int32_t raw = 0;
    int32_t shown = 0;
    bool played = false;
    bool muted = false;
    double lastAccepted = -1e9;
    int phase = PhaseDeparture;
    double smoothedA = 0, smoothedB = 0, aglRate = 0, previousAgl = 0;
    int lookAheadStep = 1;
    float lowestAgl = 0;
};
AlertState Alert;

// This frame's shader values, filled before the tiles are drawn.
TerrainShaderParams FrameParams{0, 1.0f, 1, 0, 1, 0, 0, 0, 0, 0, 1.0f, 255.0f};

// The airport whose runways the too-low envelope measures, and when it was
// last asked for: a frame does not reload it.
char ApproachIcao[8] = "";
double ApproachLoadedAt = -1e9;

struct ProfileState {
    std::vector<int32_t> samples;
    double highest = -3000, lowest = 30000; // feet
    int length = 0;                          // profile length value (tenths of the view)
    int base = -1000, range = 0;
    double baseChanged = 0, rangeChanged = 0;
};
ProfileState Profile;

long (*ClockMs)() = ProgramClockMs;
double Seconds() { return ClockMs() / 1000.0; }

void ResetSmoothing()
{
    Alert.smoothedA = Alert.smoothedB = Alert.aglRate = Alert.previousAgl = 0;
    Alert.lookAheadStep = 1;
}

void UpdateAlertTimer()
{
    double t = Seconds();
    if (t - Alert.lastAccepted > kAlertRepeatSeconds || Alert.raw > 12) {
        if (Alert.raw >= 1) {
            Alert.shown = Alert.raw;
            Alert.played = false;
            Alert.lastAccepted = t;
        } else {
            Alert.shown = 0;
            Alert.muted = false;
        }
    }
    if (Alert.raw >= AlertCallout500 && Alert.raw <= AlertCallout10)
        Alert.raw = 0;
}

void FormatColour(char* out, const uint8_t rgb[3])
{
    snprintf(out, TerrainColourTextSize, "%d,%d,%d", rgb[0], rgb[1], rgb[2]);
}

// Nautical miles to the nearest runway end of the plan's destination, when
// there is one to measure.
bool DestinationRunwayDistance(double* distance)
{
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    if (plan.count < 1 || plan.count > FlightPlanMaxWaypoints)
        return false;
    char icao[8];
    memcpy(icao, plan.waypoints[plan.count - 1].ident, sizeof icao);
    icao[sizeof icao - 1] = 0;
    if (!icao[0])
        return false;
    double t = Seconds();
    if (strcmp(icao, ApproachIcao) != 0 || t - ApproachLoadedAt > 1.0 || !IsAirportDetailLoaded()) {
        ApproachLoadedAt = t;
        snprintf(ApproachIcao, sizeof ApproachIcao, "%s", icao);
        if (!LoadAirportDetails(icao))
            return false;
    }
    int32_t elevation = 0;
    *distance = GetNearestRunwayEndDistance(MapCenter.longitude.load(), MapCenter.latitude.load(), &elevation);
    return std::isfinite(*distance);
}

void FillShaderParams()
{
    double west = 0, north = 0;
    GetDisplayedTerrainWindow(&west, &north);
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    FrameParams.altitude = static_cast<float>(GetAircraftAltitude() + kTerrainByteOffsetFeet);
    FrameParams.blendfactor = Settings.TerrainOverlay ? Settings.TerrainTransparency : 1.0f;
    FrameParams.mode = Settings.Terrainmap;
    FrameParams.warn = Settings.TAWS;
    FrameParams.zerolimit = Sealevel;
    FrameParams.uextern = static_cast<float>(lon - west - 2.5);
    FrameParams.vextern = static_cast<float>(north - lat - 1.5);
    FrameParams.cosb = static_cast<float>(std::cos(lat * RadiansPerDegree5));
    FrameParams.brightness = static_cast<float>(Settings.Dimlevel);
}

void DrawTileQuads(int centreX, int centreY, float mapAngle)
{
    double px = 0, py = 0, west = 0, north = 0;
    GetScreenPixelsPerDegree(&px, &py);
    GetDisplayedTerrainWindow(&west, &north);
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    for (int tile = 0; tile < kTerrainSlots; tile++) {
        const SpriteSlot* slot = GetDisplayedTerrainTexture(tile);
        if (!slot)
            continue;
        int k = tile % kTerrainColumns, j = tile / kTerrainColumns;
        ScreenRect rect;
        rect.x0 = static_cast<float>(centreX + (k - (lon - west)) * px);
        rect.y0 = static_cast<float>(centreY + (j - (north - lat)) * py);
        rect.x1 = static_cast<float>(rect.x0 + px);
        rect.y1 = static_cast<float>(rect.y0 + py);
        DrawTerrainQuadFrom(GetTerrainShaderParams, slot->texture, &rect, 0xFFFFFFFFu, mapAngle,
                            QuadPlacement::MapPixels, tile);
    }
}

// The ten-power step of a value (1, 10, 100 ...), 1 for values below 1.
double PowerStep(double v) { return v >= 1 ? std::pow(10.0, std::floor(std::log10(v))) : 1.0; }

int RangeFrom(double hi, double base)
{
    double span = hi - base;
    double s = PowerStep(span);
    double range = (std::floor(span / s) + 1) * s;
    return static_cast<int>(std::max(range, 1000.0));
}

} // namespace

// ---- settings and colours ----

bool ParseTerrainColour(const char* text, uint8_t rgb[3])
{
    if (!text || strcmp(text, "0,0,0") == 0)
        return false;
    const char* first = strchr(text, ',');
    const char* second = first ? strchr(first + 1, ',') : nullptr;
    if (!second)
        return false;
    int v[3] = {atoi(text), atoi(first + 1), atoi(second + 1)};
    for (int k = 0; k < 3; k++)
        rgb[k] = static_cast<uint8_t>(std::clamp(v[k], 0, 255));
    return true;
}

void ReadTerrainSettings()
{
    if (SettingsRead)
        return;
    SettingsRead = true;
    Settings.TerrainOverlay = 1;
    for (int i = 0; i < TerrainColourCount; i++)
        memcpy(Colours[i], DefaultColours[i], 3);
    ReadSettingSection(TerrainSection, IniFilePath);
    for (int i = 0; i < TerrainColourCount; i++) {
        ParseTerrainColour(TerrainColourText[i], Colours[i]);
        FormatColour(TerrainColourText[i], Colours[i]);
    }
    ResetSmoothing();
    Profile.base = -1000;
    Profile.baseChanged = Profile.rangeChanged = 0;
    Profile.samples.clear();
}

// Only what was read is written back: the user's values stay when the
// section was never taken in.
void SaveTerrainSettings()
{
    if (!SettingsRead)
        return;
    for (int i = 0; i < TerrainColourCount; i++)
        FormatColour(TerrainColourText[i], Colours[i]);
    WriteSettingSection(TerrainSection, IniFilePath);
}

void ForgetTerrainSettings() { SettingsRead = false; }

bool GetTerrainColor(int index, uint8_t* r, uint8_t* g, uint8_t* b)
{
    ReadTerrainSettings();
    if (index < 0 || index >= TerrainColourCount)
        return false;
    *r = Colours[index][0];
    *g = Colours[index][1];
    *b = Colours[index][2];
    return true;
}

bool GetTerrainColorRgb(float* rgb, int index)
{
    uint8_t r = 0, g = 0, b = 0;
    if (!GetTerrainColor(index, &r, &g, &b)) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return true;
    }
    rgb[0] = r / 255.0f;
    rgb[1] = g / 255.0f;
    rgb[2] = b / 255.0f;
    return true;
}

void LoadTerrainColors()
{
    for (int i = 0; i < 4; i++) {
        float rgb[3] = {0, 0, 0};
        GetTerrainColorRgb(rgb, i + 1);
        TerrainColors[i][0] = rgb[0];
        TerrainColors[i][1] = rgb[1];
        TerrainColors[i][2] = rgb[2];
        TerrainColors[i][3] = 1.0f;
    }
}

int GetTerrainShaderParams(int tile, TerrainShaderParams* out)
{
    *out = FrameParams;
    int k = tile >= 0 && tile < kTerrainSlots ? tile : 0;
    out->uoff = static_cast<float>(k % kTerrainColumns - 2.5);
    out->voff = static_cast<float>(k / kTerrainColumns - 1.5);
    return 1;
}

// ---- envelopes ----

int32_t DescentRateAlert(double agl, double a)
{
    if (!(agl >= 30 && agl < 5500))
        return AlertNone;
    if (agl < 1100 && a < -1000 - agl * 1000 / 1100)
        return AlertPullUp;
    if (agl < 1500 && a < -1000 - agl * 1000 / 1500)
        return AlertSinkRate;
    if (agl >= 1100 && agl < 2500 && a < -2000 - (agl - 1100) * 3000 / 1400)
        return AlertPullUp;
    if (agl >= 1500 && agl < 3100 && a < -2000 - (agl - 1500) * 3000 / 1600)
        return AlertSinkRate;
    if (agl > 2500 && agl < 4500 && a < -7000 - (agl - 2500) * 5000 / 2000)
        return AlertPullUp;
    if (agl > 3100 && agl < 5500 && a < -7000 - (agl - 3100) * 5000 / 2400)
        return AlertSinkRate;
    return AlertNone;
}

int32_t TooLowAlert(double d, double agl)
{
    bool low = (d > 12.5 && d < 15 && agl < (d - 12.5) * 300 / 2.5 + 400) || (d > 5 && d <= 12.5 && agl < 400) ||
               (d > 2 && d <= 5 && agl < (d - 2) * 150 / 3 + 250) || (d > 1 && d < 2 && agl < (d - 1) * 150 + 100);
    return low ? AlertTooLowTerrain : AlertNone;
}

int32_t DontSinkAlert(double agl, double a)
{
    if (agl >= 30 && agl < 700 && (a < -500 || a < -500 * agl / 700))
        return AlertDontSink;
    return AlertNone;
}

int32_t EvaluateGpwsEnvelopes(const GpwsInputs& in)
{
    int32_t alert = DescentRateAlert(in.agl, in.smoothedVs);
    bool automatic = in.pilotMode == -1;
    if (!alert && automatic && in.phase == PhaseApproach && in.approachChecked)
        alert = TooLowAlert(in.runwayDistance, in.agl);
    if (!alert && (in.pilotMode == PhaseDeparture || (automatic && in.phase == PhaseDeparture)))
        alert = DontSinkAlert(in.agl, in.smoothedVs);
    if (!alert && (in.pilotMode == PhaseEnroute || (automatic && in.phase == PhaseEnroute)) &&
        in.predictedClearance < 500 && in.agl >= 30)
        alert = AlertTerrainAhead;
    return alert;
}

int NextFlightPhase(int phase, double agl, double vs, double b, double aglRate, int departureEnroute,
                    int enrouteApproach)
{
    if (phase == PhaseDeparture && agl > departureEnroute)
        return PhaseEnroute;
    if (phase == PhaseEnroute && agl < enrouteApproach && vs < 0 && b < -50 && b < -aglRate)
        return PhaseApproach;
    if (phase == PhaseApproach && agl > departureEnroute && vs > 0)
        return PhaseEnroute;
    return phase;
}

int32_t CalloutFor(double lowest, double h)
{
    static const struct {
        double limit;
        int32_t alert;
    } steps[] = {{20, 19}, {30, 18}, {40, 17}, {50, 16}, {100, 15}, {200, 14}, {500, 13}};
    if (lowest > 10 && h > 1 && h <= 10)
        return AlertCallout10;
    for (const auto& s : steps)
        if (lowest > s.limit && h <= s.limit)
            return s.alert;
    return AlertNone;
}

// ---- the frame ----

void RunGpwsAlerts(float zoomFactor)
{
    if (Alert.raw < AlertCallout500)
        Alert.raw = 0;
    if (!IsTerrainActive())
        return;
    if (Settings.TerrainProfile && GetWantedZoom() >= 9)
        SampleTerrainProfile(zoomFactor);

    double vs = Aircraft.VerticalSpeedPerMinute, agl = GetTerrainHeightAboveGround(), gs = Aircraft.GroundSpeed;
    double altitude = GetAircraftAltitude();
    Alert.smoothedA = 0.95 * Alert.smoothedA + 0.05 * vs;
    double gsFpm = gs * FeetPerMetre4 * MetresPerSecondPerKnot * 60;
    double lookLat = MapCenter.latitude.load(), lookLon = MapCenter.longitude.load(), lookHeight = 0;
    FrameParams.factor = 0;
    if (gsFpm > 0 && Settings.TAWS >= 1) {
        double lat60 = 0, lon60 = 0;
        PredictPosition(&lat60, &lon60, 60);
        double dist = std::hypot(lat60 - lookLat, lon60 - lookLon);
        FrameParams.factor = dist > 0 ? static_cast<float>(Alert.smoothedA / dist) : 0.0f;
        if (++Alert.lookAheadStep > kLookAheadSteps)
            Alert.lookAheadStep = 1;
        PredictPosition(&lookLat, &lookLon, Alert.lookAheadStep * 5.0);
        lookHeight = Alert.smoothedA * 0.125 * Alert.lookAheadStep;
    }
    double clearance = (altitude + kTerrainByteOffsetFeet) - GetDisplayedTerrainByte(lookLat, lookLon) * kTerrainFeetPerStep;

    if (Aircraft.OnGround) {
        Alert.phase = PhaseDeparture;
        if (Settings.PilotFlightmode != 0)
            Settings.PilotFlightmode = -1;
    }
    Alert.smoothedB = 0.95 * Alert.smoothedB + 0.05 * vs;
    Alert.aglRate = 0.95 * Alert.aglRate + 0.05 * (agl - Alert.previousAgl);
    Alert.previousAgl = agl;

    GpwsInputs in;
    in.agl = agl;
    in.smoothedVs = Alert.smoothedA;
    in.pilotMode = Settings.PilotFlightmode;
    in.phase = Alert.phase;
    in.predictedClearance = clearance + lookHeight;
    int32_t descent = DescentRateAlert(agl, Alert.smoothedA);
    if (descent) {
        Alert.raw = descent;
    } else if (!Alert.raw) {
        if (Settings.FlightPlanState && SimPlanTaken.load() && in.pilotMode == -1 && in.phase == PhaseApproach)
            in.approachChecked = DestinationRunwayDistance(&in.runwayDistance);
        Alert.raw = EvaluateGpwsEnvelopes(in);
    }
    if (Settings.PilotFlightmode < 0)
        Alert.phase = NextFlightPhase(Alert.phase, agl, vs, Alert.smoothedB, Alert.aglRate, Settings.DepartureEnroute,
                                      Settings.EnrouteApproach);
    UpdateAlertTimer();
}

void DrawTerrainTiles(int centreX, int centreY, float mapAngle)
{
    if (!IsTerrainActive() || !Settings.Terrainstate || Settings.AirportChart)
        return;
    FillShaderParams();
    if (FrameParams.mode > 0)
        DrawTileQuads(centreX, centreY, mapAngle);
}

void UpdateAltitudeCallouts()
{
    double h = GetTerrainHeightAboveGround();
    bool approach = Settings.PilotFlightmode == PhaseApproach || Alert.phase == PhaseApproach;
    if (!Alert.raw && h < 600 && Alert.lowestAgl < 600 && approach) {
        Alert.raw = CalloutFor(Alert.lowestAgl, h);
        if (h < Alert.lowestAgl)
            Alert.lowestAgl = static_cast<float>(h);
        if (Alert.raw)
            UpdateAlertTimer();
        return;
    }
    Alert.lowestAgl = static_cast<float>(h);
}

int32_t UpdateTerrainAlert()
{
    if (Alert.shown < 1) {
        Alert.played = false;
    } else if (!Alert.played && Settings.Sound && (Settings.TAWSOn || Settings.GPWSOn) && !Alert.muted) {
        PlaySoundNumber(Alert.shown);
        Alert.played = true;
    }
    return Alert.shown;
}

void MuteTerrainAlert() { Alert.muted = true; }

void ClearTerrainAlert()
{
    Alert.shown = 0;
    Alert.played = false;
}

bool IsTerrainAlertActive() { return Alert.shown > 0 && Alert.shown < 12; }

void SetFlightModeAuto(double heightAboveGround)
{
    Settings.PilotFlightmode = -1;
    if (heightAboveGround > Settings.DepartureEnroute)
        Alert.phase = PhaseEnroute;
}

int GetAutoFlightMode() { return Alert.phase; }
void SetAutoFlightMode(int phase) { Alert.phase = phase; }
bool IsTerrainElevationOn() { return TerrainElevation != 0; }
int32_t GetRawTerrainAlert() { return Alert.raw; }

void ResetTerrainAwareness()
{
    Alert = AlertState{};
    ApproachIcao[0] = 0;
    ApproachLoadedAt = -1e9;
}

void SetTerrainAwarenessClock(long (*clockMs)()) { ClockMs = clockMs ? clockMs : ProgramClockMs; }

// ---- the profile ----

void SampleTerrainProfile(float)
{
    double px = 0, py = 0;
    GetScreenPixelsPerDegree(&px, &py);
    if (!(px > 0) || !(py > 0))
        return;
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    double halfLat = 240 / py, halfLon = 320 / px;
    double north = lat + halfLat, south = lat - halfLat, east = lon + halfLon, west = lon - halfLon;
    int h = static_cast<int>((north - south) * 1111 / 2);
    int w = static_cast<int>(std::cos((north + south) * RadiansPerDegree5 / 2) * (east - west) * 1111 / 2);
    int n = std::clamp(std::max(h, w), 0, kMaxPolylinePoints);
    Profile.length = n >= 5 && n < 10 ? 1 : n / 10;
    int heading = static_cast<int>(GetTerrainTrack() + 0.5);
    double s = std::sin(heading * RadiansPerDegree5), c = std::cos(heading * RadiansPerDegree5);
    Profile.samples.clear();
    Profile.highest = -3000;
    Profile.lowest = 30000;
    for (int i = 0; i < n; i++) {
        double e = TerrainByteToFeet(GetDisplayedTerrainByte(c * i / 1200 + lat, s * i / 1200 + lon));
        Profile.samples.push_back(Settings.MetricAltitude ? static_cast<int32_t>(e / FeetPerMetre4)
                                                          : static_cast<int32_t>(e));
        Profile.highest = std::max(Profile.highest, e);
        Profile.lowest = std::min(Profile.lowest, e);
    }
}

void ComputeProfileScale(int* range, int* base, double* distanceStep)
{
    double t = Seconds();
    double metric = Settings.MetricAltitude ? FeetPerMetre4 : 1.0;
    double lo = Profile.lowest / metric, hi = Profile.highest / metric;
    int newBase = lo < 1 ? 0 : static_cast<int>(std::floor(lo / PowerStep(lo)) * PowerStep(lo));
    if (Profile.base < newBase && Profile.base > -500 && t - Profile.baseChanged < kScaleHoldSeconds)
        newBase = Profile.base;
    if (newBase != Profile.base)
        Profile.baseChanged = t;
    int newRange = RangeFrom(hi, newBase);
    if (newRange * 0.2 > newBase && newBase < 1000) {
        newBase = 0;
        newRange = RangeFrom(hi, 0);
    }
    if (Profile.range > newRange && t - Profile.rangeChanged < kScaleHoldSeconds)
        newRange = Profile.range;
    if (newRange != Profile.range)
        Profile.rangeChanged = t;
    Profile.base = newBase;
    Profile.range = newRange;
    int lengthNm = static_cast<int>(Profile.length / KilometresPerNauticalMile);
    double step = lengthNm > 0 ? std::pow(10.0, std::floor(std::log10(lengthNm)) + 1) : 1.0;
    if (step > 4.0 * lengthNm)
        step /= 4;
    else if (step > 2.0 * lengthNm)
        step /= 2;
    *range = newRange;
    *base = newBase;
    *distanceStep = step;
}

int GetTerrainProfileCount() { return static_cast<int>(Profile.samples.size()); }
const int32_t* GetTerrainProfileSamples() { return Profile.samples.data(); }

// The box is placed on the virtual screen, the polylines take map pixels
// about the screen centre: a point of the box in the polylines' units (the
// same on a 640 x 480 client only; elsewhere the curve ran below the box,
// across the bezel).
static void ProfilePoint(float x, float y, OutlinePoint* p)
{
    float cx = 320, cy = 240;
    GetScreenCentre(&cx, &cy);
    float w = RenderDevice.clientWidth > 0 ? RenderDevice.clientWidth : 640.0f;
    float h = RenderDevice.clientHeight > 0 ? RenderDevice.clientHeight : 480.0f;
    p->x = cx + (x - cx) * w / 640.0f;
    p->y = cy + (y - cy) * h / 480.0f;
    p->z = 0;
}

float ProfileBoxInset(int aspectRatio)
{
    const float factor = aspectRatio == 2 ? 1.055f : aspectRatio == 3 || aspectRatio == 4 ? 1.1667f : 1.0f;
    return 0.236f * factor;
}

void DrawTerrainProfile(int aspectRatio)
{
    int n = GetTerrainProfileCount();
    if (n < 2)
        return;
    int range = 1000, base = 0;
    double step = 1;
    ComputeProfileScale(&range, &base, &step);
    bool bezel = BezelShown != 0;
    float left = 0.0f, right = 640.0f;
    if (bezel) {
        // Between the EXIT and MENU keys of the bezel's bottom row.
        left = 640 * ProfileBoxInset(aspectRatio);
        right = 640 - left;
    }
    float top = bezel ? 480 * 0.67f : 480 * 0.8f, bottom = bezel ? 480 * 0.746f : 480 * 0.9f;
    ScreenRect box{left, right, top, bottom};
    DrawBox(&box, 0xFF000000u, 0, QuadPlacement::VirtualScreen, 0xFFA06040u, 1);
    bool metric = Settings.MetricAltitude != 0;
    double altitude = GetAircraftAltitude() / (metric ? FeetPerMetre4 : 1.0);
    double below = metric ? 26 : 100, above = metric ? 262 : 1000;
    double height = bottom - top;
    double scale = height / std::max(range, 1);
    const int32_t* samples = GetTerrainProfileSamples();
    int count = std::min(n, ScreenPointCapacity);
    for (int i = 0; i < count; i++) {
        double e = samples[i];
        OutlinePoint& p = ScreenPointBuffer[i];
        ProfilePoint(static_cast<float>(left + (right - left) * i / (count - 1)),
                     static_cast<float>(bottom - std::clamp((e - base) * scale, 0.0, height)), &p);
        uint32_t colour = altitude < e - below ? 0xFF0000FFu : altitude > e + above ? 0xFF00AF00u : 0xFF00FFFFu;
        std::memcpy(&p.z, &colour, sizeof colour);
    }
    DrawPolylineXYZ(ScreenPointBuffer, std::min(count, kMaxPolylinePoints), 480 * 4 / 1000.0f);
    char text[32];
    const char* unit = metric ? "m" : "ft";
    SetFontSize(12);
    snprintf(text, sizeof text, "%d %s", base, unit);
    DrawText(text, left + 4, bottom - 14, 0xFFFFFFFFu, 0);
    snprintf(text, sizeof text, "%d %s", base + range, unit);
    DrawText(text, left + 4, top + 1, 0xFFFFFFFFu, 0);
    double lengthNm = Profile.length / KilometresPerNauticalMile;
    for (int q = 1; q <= 3; q++) {
        double nm = lengthNm * q / 4;
        if (lengthNm / 4 < 1)
            snprintf(text, sizeof text, "%01.1fnm", nm);
        else
            snprintf(text, sizeof text, "%d nm", static_cast<int>(nm));
        DrawText(text, left + (right - left) * q / 4, bottom - 14, 0xFFFFFFFFu, 1);
    }
    if (altitude > base && altitude < base + range) {
        float y = static_cast<float>(bottom - (altitude - base) * scale);
        OutlinePoint line[2];
        ProfilePoint(left, y, &line[0]);
        ProfilePoint(right, y, &line[1]);
        DrawPolyline(line, 2, 0xFFFFFFFFu, 0, 1);
    }
    if (Aircraft.GroundSpeed > 40 && lengthNm > 0) {
        double minuteNm = Aircraft.GroundSpeed / 60;
        float x = static_cast<float>(left + (right - left) * std::min(minuteNm / lengthNm, 1.0));
        OutlinePoint mark[2];
        ProfilePoint(x, top, &mark[0]);
        ProfilePoint(x, bottom, &mark[1]);
        DrawPolyline(mark, 2, 0xFFFFFFFFu, 0, 1);
        DrawText("1 min", x + 2, top + 12, 0xFFFFFFFFu, 0);
    }
}
