// The navigation level of the softkey menu: navaid and airport overlays,
// airspace classes, the airport list and the navigation database.
#include "app/softkey_menu.h"
#include "app/softkey_page_tables.h"
#include "app/layout_tables.h"

#include "app/click_zones.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/helper_dialogs.h"
#include "maps/terrain_awareness.h"
#include "display/airport_boxes.h"
#include "display/airport_info_box.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "app/simulator_window.h"
#include "app/text_entry_dialog.h"
#include "display/airport_view.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/nav_layer.h"
#include "maps/tile_grid.h"
#include "navdata/airport_details.h"
#include "navdata/airspaces.h"
#include "navdata/airways.h"
#include "navdata/nav_tables.h"
#include "navdata/nearest_airports.h"
#include "navdata/simulators.h"
#include "platform/messagebox.h"
#include "platform/threads.h"
#include "render/snapshot.h"
#include "maps/airport_charts.h"

#include <cstdio>
#include <cstring>

namespace {

// Page 2's list: shown, and the entry selected (-1 none).
uint8_t NearestListShown = 0;
int SelectedNearestEntry = -1;

// How long a database key waits for a busy airspace loader: 5000 x 10 ms.
constexpr int AirspaceWaitRounds = 5000;
constexpr int AirportIcaoLength = 19;

void UpdateNavaidShown()
{
    NavOverlaySwitch =
        (Settings.NavAirport || Settings.NavNDB || Settings.NavVOR || Settings.NavILS) ? 1 : 0;
}

// NDB and VOR keys: the overlay flips; switched on it leaves a chart.
void FlipNavaidOverlay(uint8_t* setting)
{
    *setting = !*setting;
    if (*setting)
        LeaveAirportChart();
    InvalidateSnapshot();
}

void FlipIls(int)
{
    Settings.NavILS = !Settings.NavILS;
    std::snprintf(Settings.SelectedILS, sizeof(Settings.SelectedILS), "%s", Settings.NavILS ? "ALL" : "");
    ClearInfoModes(true);
    if (Settings.NavILS)
        LeaveAirportChart();
    InvalidateSnapshot();
}

void SelectAirways(int kind)
{
    Settings.NavAirways = Settings.NavAirways == kind ? 0 : kind;
    if (Settings.NavAirways > 0) {
        LeaveAirportChart();
        ClearAirways();
    }
    InvalidateSnapshot();
}

void FlipFixes(int)
{
    if (!Settings.ShowFix && GetWantedZoom() < 10) {
        MessageBoxA(nullptr, GetNoteText(17), "TABRIX", MB_TASKMODAL | MB_TOPMOST);
        return;
    }
    Settings.ShowFix = !Settings.ShowFix;
    InvalidateSnapshot();
}

void OpenAirportList(int)
{
    SetSoftkeyLevel(MenuNavData, 2);
    double west = 0, east = 0, north = 0, south = 0;
    if (!GetVisibleMapBounds(&west, &east, &north, &south, ViewWidth, ViewHeight, FrameZoom))
        return;
    FindNearestAirports(west, east);
    LeaveAirportChart();
}

void FlipAirportOverlay(int)
{
    if (IsNearestPageOpen())
        ToggleNearestPage();
    Settings.AirportOverlay = !Settings.AirportOverlay;
    if (Settings.AirportOverlay) {
        AirportDiagramView.panning = 1;
    } else {
        AirportDiagramView.panning = 0;
        ResetAirportViewCenter();
    }
    InvalidateSnapshot();
}

void FlipAirports(int)
{
    Settings.ShowAirports = !Settings.ShowAirports;
    InvalidateSnapshot();
}

void OpenAirspaceClasses(int)
{
    SetSoftkeyLevel(MenuNavData, 1);
    LeaveAirportChart();
}

void FlipPdfChart(int)
{
    if (!Settings.AirportChart) {
        ImportPdfChart();
        ClearInfoModes(false);
    } else {
        LeaveAirportChart();
    }
}

// Layers that the map leaves out at this zoom are greyed.
template <int MinZoom>
void GreyBelowZoom(SoftkeyFace& face, int)
{
    if (GetWantedZoom() < MinZoom)
        face.tint = SoftkeyGrey;
}

// The airways the map leaves out are switched off too.
void AirwaysFace(SoftkeyFace& face, int key)
{
    GreyBelowZoom<8>(face, key);
    if (face.tint && Settings.NavAirways > 0)
        Settings.NavAirways = 0;
}

// key, label, tooltip, label offset, action, lit when, face rule, choice
constexpr SoftkeyRow NavigationRows[] = {
    {0, "AIRPORT", 140, 8, FlipAirports, [](int) { return Settings.ShowAirports != 0; }, GreyBelowZoom<7>},
    {1, "NDB", 43, 16, [](int) { FlipNavaidOverlay(&Settings.NavNDB); }, [](int) { return Settings.NavNDB != 0; },
     GreyBelowZoom<7>},
    {2, "VOR", 45, 16, [](int) { FlipNavaidOverlay(&Settings.NavVOR); }, [](int) { return Settings.NavVOR != 0; },
     GreyBelowZoom<7>},
    {3, "ILS/LOC", 47, 2, FlipIls, [](int) { return Settings.NavILS != 0; }, GreyBelowZoom<9>},
    {4, "MARKER", 157, 0, [](int) { MarkerSwitch = !MarkerSwitch; }, [](int) { return MarkerSwitch != 0; },
     GreyBelowZoom<7>},
    {5, "AIRSPACE", 49, 0, OpenAirspaceClasses, [](int) { return Settings.NavASP != 0; }},
    {6, "ESC", 17, 10, [](int) { SoftkeyBack(); }},
    {7, "HIGH ALT", 101, 4, [](int) { SelectAirways(1); }, [](int) { return Settings.NavAirways == 1; },
     GreyBelowZoom<8>},
    {8, "LOW ALT", 100, 4, [](int) { SelectAirways(2); }, [](int) { return Settings.NavAirways == 2; }, AirwaysFace},
    {9, "FIX", 114, 16, FlipFixes, [](int) { return Settings.ShowFix != 0; }, GreyBelowZoom<10>},
    {10, "APT MAP", 41, 1, OpenAirportList, [](int) { return Settings.AirportName[0] != '\0'; }},
    {11, "PDF", 51, 16, FlipPdfChart, [](int) { return Settings.AirportChart != 0; }},
    {12, "GEORF.APT", 116, 1, FlipAirportOverlay, [](int) { return Settings.AirportOverlay != 0; }},
    {13, "DATABASE", 180, 18, [](int) { SetSoftkeyLevel(MenuNavData, 3); }},
};

// ---- sublevel 1: airspace classes ----

bool IsNoAirspaceSelected()
{
    return std::strncmp(Settings.SelectedAirspace, "        ", 8) == 0;
}

void ClearAirspaceClasses()
{
    std::snprintf(Settings.SelectedAirspace, sizeof(Settings.SelectedAirspace), "        ");
    Settings.NavASP = 0;
    Settings.CTR = 0;
}

void SelectAllAirspaceClasses(int)
{
    if (IsNoAirspaceSelected()) {
        std::snprintf(Settings.SelectedAirspace, sizeof(Settings.SelectedAirspace), "%s", AirspaceClassLetters);
        RequestAirspaceReload();
        Settings.NavASP = 1;
        Settings.CTR = 1;
    } else {
        ClearAirspaceClasses();
    }
}

bool AreAllAirspaceClassesSelected(int)
{
    return std::strncmp(Settings.SelectedAirspace, AirspaceClassLetters, 8) == 0;
}

void AllClassesFace(SoftkeyFace& face, int)
{
    if (face.lit)
        face.label = "All";
}

// A class letter stands at its fixed position of "ABCDEFGR" or is blank.
void FlipAirspaceClass(int position)
{
    char letter = AirspaceClassLetters[position];
    char* selection = Settings.SelectedAirspace;
    char* found = static_cast<char*>(std::memchr(selection, letter, 8));
    if (found)
        *found = ' ';
    else
        selection[position] = letter;
    selection[8] = '\0';
    RequestAirspaceReload();
    Settings.NavASP = 1;
}

bool IsAirspaceClassSelected(int position)
{
    return Settings.SelectedAirspace[position] == AirspaceClassLetters[position];
}

constexpr SoftkeyRow AirspaceClassRows[] = {
    {0, "ALL", 135, 16, SelectAllAirspaceClasses, AreAllAirspaceClassesSelected, AllClassesFace},
    {1, "CLASS A", 136, 2, FlipAirspaceClass, IsAirspaceClassSelected, nullptr, 0},
    {2, "CLASS B", 136, 2, FlipAirspaceClass, IsAirspaceClassSelected, nullptr, 1},
    {3, "CLASS C", 136, 2, FlipAirspaceClass, IsAirspaceClassSelected, nullptr, 2},
    {4, "CLASS D", 136, 2, FlipAirspaceClass, IsAirspaceClassSelected, nullptr, 3},
    {5, "CLASS E", 136, 2, FlipAirspaceClass, IsAirspaceClassSelected, nullptr, 4},
    {6, "ESC", 17, 10, [](int) { SoftkeyBack(); }},
    {7, "CLASS F", 136, 2, FlipAirspaceClass, IsAirspaceClassSelected, nullptr, 5},
    {8, "CLASS G", 136, 2, FlipAirspaceClass, IsAirspaceClassSelected, nullptr, 6},
    {9, "CLASS R", 136, 2, FlipAirspaceClass, IsAirspaceClassSelected, nullptr, 7},
    {10, "CTR", 138, 16, [](int) { Settings.CTR = !Settings.CTR; }, [](int) { return Settings.CTR != 0; }},
    {11, "INFO", 138, 16, [](int) { Settings.NavASPInfo = !Settings.NavASPInfo; },
     [](int) { return Settings.NavASPInfo != 0; }},
    {12, "OFF", 137, 16, [](int) { ClearAirspaceClasses(); }},
    {13, "", BlankTooltip, 17},
};

// ---- sublevel 2: the airport list ----

// Makes icao the current airport and shows its diagram.
void SelectAirportByIcao(const char* icao)
{
    std::snprintf(Settings.SelectedAirport, sizeof(Settings.SelectedAirport), "%s", icao);
    SelectAirport(Settings.SelectedAirport);
    Settings.NavAirport = 1;
    Settings.Parkposition = -1;
    ResetAirportViewCenter();
    Settings.TaxiwayZoomfactor = 1.0;
}

bool HasSelectedAirport()
{
    return Settings.SelectedAirport[0] && std::strcmp(Settings.SelectedAirport, "NEAREST") != 0;
}

void AskForAirport(int)
{
    char icao[AirportIcaoLength + 1] = "";
    if (RunTextEntryDialog(GetMainWindow(), GetGeneralText(20), "Zorizeruverovu", icao, sizeof(icao)) == 1 &&
        icao[0])
        SelectAirportByIcao(icao);
}

// Parking positions through the list helper; an empty reply chooses none.
void ChooseParkingPosition(int)
{
    WriteParkingListFile(GetMainWindow());
    char helper[600];
    std::snprintf(helper, sizeof(helper), "%s/Selvra.exe", SystemFolder);
    RunHelperProgram(helper, "lbentries.txt");
    char reply[128] = "";
    ReadHelperReply("lbentries.txt.res", reply, sizeof(reply));
    if (reply[0])
        Settings.Parkposition = FindParkingIndexByName(reply);
}

// List entry key: selected, or deselected when it already was.
void TakeListEntry(int key)
{
    const char* icao = GetNearestAirportIcao(key);
    if (!icao[0])
        return;
    if (HasSelectedAirport() && std::strcmp(icao, Settings.SelectedAirport) == 0) {
        DeselectAirport();
        InvalidateSnapshot();
        return;
    }
    if (IsNearestPageOpen())
        ToggleNearestPage();
    char copy[sizeof(Settings.SelectedAirport)];
    std::snprintf(copy, sizeof(copy), "%s", icao);
    SelectAirportByIcao(copy);
    SelectedNearestEntry = key;
}

bool IsSelectedListEntry(int key)
{
    return HasSelectedAirport() && std::strcmp(GetNearestAirportIcao(key), Settings.SelectedAirport) == 0;
}

// A frequency kind 1..7, or none again.
void SelectFrequency(int kind)
{
    Settings.SelectedCOM = Settings.SelectedCOM == kind ? 0 : kind;
}

bool IsSelectedFrequency(int kind) { return Settings.SelectedCOM == kind; }

// The nearest airports on the first keys (four with a PARKING key for a
// selected airport that has parking positions, else five), "ICAO" after
// them, and the frequency kinds on the second row. The list is filled first
// when it is empty.
std::span<const SoftkeyRow> AirportListRows()
{
    static const char* const Frequencies[7] = {"GROUND", "CLEARANCE", "TOWER", "DEPARTURE",
                                               "APPROACH", "ATIS", "RWY/ILS"};
    static SoftkeyRow rows[SoftkeyCount];
    if (GetNearestAirportCount() == 0)
        RefreshNearestAirports();
    bool withParking = HasSelectedAirport() && GetParkingCount() > 0;
    int entries = withParking ? 4 : 5, count = GetNearestAirportCount();
    size_t n = 0;
    for (int key = 0; key < entries; ++key) {
        if (key < count)
            rows[n++] = {key, GetNearestAirportIcao(key), AirportListTooltip, 16, TakeListEntry, IsSelectedListEntry};
        else
            rows[n++] = {key, " ", BlankTooltip, 18, TakeListEntry};
    }
    rows[n++] = {entries, "ICAO", AirportListTooltip, 16, AskForAirport};
    if (withParking)
        rows[n++] = {5, "PARKING", AirportListTooltip, 4, ChooseParkingPosition};
    rows[n++] = {BackSoftkey, "ESC", 17, 16, [](int) { SoftkeyBack(); }};
    // Under the PARKING key the frequency keys are not shown, yet still
    // choose their kind.
    for (int k = 0; k < 7; ++k)
        rows[n++] = {7 + k, withParking ? nullptr : Frequencies[k], AirportListTooltip, 0, SelectFrequency,
                     IsSelectedFrequency, nullptr, 1 + k};
    return {rows, n};
}

// Every key of the list leaves the diagram following the map while it lies
// over it.
void FollowWithOverlay(int)
{
    if (Settings.AirportOverlay)
        AirportDiagramView.panning = 1;
    InvalidateSnapshot();
}

// ---- sublevel 3: the navigation database ----

void WaitForAirspaceLoader()
{
    for (int i = 0; i < AirspaceWaitRounds && IsAirspaceLoaderRunning(); ++i)
        Sleep(10);
}

// A simulator's own database.
void ChooseDatabase(int simulator)
{
    WaitForAirspaceLoader();
    Settings.NavDatabase = NavDatabaseForSimulator(simulator);
}

// Lit for its database, and for its simulator while no database is chosen.
bool IsDatabaseInUse(int simulator)
{
    int database = Settings.NavDatabase;
    return database == NavDatabaseForSimulator(simulator) ||
           (database == 0 && IsChosenSimulator(Settings.UseSimulator.load(), simulator));
}

void RunAipParser(int)
{
    // The parser's window must be able to come up over the map.
    bool topmost = Settings.TopMost.load() != 0;
    if (topmost)
        SetWindowNotTopmost();
    char helper[600];
    std::snprintf(helper, sizeof(helper), "%s/Dortel.exe", SystemFolder);
    RunAndWait(helper, "", SystemFolder, 1);
    if (topmost)
        SetWindowTopmost();
}

constexpr SoftkeyRow DatabaseRows[] = {
    {0, "X-PLANE", 195, 16, ChooseDatabase, IsDatabaseInUse, nullptr, SimulatorXPlane},
    {1, "FS2004", 196, 16, ChooseDatabase, IsDatabaseInUse, nullptr, SimulatorFs2004},
    {2, "FSX", 197, 16, ChooseDatabase, IsDatabaseInUse, nullptr, SimulatorFsx},
    {3, "P3D", 198, 1, ChooseDatabase, IsDatabaseInUse, nullptr, SimulatorPrepar3d},
    {4, "Flightgear", 199, 0, ChooseDatabase, IsDatabaseInUse, nullptr, SimulatorFlightGear},
    {5, "MSFS", 200, 4, ChooseDatabase, IsDatabaseInUse, nullptr, SimulatorMsfs},
    {6, "ESC", 17, 10, [](int) { SoftkeyBack(); }},
    {7, "OpenAIP", 228, 10, [](int) { Settings.NavDatabase = 8; }, [](int) { return Settings.NavDatabase == 8; }},
    {8, "OAIP Update", 229, 10, RunAipParser},
};

// Every key, also one the page does not show, reads the navigation data anew.
void ReloadDatabase(int)
{
    ReloadNavdata();
    InvalidateSnapshot();
    ResetSimulatorWindowCache();
}

}  // namespace

// After each of its keys the navaid layer is on while any navaid is shown;
// a key beyond the page starts it again.
constinit const SoftkeyPage NavigationPage = {.level = MenuNavData,
                                              .sublevel = 0,
                                              .rows = NavigationRows,
                                              .after = [](int) { UpdateNavaidShown(); },
                                              .unlisted = [](int) { SetSoftkeyLevel(MenuNavData, 0); }};
constinit const SoftkeyPage AirspaceClassPage = {
    .level = MenuNavData, .sublevel = 1, .rows = AirspaceClassRows, .after = [](int) { InvalidateSnapshot(); }};
constinit const SoftkeyPage AirportListPage = {.level = MenuNavData,
                                               .sublevel = 2,
                                               .computed = AirportListRows,
                                               .after = FollowWithOverlay,
                                               .unlisted = FollowWithOverlay};
constinit const SoftkeyPage DatabasePage = {.level = MenuNavData,
                                            .sublevel = 3,
                                            .rows = DatabaseRows,
                                            .after = ReloadDatabase,
                                            .unlisted = ReloadDatabase};

void RefreshNearestAirports()
{
    double west = 0, east = 0, north = 0, south = 0;
    if (!GetVisibleMapBounds(&west, &east, &north, &south, ViewWidth, ViewHeight, 1.0f)) {
        NearestListShown = 0;
        return;
    }
    FindNearestAirports(west, east);
    NearestListShown = 1;
    if (!HasSelectedAirport()) {
        SelectNearestAirport(0);
        SelectedNearestEntry = 0;
    }
}

void DeselectAirport()
{
    Settings.SelectedAirport[0] = '\0';
    ClearCurrentAirportIcao();
    ClearAirspaceSelection();
    ClearHighlightBox();
    NearestListShown = 0;
    SelectedNearestEntry = -1;
    Settings.NavAirport = 0;
    AirportDiagramView.panning = 1;
}

bool IsNearestListShown() { return NearestListShown != 0; }

void HideNearestList() { NearestListShown = 0; }

int GetSelectedNearestEntry() { return SelectedNearestEntry; }
