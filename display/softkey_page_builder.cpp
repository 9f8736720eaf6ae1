// The builder of every softkey page: which keys a page shows, their labels,
// which are lit green (or grey, yellow), their tooltips and label offsets,
// all read from the settings and modes the keys switch.
#include "display/softkey_pages.h"

#include "app/click_zones.h"
#include "app/command_table.h"
#include "app/language.h"
#include "app/layout_tables.h"
#include "app/main_window.h"
#include "platform/win32.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/sim_commands.h"
#include "app/simulator_window.h"
#include "app/softkey_menu.h"
#include "app/traffic_mode.h"
#include "display/frame_renderer.h"
#include "display/map_types.h"
#include "display/nav_layer.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "navdata/airport_details.h"
#include "navdata/nearest_airports.h"
#include "navdata/route_navigation.h"
#include "simlink/sim_link.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

constexpr int BlankTooltip = 130;
constexpr int BackTooltip = 17;
// The airport list's own keys share its tooltip.
constexpr int AirportListTooltip = 41;

void Key(int n, const char* label, bool lit, int tip, int32_t offset) { SetButtonLabel(n, label, lit, tip, offset); }

void Blank(int n, int32_t offset) { SetButtonLabel(n, " ", false, BlankTooltip, offset); }

void Back(int32_t offset) { SetButtonLabel(BackSoftkey, "ESC", false, BackTooltip, offset); }

void Tint(int n, uint32_t colour)
{
    if (n >= 0 && n < SoftkeyCount)
        SoftkeyLabelBoxes[static_cast<size_t>(n)].textColour = colour;
}

int Clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

int Simulator() { return Settings.UseSimulator.load(); }

// ---- page 0: main, information, flight plan ----

void MainPage()
{
    Key(0, "MAP", false, 14, 16);
    Key(1, "NAV", false, 111, 16);
    if (Settings.TrackUp)
        Key(2, "TRACK UP", false, 112, 0);
    else
        Key(2, "NORTH UP", false, 161, 0);
    Key(3, "ROSE", Settings.Windrose > 0, 113, 12);
    Key(4, "TRK", Settings.PlotTrack != 0, 103, 6);
    Key(5, "CLR TRK", false, 104, 6);
    Back(16);
    Key(7, "CONFIG", false, 108, 6);
    Key(8, "PANEL", GetShowFrame() != 0, 0, 10);
    Key(9, "TCAS/AI", TrafficDisplayMode == 2, 105, 4);
    if (Simulator() == SimulatorAerofly)
        Tint(9, SoftkeyGrey);
    else if (TrafficDisplayMode == 1)
        Tint(9, SoftkeyYellow);
    Key(10, "VECTOR", Settings.Track > 0, 106, 8);
    Key(11, "FLT PLN", IsFlightPlanActive(), 107, 6);
    bool manual = ManualPositionMode.load() != 0;
    Key(12, "MOVE MAP", manual, 188, 5);
    Key(13, "INFO", Settings.MenuState > 0, 129, 12);
    if (manual && ManualPositionValid.load() == 1 && Simulator() != SimulatorAerofly)
        Key(14, "SET POS.", false, 189, 12);
}

void InformationPage()
{
    int state = Settings.MenuState;
    Key(0, "NO INFO", state == 0, 215, 16);
    Key(1, "INFO", state == 1, 216, 16);
    Key(2, "STATE INFO", state == 2, 217, 0);
    Key(3, "FPL INFO", state == 3, 218, 0);
    Key(4, "PILOTLOG", false, 214, 12);
    Key(5, "", false, 33, 12);
    Back(16);
}

void FlightPlanPage()
{
    Key(0, "AFS2 PLN", IsFlightPlanActive(), 107, 16);
    Key(1, "LOAD PLN", false, 219, 16);
    Key(2, "SAVE PLN", false, 220, 0);
    bool editable = GetWaypointCount() >= 2;
    Key(3, "DEL WPT", GetPlanEditMode() == PlanEditDelete, 221, 0);
    Key(4, "ADD WPT", GetPlanEditMode() == PlanEditInsert, 222, 0);
    if (!editable) {
        Tint(3, SoftkeyGrey);
        Tint(4, SoftkeyGrey);
    }
    Key(5, "MOVE MAP", ManualPositionMode.load() != 0, 223, 12);
    Back(16);
    Key(7, "SHOW NAV", IsShowNavaidsOn(), 224, 12);
}

// ---- page 1: terrain ----

const char* FlightPhaseName(int phase) { return phase == 0 ? "DEPART" : phase == 1 ? "ENROUTE" : "APPR"; }

void TerrainPage()
{
    Key(0, "TAWS", Settings.TAWSOn != 0, 19, 10);
    int mode = Settings.Terrainmap;
    static const char* const ModeLabels[4] = {"MODE", "MODE 1", "MODE 2", "MODE 3"};
    static const int ModeTips[4] = {20, 21, 22, 20};
    int m = mode >= 0 && mode <= 2 ? mode : 3;
    Key(1, ModeLabels[m], m >= 1, ModeTips[m], 5);
    Key(2, " PATH", Settings.TAWS > 0, 25, 10);
    char phase[16];
    if (Settings.PilotFlightmode >= 0) {
        std::snprintf(phase, sizeof phase, " %s", FlightPhaseName(Settings.PilotFlightmode));
        Key(3, phase, true, 26, 0);
    } else {
        // The phase the aircraft's height chose: shown in yellow.
        std::snprintf(phase, sizeof phase, " %s", FlightPhaseName(GetAutoFlightMode()));
        Key(3, phase, true, 27, 0);
        Tint(3, SoftkeyYellow);
    }
    Key(4, "DISABLE", IsTerrainAlertActive(), 24, 12);
    Key(5, " LEGEND", TerrainLegende != 0, 30, 0);
    Back(16);
    Key(7, " ELEVATION", TerrainElevation != 0, 31, 12);
    Key(8, "OBSTACLE", TerrainObstacleFlag != 0, 32, 16);
    Key(9, "MEA in FP", MSAinFlightplan != 0, 150, 0);
    Key(10, "LEVEL ", Sealevel == 1, 149, 0);
    Key(11, "GPWS ", Settings.GPWSOn != 0, 191, 7);
    Key(12, "TAWS DATA", false, 192, 7);
    Key(13, "PROFILE ", Settings.TerrainProfile != 0, 193, 7);
}

// ---- page 3: navigation layers, airspace classes, nearest, database ----

void NavigationPage()
{
    Key(0, "AIRPORT", Settings.ShowAirports != 0, 140, 8);
    Key(1, "NDB", Settings.NavNDB != 0, 43, 16);
    Key(2, "VOR", Settings.NavVOR != 0, 45, 16);
    Key(3, "ILS/LOC", Settings.NavILS != 0, 47, 2);
    Key(4, "MARKER", MarkerSwitch != 0, 157, 0);
    Key(5, "AIRSPACE", Settings.NavASP != 0, 49, 0);
    Back(10);
    Key(7, "HIGH ALT", Settings.NavAirways == 1, 101, 4);
    Key(8, "LOW ALT", Settings.NavAirways == 2, 100, 4);
    Key(9, "FIX", Settings.ShowFix != 0, 114, 16);
    Key(10, "APT MAP", Settings.AirportName[0] != '\0', 41, 1);
    Key(11, "PDF", Settings.AirportChart != 0, 51, 16);
    Key(12, "GEORF.APT", Settings.AirportOverlay != 0, 116, 1);
    Key(13, "DATABASE", false, 180, 18);
    // Layers that the map leaves out at this zoom are greyed.
    int zoom = GetWantedZoom();
    if (zoom < 7)
        for (int n : {0, 1, 2, 4})
            Tint(n, SoftkeyGrey);
    if (zoom < 9)
        Tint(3, SoftkeyGrey);
    if (zoom < 8) {
        Tint(7, SoftkeyGrey);
        Tint(8, SoftkeyGrey);
        if (Settings.NavAirways > 0)
            Settings.NavAirways = 0;
    }
    if (zoom < 10)
        Tint(9, SoftkeyGrey);
}

void AirspaceClassPage()
{
    const char* selected = Settings.SelectedAirspace;
    if (std::strncmp(selected, AirspaceClassLetters, 8) == 0)
        Key(0, "All", true, 135, 16);
    else
        Key(0, "ALL", false, 135, 16);
    struct ClassKey {
        int key;
        char letter;
        int position;
    };
    static const ClassKey Classes[8] = {{1, 'A', 0}, {2, 'B', 1}, {3, 'C', 2}, {4, 'D', 3},
                                        {5, 'E', 4}, {7, 'F', 5}, {8, 'G', 6}, {9, 'R', 7}};
    for (const ClassKey& c : Classes) {
        char label[16];
        std::snprintf(label, sizeof label, "CLASS %c", c.letter);
        Key(c.key, label, selected[c.position] == c.letter, 136, 2);
    }
    Back(10);
    Key(10, "CTR", Settings.CTR != 0, 138, 16);
    Key(11, "INFO", Settings.NavASPInfo != 0, 138, 16);
    Key(12, "OFF", false, 137, 16);
    Key(13, "", false, BlankTooltip, 17);
}

bool HasSelectedAirport()
{
    return Settings.SelectedAirport[0] && std::strcmp(Settings.SelectedAirport, "NEAREST") != 0;
}

void NearestPage()
{
    if (GetNearestAirportCount() == 0)
        RefreshNearestAirports();
    bool withParking = HasSelectedAirport() && GetParkingCount() > 0;
    int keys = withParking ? 4 : 5;
    int count = GetNearestAirportCount();
    for (int n = 0; n < keys; ++n) {
        if (n < count) {
            const char* icao = GetNearestAirportIcao(n);
            SetPageSoftkey(icao, HasSelectedAirport() && std::strcmp(icao, Settings.SelectedAirport) == 0,
                           AirportListTooltip, n, 16);
        } else {
            SetPageSoftkey(" ", false, BlankTooltip, n, 18);
        }
    }
    SetPageSoftkey("ICAO", false, AirportListTooltip, keys, 16);
    if (withParking) {
        SetPageSoftkey("PARKING", false, AirportListTooltip, 5, 4);
        Back(16);
        return;
    }
    Back(16);
    static const char* const Frequencies[7] = {"GROUND", "CLEARANCE", "TOWER", "DEPARTURE",
                                               "APPROACH", "ATIS", "RWY/ILS"};
    for (int k = 0; k < 7; ++k)
        SetPageSoftkey(Frequencies[k], Settings.SelectedCOM == k + 1, AirportListTooltip, 7 + k, 0);
}

void DatabasePage()
{
    struct DatabaseKey {
        const char* label;
        int tip, offset;
        int first, last;  // the simulators whose own data this is
    };
    static const DatabaseKey Keys[6] = {{"X-PLANE", 195, 16, 4, 4}, {"FS2004", 196, 16, 5, 5},
                                        {"FSX", 197, 16, 1, 2},     {"P3D", 198, 1, 3, 3},
                                        {"Flightgear", 199, 0, 6, 6}, {"MSFS", 200, 4, 7, 7}};
    int database = Settings.NavDatabase, sim = Simulator();
    for (int n = 0; n < 6; ++n) {
        const DatabaseKey& k = Keys[n];
        bool lit = database == n + 1 || (database == 0 && sim >= k.first && sim <= k.last);
        Key(n, k.label, lit, k.tip, k.offset);
    }
    Back(10);
    Key(7, "OpenAIP", database == 8, 228, 10);
    Key(8, "OAIP Update", false, 229, 10);
}

// ---- page 5: options ----

void FirstOptionsPage()
{
    Key(0, "SIM", false, 10, 16);
    bool terrain = IsTerrainDataAvailable();
    Key(1, "TERRAIN", false, terrain ? 65 : 154, 4);
    if (!terrain)
        Tint(1, SoftkeyGrey);
    Key(2, "COLOR", false, 59, 7);
    Key(3, "NAV SIZE", false, 186, 0);
    Key(4, "TOOLTIP", Settings.Tooltips != 0, 66, 5);
    Key(5, "FRAME", Settings.WindowFrame == 0, 147, 0);
    Back(16);
    Key(7, "NEXT", false, 146, 7);
    Key(8, "USR MAP", false, 88, 1);
    Key(9, "ON TOP", Settings.TopMost.load() != 0, 9, 4);
    Key(10, Settings.HeadingIsTrue ? "HDG TRUE" : "HDG MAG", false, 134, 16);
    Key(11, "SOUND", Settings.Sound.load() != 0, 148, 4);
    Key(12, "MIN ON TOP ", GetDisplayMode() != 0, 184, 1);
    Key(13, "ICON", false, 226, 16);
}

void SimulatorPage()
{
    struct SimulatorKey {
        int key;
        const char* label;
        int first, last;
        int tip, offset, installedBits;
    };
    static const SimulatorKey Keys[7] = {
        {0, "X-PLANE", 4, 4, 7, 6, 0x08},  {1, "Aerofly FS2 ", 8, 8, 212, 6, 0x80}, {2, "FSX", 1, 2, 2, 16, 0x03},
        {3, "P3D", 3, 3, 4, 6, 0x04},      {4, "FlightGear", 6, 6, 183, 6, 0x20},  {5, "MSFS ", 7, 7, 194, 16, 0x40},
        {7, "FS9", 5, 5, 6, 16, 0x10}};
    int sim = Simulator(), installed = InstalledSimulators.load();
    for (const SimulatorKey& k : Keys) {
        bool inUse = sim >= k.first && sim <= k.last;
        Key(k.key, k.label, inUse, k.tip, k.offset);
        // The simulator chosen stays lit, installed here or not: greyed it
        // looked as if the choice had not been taken.
        if (!(installed & k.installedBits) && !inUse)
            Tint(k.key, SoftkeyGrey);
    }
    Back(16);
}

void ColoursPage()
{
    int target = GetWidthTarget();
    Key(0, "AC COL", false, 59, 5);
    Key(1, "FP COL", target == 1, 60, 5);
    Key(2, "VC COL", target == 2, 61, 5);
    Key(3, "TRK COL", target == 3, 64, 0);
    Key(4, "AIRSPACE", false, 62, 5);
    Key(5, "WIDTH", false, 62, 5);
    Back(16);
    Key(7, "NDB", false, 120, 16);
    Key(8, "VOR", false, 121, 16);
    Key(9, "FIX", false, 122, 16);
    Key(10, "AIRWAYS", false, 123, 1);
    Key(11, "ILS", false, 156, 4);
    Key(12, "NEAREST", false, 168, 4);
    Key(13, "RESET", false, 124, 4);
}

void UserMapPage()
{
    Key(0, "LOAD", false, 44, 12);
    Key(1, "EDITOR", false, 119, 5);
    Key(2, "ROTATE-", false, 40, 4);
    Key(3, "ROTATE+", false, 42, 4);
    Key(4, "RESET", false, 46, 12);
    if (Settings.ReferencedAirportMap)
        Key(5, "OVERLAY", Settings.AirportOverlay != 0, 48, 4);
    else
        Blank(5, 16);
    Back(16);
}

void SecondOptionsPage()
{
    if (Settings.MetricAltitude)
        Key(0, "ALT METER", false, 162, 10);
    else
        Key(0, "ALT FEET", false, 67, 10);
    char temperature[16];
    bool celsius = Settings.CelsiusTemperature != 0;
    std::snprintf(temperature, sizeof temperature, "TEMP %c%c", static_cast<char>(0xB0), celsius ? 'C' : 'F');
    Key(1, temperature, false, celsius ? 68 : 163, 2);
    Key(2, "MANUAL", false, 36, 8);
    Key(3, "", false, 69, 2);
    Key(4, "TRANSP.", TransparencyControls != 0, 131, 12);
    int sim = Simulator();
    if (sim == SimulatorFs2004) {
        Key(5, "", false, 185, 16);
    } else if (sim == 2 || sim == 3) {
        Key(5, "WX STATION", Settings.WeatherStationState.load() != 0, 185, 16);
    } else {
        Key(5, "WX STATION", false, 185, 16);
        Tint(5, SoftkeyGrey);
    }
    Back(16);
    Key(7, "NEXT", false, 146, 7);
    static const char* const Aspects[4] = {"ASPECT 16:9", "ASPECT 16:10", "ASPECT 4:3", "ASPECT -:-"};
    int aspect = GetAspectRatio();
    Key(8, Aspects[aspect >= 1 && aspect <= 3 ? aspect - 1 : 3], false, 38, 5);
    Key(9, "RESET", false, 151, 4);
    static const char* const Optimise[3] = {"OPT OFF", "OPT MIN", "OPT MAX"};
    Key(10, Optimise[Clamp(Settings.RenderToTexture, 0, 2)], false, 155, 5);
    Key(11, "NRST LIMIT", false, 164, 6);
    Key(12, "FULLSCRN", false, sim == SimulatorXPlane || sim == SimulatorFlightGear ? 171 : 170, 12);
    if (sim == SimulatorMsfs || sim == SimulatorAerofly)
        Tint(12, SoftkeyGrey);
    Key(13, "BTN ASSGN", false, 80, 6);
}

void WidthsPage()
{
    int target = GetWidthTarget();
    Key(0, "FPLAN", target == WidthFlightPlan, 172, 5);
    Key(1, "VECTOR", target == WidthVector, 174, 5);
    Key(2, "TRACK", target == WidthTrackPlot, 176, 5);
    Key(3, "DIR TO", target == WidthDirTo, 178, 5);
    Key(4, "WIDTH +", false, 173, 5);
    Key(5, "WIDTH -", false, 175, 5);
    Back(16);
}

void ThirdOptionsPage()
{
    Key(0, GetNoteText(12), false, 201, 2);
    if (IsMapQuestMode())
        Key(1, "TXCNT", Settings.Transactioncounter != 0, 71, 16);
    else
        Key(1, "FPS", Settings.ShowFPS != 0, 72, 16);
    Key(2, "KEY SIZE", Settings.TouchMode != 0, 139, 0);
    Key(3, "CLR CACHE", false, 181, 0);
    Key(4, "SND/TASK", IsSimulatorFocusEnabled(), 160, 6);
    Key(5, "ABOUT", false, 81, 7);
    Back(16);
    Key(7, "POSITION", Settings.Position != 0, 230, 5);
    Key(8, "C-VECTOR", Settings.CurvedVector != 0, 231, 5);
}

void AirspaceColoursPage()
{
    static const int Tips[6] = {172, 174, 176, 178, 173, 175};
    for (int n = 0; n < 6; ++n) {
        char label[16];
        std::snprintf(label, sizeof label, "CLASS %c", 'A' + n);
        Key(n, label, false, Tips[n], 5);
    }
    Back(16);
    Key(7, "CLASS G", false, 175, 5);
    Key(8, "CLASS R", false, 175, 5);
    Key(9, "LOAD", false, BlankTooltip, 2);
    Key(10, "SAVE", false, BlankTooltip, 2);
    for (int n = 11; n <= 13; ++n)
        Blank(n, 2);
}

void LanguagePage()
{
    int count = GetLanguageCount();
    for (int entry = 0, key = 0; key <= 13; ++key) {
        if (key == BackSoftkey)
            continue;
        if (entry < count) {
            const char* code = GetLanguageEntryCode(entry);
            const char* name = GetLanguageEntryName(entry);
            bool current = (name && strcasecmp(name, Settings.Language) == 0) ||
                           (code && strcasecmp(code, Settings.Language) == 0);
            Key(key, code ? code : " ", current, 201, 2);
            ++entry;
        } else {
            Blank(key, 2);
        }
    }
    Back(16);
}

// ---- page 6: map types and online providers ----

struct MapTypeCandidate {
    const char* label;
    int32_t id;
    int tip, offset;
    const char* command;
};

const MapTypeCandidate LocalMapCandidates[] = {
    {"ICAO", 1, 91, 10, "ICAO"},       {"VFR", 7, 92, 16, "VFR"},        {"VFR", 6, 93, 16, "VFR"},
    {"TOPO", 2, 95, 10, "TOPO"},       {"TOPO", 33, 95, 10, "TOPO"},     {"TOPO5", 21, 95, 10, "TOPO5"},
    {"TOPO10", 22, 95, 5, "TOPO10"},   {"TPC", 11, 158, 5, "TPC"},       {"ONC", 12, 159, 5, "ONC"},
    {"WAC", 13, 159, 5, "WAC"},        {"AIRPORT", 4, 96, 5, "AIRPORT"}, {"APPR", 8, 97, 10, "APPR"},
    {"ARRIVAL", 9, 98, 5, "ARRIVAL"},  {"DEPART", 10, 99, 5, "DEPART"},  {"IFR LOW", 31, 100, 1, "IFR_LOW"},
    {"IFR HIGH", 32, 101, 1, "IFR_HIGH"}, {"IFR PLN", 30, 102, 2, "IFR_PLN"}};

class MapTypePageWriter {
public:
    void Place(const MapTypeCandidate& c)
    {
        if (next_ >= SoftkeyCount)
            return;
        SetSoftkeyLabel(next_, c.label, c.id, c.tip, c.offset);
        MapTypeSoftkeyIds[next_] = c.id;
        SetCommandName(static_cast<uint32_t>(commands_++), c.command);
        ++next_;
        if (next_ == BackSoftkey && !backPlaced_)
            PlaceBack();
    }
    void Finish()
    {
        MapTypeSoftkeyCount = next_;
        for (int n = next_; n < SoftkeyCount; ++n) {
            if (n == BackSoftkey && !backPlaced_) {
                PlaceBack();
                continue;
            }
            SetSoftkeyLabel(n, " ", MapTypeBlankId, BlankTooltip, 16);
            MapTypeSoftkeyIds[n] = MapTypeBlankId;
        }
        if (!backPlaced_)
            PlaceBack();
    }

private:
    void PlaceBack()
    {
        SetSoftkeyLabel(BackSoftkey, "ESC", MapTypeBackId, BackTooltip, 16);
        MapTypeSoftkeyIds[BackSoftkey] = MapTypeBackId;
        backPlaced_ = true;
        if (next_ == BackSoftkey)
            ++next_;
    }
    int next_ = 0, commands_ = 0;
    bool backPlaced_ = false;
};

void MapTypePage()
{
    MapTypePageWriter page;
    page.Place({"SAT", -1, 84, 16, "SAT"});
    if (IsMapQuestMode())
        page.Place({"HYBRID", -2, 85, 16, "HYBRID"});
    if (IsHereMode())
        page.Place({"LANDFORM", -3, 87, 16, "LANDFORM"});
    page.Place({"OSM", -4, 76, 16, "OSM"});
    page.Place({"OPN TOPO", -5, 77, 16, "OPN_TOPO"});
    if (IsTerrainDataAvailable())
        page.Place({"TERRAIN", 3, 89, 2, "TERRAIN"});
    page.Place({"WEATHER", 100, 90, 5, "WEATHER"});
    for (const MapTypeCandidate& c : LocalMapCandidates)
        if (IsMapTypeAvailable(c.id))
            page.Place(c);
    page.Place({"BROWSER", MapTypeBrowserId, 166, 2, "BROWSER"});
    page.Finish();
}

void MapProviderPage()
{
    int sat = Settings.SatMode.load();
    int chart = GetTileChartType();
    if (sat == 3 || sat > 4) {
        Key(0, "SAT", false, 58, 10);
        for (int n = 1; n <= 5; ++n)
            Blank(n, 16);
        Back(16);
        return;
    }
    if (sat != 0 && sat != 1)
        return;
    Key(0, "AERIAL+R", chart == 0, 54, 0);
    Key(1, "ROAD", chart == 1, 55, 10);
    Key(2, "AERIAL", chart == 2, 56, 5);
    if (sat == 0)
        Key(3, "GEO", chart == 3, 57, 16);
    else
        Key(3, "SAT", false, 58, 10);
    Key(4, "OSM", false, 76, 16);
    Blank(5, 16);
    Back(16);
}

// ---- page 9: airport chart ----

// The overlay key of a chart: on key n while a referenced airport map is
// shown, on key 4 while the airport diagram is up; false when neither.
bool PlaceChartOverlay(int n)
{
    if (Settings.ReferencedAirportMapDisplayed) {
        Key(n, "Overlay", Settings.AirportOverlay != 0, 48, 4);
        return true;
    }
    if (Settings.NavAirport) {
        Key(4, "OVERLAY", Settings.AirportOverlay != 0, 48, 4);
        return true;
    }
    return false;
}

void ChartPage()
{
    bool shown = Settings.AirportChart != 0;
    Key(0, "PDF", shown, 51, 16);
    if (Settings.PDFPages > 1) {
        Key(1, "PREVIEW", Settings.PDFPreview != 0, 40, 4);
        Key(2, "PAGE -", false, 40, 2);
        Key(3, "PAGE +", false, 42, 2);
        if (shown) {
            Key(4, "ROTATE-", false, 40, 4);
            Key(5, "ROTATE+", false, 42, 4);
            PlaceChartOverlay(7);
        }
    } else {
        Key(1, "ROTATE-", false, 40, 4);
        Key(2, "ROTATE+", false, 42, 4);
        if (!PlaceChartOverlay(3))
            Blank(3, 16);
    }
    if (shown) {
        TooltipEntry entry;
        GetTooltipText(&entry, 52);
        SetSoftkeyTooltip(1, entry.text.c_str(), static_cast<int>(entry.lineCount));
    }
    Back(16);
    if (!Settings.PDFPreview) {
        Key(7, "ZOOM IN", false, 144, 16);
        Key(8, "ZOOM OUT", false, 145, 16);
        for (int n = 9; n <= 13; ++n)
            Blank(n, 16);
    }
}

// The button assignments follow the simulator's section: read at the first
// build and whenever the map-type page is opened.
bool AssignmentsLoaded = false;
int LastLevel = -1, LastSublevel = -1;

void ReloadButtonAssignments()
{
    char section[SimulatorNameSize];
    GetSimulatorName(section);
    LoadButtonAssignments(section);
    AssignmentsLoaded = true;
}

}  // namespace

void SetSoftkeyLabel(int n, const char* label, int32_t mapTypeId, int tooltipEntry, int32_t offset)
{
    if (n < 0 || n >= SoftkeyCount)
        return;
    bool lit = mapTypeId == Settings.MapType.load() || (mapTypeId == 3 && Settings.Terrainstate) ||
               (mapTypeId == 100 && Settings.WeatherState.load());
    if (!lit && (mapTypeId == 4 || (mapTypeId >= 8 && mapTypeId <= 10)))
        lit = Settings.ReferencedAirportMapDisplayed != 0;
    SetButtonLabel(n, label, lit, tooltipEntry, offset);
}

void BuildSoftkeyMenu(int level, int sublevel)
{
    HideAllSoftkeys();
    level = Clamp(level, MenuMain, MenuChart);
    bool entered = level != LastLevel || sublevel != LastSublevel;
    LastLevel = level;
    LastSublevel = sublevel;
    if (!AssignmentsLoaded)
        ReloadButtonAssignments();
    switch (level) {
    case MenuMain:
        if (sublevel <= 0)
            MainPage();
        else if (sublevel == 1)
            InformationPage();
        else
            FlightPlanPage();
        break;
    case MenuTerrain: TerrainPage(); break;
    case MenuNavData:
        switch (Clamp(sublevel, 0, 3)) {
        case 0: NavigationPage(); break;
        case 1: AirspaceClassPage(); break;
        case 2: NearestPage(); break;
        default: DatabasePage(); break;
        }
        break;
    case MenuMapSources:
        if (sublevel >= 1)
            for (int n = 0; n <= 4; ++n)
                Key(n, "", false, BlankTooltip, 16);
        break;
    case MenuOptions:
        switch (Clamp(sublevel, 0, 8)) {
        case 0: FirstOptionsPage(); break;
        case 1: SimulatorPage(); break;
        case 2: ColoursPage(); break;
        case 3: UserMapPage(); break;
        case 4: SecondOptionsPage(); break;
        case 5: WidthsPage(); break;
        case 6: ThirdOptionsPage(); break;
        case 7: AirspaceColoursPage(); break;
        default: LanguagePage(); break;
        }
        break;
    case MenuMapTypes:
        if (sublevel <= 0) {
            MapTypePage();
            if (entered)
                ReloadButtonAssignments();
        } else {
            MapProviderPage();
        }
        break;
    case MenuChart: ChartPage(); break;
    default: break;  // the plan-edit, airport-tools and no-action levels show no keys
    }
}

void ResetSoftkeyPageState()
{
    MapTypeSoftkeyCount = 0;
    LastLevel = LastSublevel = -1;
}

void RebuildSoftkeys()
{
    if (Settings.Softkeys)
        BuildSoftkeyMenu(Settings.Softkeylevel, Settings.Softkeysublevel);
    else
        ShowTopSoftkeys();
}
