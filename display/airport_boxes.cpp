// The NEAREST box, the APT button, the current airport's box and the
// parking list of the list helper.
#include "display/airport_boxes.h"

#include "app/click_zones.h"
#include "platform/log.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/aircraft_values.h"
#include "display/draw_helpers.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/status_layer.h"
#include "display/status_text.h"
#include "navdata/airport_details.h"
#include "navdata/nearest_airports.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "platform/units.h"
#include "platform/window.h"
#include "render/bitmap_fonts.h"
#include "render/shapes.h"
#include "render/snapshot.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;
constexpr uint32_t Green = 0xFF00FF00u;
constexpr uint32_t TitleColour = 0xFFFFD756u;
constexpr uint32_t BoxShade = 0xBF000000u;
// The list is looked up again this often while the box shows it.
constexpr long NearestRefreshMs = 5000;

struct Box {
    bool set = false;
    double west = 0, east = 0, south = 0, north = 0;
};
Box AirportBox;

long LastNearestRefresh = -NearestRefreshMs;

// The elevation looked up last, so the archive is read once per airport.
char ElevationIcao[16] = "";
int32_t ElevationFeet = 0;

bool SquatLayout() { return GetAspectRatio() == 3 || GetAspectRatio() == 4; }

// The top of the boxes' column: below the status lines (and the third
// when it shows).
float ColumnTop()
{
    float top = (BezelShown ? ScreenLayout.MapRectY + 28.0f : 28.0f) + 20 + 37 + 42;
    return StatusLines[2].shown ? top + 20 : top;
}

float ColumnRight()
{
    return BezelShown ? static_cast<float>(ScreenLayout.MapRectX + ScreenLayout.MapRectW) : 640.0f;
}

bool InAirportDiagramMode() { return Settings.NavAirport && !Settings.AirportOverlay; }

// A bounded copy of a fixed field that may fill its bytes without a
// terminator.
void FieldText(char* out, size_t size, const char* field, size_t fieldSize)
{
    std::snprintf(out, size, "%.*s", static_cast<int>(strnlen(field, fieldSize)), field);
}

// The box shows the airport nearest to the map centre: the list is looked
// up again every few seconds, or the figures would stay those of the
// airport that was nearest when the list was last filled.
void RefreshNearestList()
{
    long now = ProgramClockMs();
    if (GetNearestAirportCount() > 0 && now - LastNearestRefresh < NearestRefreshMs)
        return;
    LastNearestRefresh = now;
    double west = 0, east = 0, north = 0, south = 0;
    if (GetVisibleMapBounds(&west, &east, &north, &south, CurrentFrame.width, CurrentFrame.height, FrameZoom))
        FindNearestAirports(west, east);
}

void DrawLines(const char* text, float x, float y)
{
    char line[64];
    const char* p = text;
    while (true) {
        const char* end = std::strchr(p, '\n');
        size_t n = end ? static_cast<size_t>(end - p) : std::strlen(p);
        std::snprintf(line, sizeof line, "%.*s", static_cast<int>(std::min(n, sizeof line - 1)), p);
        DrawTextDimmed(x, y, White, line);
        if (!end)
            break;
        p = end + 1;
        y += 12;
    }
}

bool DrawNearestBox()
{
    if (Settings.AirportChart || InAirportDiagramMode())
        return false;
    RefreshNearestList();
    char values[160];
    if (!ComposeNearestValues(values, sizeof values))
        return false;

    SetFontSize(10);
    bool squat = SquatLayout();
    float right = ColumnRight();
    float left = right - (squat ? 71.0f : 68.0f);
    float top = ColumnTop();
    NearestBoxRect = {left, right, top, top + 98};
    uint32_t border = 0;
    DimColour(&border, White);
    ScreenRect r{left, right, top, top + 98};
    DrawBox(&r, BoxShade, 0, QuadPlacement::VirtualScreen, border, 1);
    float x = left + (squat ? 5.0f : 6.0f);
    DrawTextDimmed(x, top, TitleColour, "NEAREST");
    DrawLines(NearestBoxLabels, x, top + 12);
    DrawLines(values, x + 30, top + 12);
    return true;
}

bool DrawAptBox()
{
    if (Settings.AirportChart)
        return false;
    float right = ColumnRight();
    float bottom = ColumnTop() + 130;
    float left = right - 30, top = bottom - 30;
    AptBoxRect = {left, right, top, bottom};
    SetFontSize(12);
    uint32_t border = 0;
    DimColour(&border, White);
    ScreenRect r{left, right, top, bottom};
    DrawBox(&r, BoxShade, 0, QuadPlacement::VirtualScreen, border, 1);
    DrawTextDimmed(left + 4, top + 8, IsNearestPageOpen() ? Green : White, "APT");
    return true;
}

}  // namespace

// ---- the current airport's box ----

void SetAirportBox(const AirportRecord& airport)
{
    AirportBox.set = true;
    AirportBox.west = std::min(airport.lonA, airport.lonB);
    AirportBox.east = std::max(airport.lonA, airport.lonB);
    AirportBox.south = std::min(airport.latA, airport.latB);
    AirportBox.north = std::max(airport.latA, airport.latB);
}

void ClearHighlightBox()
{
    AirportBox.set = false;
}

bool GetAirportBox(double* west, double* east, double* south, double* north)
{
    *west = AirportBox.west;
    *east = AirportBox.east;
    *south = AirportBox.south;
    *north = AirportBox.north;
    return AirportBox.set;
}

bool IsFarFromAirportBox(double lat, double lon)
{
    if (!AirportBox.set)
        return false;
    const Box& b = AirportBox;
    double width = b.east - b.west, height = b.north - b.south;
    return (lon < b.west && b.west - lon > width) || (lon > b.east && lon - b.east > width) ||
           (lat < b.south && b.south - lat > height) || (lat > b.north && lat - b.north > height);
}

// ---- NEAREST box ----

const char NearestBoxLabels[] = "ID:\nElev.:\nBRG:\nnm:\nETE:\nRWY\nft:";

double NearestBearingDegrees(double bearingRad, double variationDeg)
{
    double b = bearingRad * DegreesPerRadian1 - variationDeg;
    return b < 0 ? b + 360 : b;
}

void FormatNearestValues(char* out, size_t size, const char* icao, int32_t elevationFeet, double bearingDeg,
                         double distanceNm, double groundSpeed, const char* end1, const char* end2,
                         double runwayMetres)
{
    double minutes = groundSpeed > 5 && std::isfinite(distanceNm) ? 60 * distanceNm / groundSpeed : 0;
    // A day and more does not fit the field; nor does it help the pilot.
    minutes = std::min(minutes, 99.0 * 60 + 59);
    int hours = static_cast<int>(minutes / 60);
    int rest = static_cast<int>(minutes - 60 * hours);
    double metres = std::isfinite(runwayMetres) ? std::clamp(runwayMetres, 0.0, 1.0e6) : 0.0;
    char length[16];
    std::snprintf(length, sizeof length, "%d", static_cast<int>(std::trunc(metres) * FeetPerMetre7));
    char distance[16];
    double nm = std::isfinite(distanceNm) ? std::clamp(distanceNm, 0.0, 99999.0) : 0.0;
    if (nm >= 1000)
        std::snprintf(distance, sizeof distance, "%4d", static_cast<int>(nm));
    else
        std::snprintf(distance, sizeof distance, "%4.1f", nm);
    int bearing = std::isfinite(bearingDeg) ? static_cast<int>(bearingDeg + 0.5) : 0;
    // The value column is 38 units wide: longer names are cut, not run
    // over the box's edge.
    std::snprintf(out, size, "%.7s\n%d'\n%d\xB0\n%s\n%2.2d:%2.2d\n%.3s/%.3s\n%s", icao, elevationFeet, bearing,
                  distance, hours, rest, end1, end2, length);
}

int32_t NearestAirportElevation(const char* icao)
{
    const AirportHeader& loaded = GetAirportDetail().header;
    if (IsAirportDetailLoaded() && std::strcmp(loaded.icao, icao) == 0)
        return loaded.elevation;
    if (std::strcmp(ElevationIcao, icao) != 0) {
        std::snprintf(ElevationIcao, sizeof ElevationIcao, "%s", icao);
        AirportHeader header{};
        ElevationFeet = ReadAirportHeader(icao, &header) ? header.elevation : 0;
    }
    return ElevationFeet;
}

bool ComposeNearestValues(char* out, size_t size)
{
    const NearestAirportEntry* entry = GetNearestAirportEntry(0);
    if (entry == nullptr || !(entry->distance >= 0.0))
        return false;
    const AirportRecord& a = *GetNearestAirportRecord();
    double lat = 0, lon = 0;
    GetMapCenter(&lat, &lon);
    double bearing = NearestBearingDegrees(BearingToNearestAirport(lat, lon), Aircraft.MagneticVariation);
    double distance = std::sqrt(GetNearestAirportDistance()) * 59.99;
    char icao[sizeof a.icao + 1], end1[sizeof a.runwayEnd1 + 1], end2[sizeof a.runwayEnd2 + 1];
    FieldText(icao, sizeof icao, a.icao, sizeof a.icao);
    FieldText(end1, sizeof end1, a.runwayEnd1, sizeof a.runwayEnd1);
    FieldText(end2, sizeof end2, a.runwayEnd2, sizeof a.runwayEnd2);
    FormatNearestValues(out, size, icao, NearestAirportElevation(icao), bearing, distance, Aircraft.GroundSpeed,
                        end1, end2, a.runwayLength);
    return true;
}

void DrawNearestAndAptBoxes()
{
    if (!DrawNearestBox())
        NearestBoxRect = {0, 0, 0, 0};
    if (!DrawAptBox())
        AptBoxRect = {0, 0, 0, 0};
}

// ---- parking positions ----

int FindParkingIndexByName(const char* text)
{
    if (text == nullptr)
        return -1;
    const std::vector<ParkingRecord>& parking = GetAirportDetail().parking;
    char name[128];
    for (size_t i = 0; i < parking.size(); ++i) {
        const ParkingRecord& p = parking[i];
        std::snprintf(name, sizeof name, "%.*s_%d", static_cast<int>(strnlen(p.name, sizeof p.name)), p.name,
                      p.number);
        if (std::strcmp(name, text) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

void WriteParkingListFile(HWND window)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    const RECT& r = placement.rcNormalPosition;
    char path[PATH_MAX];
    ResolvePath("lbentries.txt", path, sizeof path);
    bool written = ReplaceFileByPrinting(path, [&r](FILE* f) {
        std::fprintf(f, "Select Parking Position\n%d %d\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        for (const ParkingRecord& p : GetAirportDetail().parking)
            std::fprintf(f, "%.*s_%d\n", static_cast<int>(strnlen(p.name, sizeof p.name)), p.name, p.number);
        return true;
    });
    if (!written)
        WriteLog("Cannot write lbentries.txt");
}

void RequestAirportViewRedraw()
{
    InvalidateSnapshot();
    RequestAirportViewReturn();
}
