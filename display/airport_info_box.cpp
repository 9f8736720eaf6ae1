// The airport information box: a white band over the top of the diagram
// with the loaded airport's figures in black.
#include "display/airport_info_box.h"

#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/map_view.h"
#include "navdata/simulators.h"
#include "platform/units.h"
#include "render/bitmap_fonts.h"
#include "render/shapes.h"
#include "render/snapshot.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;
constexpr uint32_t Black = 0xFF000000u;
constexpr uint32_t Grey = 0xFF808080u;
constexpr int RunwayList = 7;

// X-Plane's codes: 1 to 5, then 12 to 15; the codes between have no word.
const char* const XPlaneSurfaces[] = {"Asphalt", "Concrete", "Grass", "Dirt", "Gravel", "", "", "", "", "", "",
                                      "Lakebad", "Water", "Snow", "Hard"};
const char* const GeneralSurfaces[] = {"ASPHALT", "CONCRETE", "CEMENT", "BITUMINOUS", "BRICK", "CLAY", "CORAL",
                                       "DIRT", "GRASS", "GRAVEL", "ICE", "MACADAM", "OIL_TREATED", "SAND", "SHALE",
                                       "SNOW", "STEEL_MATS", "TARMAC", "UNKNOWN", "WATER"};

struct FrequencyClass {
    int selectedCom;
    const char* name;
    int32_t code;
};
// UNICOM has a code of its own; listing it under ATIS's would show the ATIS.
const FrequencyClass FrequencyClasses[] = {{1, "Ground", 53},    {2, "Clearance", 52}, {3, "Tower", 54},
                                           {4, "Departure", 56}, {5, "Approach", 55},  {6, "ATIS", 50},
                                           {8, "UNICOM", 51}};

long RoundToLong(double v)
{
    return std::isfinite(v) ? std::lround(std::fmax(-1.0e9, std::fmin(1.0e9, v))) : 0;
}

// The frame of the box: the map area's width at its top.
struct InfoFrame {
    float left, right, top, centre;
};

InfoFrame TakeFrame()
{
    InfoFrame f{};
    if (BezelShown) {
        f.left = static_cast<float>(ScreenLayout.MapRectX);
        f.right = f.left + ScreenLayout.MapRectW;
        f.top = ScreenLayout.MapRectY - 1.0f;
    } else {
        f.left = 0;
        f.right = 640;
        f.top = 0;
    }
    f.centre = (f.left + f.right) / 2;
    return f;
}

void DrawHeaderLines(const InfoFrame& f, const AirportDetail& d)
{
    const AirportHeader& h = d.header;
    float x = f.left + 4, y = f.top + 3;
    char text[256];
    SetFontSize(12);
    std::snprintf(text, sizeof text, "%s", h.icao);
    DrawTextLeft(text, x, y, Black);
    SetFontSize(10);
    std::snprintf(text, sizeof text, "%s", h.names[0]);
    DrawTextLeft(text, x + 48, y + 2, Black);
    std::snprintf(text, sizeof text, "%s\n%s, %s", h.names[2], h.names[1], h.names[3]);
    DrawTextCentred(text, f.centre, y, Black);
    FormatReferencePoint(text, sizeof text, h.lat, h.lon);
    DrawTextRight(text, f.right - 4, y, Black);
    // The X-Plane and FlightGear data keep the variation east-positive.
    int sim = Settings.UseSimulator.load();
    double variation = sim == SimulatorXPlane || sim == SimulatorFlightGear ? h.magVar : -h.magVar;
    std::snprintf(text, sizeof text, "Mag. var %3.1f\xB0", variation);
    DrawTextRight(text, f.right - 4, y + 12, Black);
    if (Settings.MetricAltitude)
        std::snprintf(text, sizeof text, "Elevation %ld m", RoundToLong(h.elevation / FeetPerMetre7));
    else
        std::snprintf(text, sizeof text, "Elevation %d ft", h.elevation);
    DrawTextLeft(text, x, f.top + 20, Black);
}

void DrawRunwayList(const InfoFrame& f, const AirportDetail& d, float y)
{
    char text[160];
    SetFontSize(8);
    for (const RunwayRecord& r : d.runways) {
        FormatRunwayEnd(text, sizeof text, r, 1, Settings.MetricAltitude != 0, Settings.NavDatabase);
        DrawTextLeft(text, f.left + 4, y, Black);
        FormatRunwayEnd(text, sizeof text, r, 2, Settings.MetricAltitude != 0, Settings.NavDatabase);
        DrawTextLeft(text, f.centre, y, Black);
        y += 8;
    }
}

}  // namespace

float InfoBoxHeight(int runwayCount, int selectedCom)
{
    float h = 48;
    if (selectedCom == RunwayList && runwayCount > 2)
        h += static_cast<float>(runwayCount) * 8 - 16;
    return h;
}

const char* RunwaySurfaceWord(int code, int navDatabase)
{
    long index = static_cast<long>(code) - 1;
    if (navDatabase == 1 || navDatabase == 5) {
        constexpr long n = sizeof XPlaneSurfaces / sizeof XPlaneSurfaces[0];
        return index >= 0 && index < n ? XPlaneSurfaces[index] : "";
    }
    constexpr long n = sizeof GeneralSurfaces / sizeof GeneralSurfaces[0];
    return index >= 0 && index < n ? GeneralSurfaces[index] : "";
}

void FormatReferencePoint(char* out, size_t size, double lat, double lon)
{
    auto split = [](double v, int* degrees, double* minutes) {
        double a = std::isfinite(v) ? std::fmin(std::fabs(v), 180.0) : 0.0;
        *degrees = static_cast<int>(a);
        *minutes = (a - *degrees) * 60;
    };
    int lonDeg, latDeg;
    double lonMin, latMin;
    split(lon, &lonDeg, &lonMin);
    split(lat, &latDeg, &latMin);
    char longitude[32], latitude[32];
    std::snprintf(longitude, sizeof longitude, "%c %3d\xB0 %2.1f'", lon >= 0 ? 'E' : 'W', lonDeg, lonMin);
    std::snprintf(latitude, sizeof latitude, "%c %2d\xB0 %2.1f'", lat >= 0 ? 'N' : 'S', latDeg, latMin);
    std::snprintf(out, size, "%s  %s", longitude, latitude);
}

void FormatRunwayEnd(char* out, size_t size, const RunwayRecord& r, int end, bool metric, int navDatabase)
{
    double factor = metric ? 1.0 : FeetPerMetre7;
    long length = RoundToLong(r.length * factor), width = RoundToLong(r.width * factor);
    const char* unit = metric ? "m" : "ft";
    const char* name = end == 1 ? r.designator1 : r.designator2;
    double heading = end == 1 ? r.heading1 : r.heading2;
    double frequency = end == 1 ? r.ilsFrequency1 : r.ilsFrequency2;
    const char* ils = end == 1 ? r.ilsIdent1 : r.ilsIdent2;
    // Rounded once: a heading of 50.2 degrees reads 50, not 51.
    double degrees = std::isfinite(heading) ? std::floor(std::fmod(heading * DegreesPerRadian1, 360.0) + 0.5) : 0.0;
    if (degrees < 0)
        degrees += 360;
    if (degrees >= 360)
        degrees -= 360;
    const char* surface = RunwaySurfaceWord(r.surface, navDatabase);
    if (frequency > 0 && std::isfinite(frequency))
        std::snprintf(out, size, "%.7s: %ld x %ld %s %s - %3.0f%c %.7s %6.2f Mhz", name, length, width, unit, surface,
                      degrees, '\xBA', ils, frequency);
    else
        std::snprintf(out, size, "%.7s: %ld x %ld %s %s - %3.0f%c", name, length, width, unit, surface, degrees,
                      '\xBA');
}

bool FrequencyClassOf(int selectedCom, const char** name, int32_t* code)
{
    for (const FrequencyClass& c : FrequencyClasses) {
        if (c.selectedCom == selectedCom) {
            *name = c.name;
            *code = c.code;
            return true;
        }
    }
    return false;
}

void ClearInfoModes(bool keepFirst)
{
    // One class shows at a time: with the first kept there is nothing else.
    if (!keepFirst)
        Settings.SelectedCOM = 0;
}

void DrawAirportInfoBox()
{
    if (Settings.AirportOverlay || !Settings.NavAirport || !IsAirportDetailLoaded())
        return;
    const AirportDetail& d = GetAirportDetail();
    InfoFrame f = TakeFrame();
    int selected = Settings.SelectedCOM;
    float height = InfoBoxHeight(static_cast<int>(d.runways.size()), selected);
    uint32_t fill = 0, border = 0;
    DimColour(&fill, White);
    DimColour(&border, Grey);
    ScreenRect r{f.left, f.right, f.top, f.top + height};
    DrawBox(&r, fill, 0, QuadPlacement::VirtualScreen, border, 2);
    DrawHeaderLines(f, d);
    if (selected <= 0)
        return;
    float line = f.top + 30;
    ScreenRect separator{f.left, f.right, line, line + 1};
    DrawFilledQuad(&separator, border, 0, QuadPlacement::VirtualScreen);
    if (selected == RunwayList) {
        DrawRunwayList(f, d, line + 2);
        return;
    }
    const char* name = nullptr;
    int32_t code = 0;
    if (!FrequencyClassOf(selected, &name, &code))
        return;
    char label[32];
    std::snprintf(label, sizeof label, "%s: ", name);
    SetFontSize(8);
    TextRect rect{f.left + 4, f.right, line + 2, line + 10};
    DrawFrequencyLines(label, &rect, code, 8);
}

namespace {
// Before main, so tests that skip the start-up see the box over the snapshot too.
[[maybe_unused]] const bool kBoxOverSnapshot = (SnapshotOverlay = DrawAirportInfoBox, true);
} // namespace
