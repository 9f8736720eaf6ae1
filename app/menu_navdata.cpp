// The navigation level of the softkey menu: navaid and airport overlays,
// airspace classes, the airport list and the navigation database.
#include "app/softkey_menu.h"

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

void FlipIls()
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

void FlipFixes()
{
    if (!Settings.ShowFix && GetWantedZoom() < 10) {
        MessageBoxA(nullptr, GetNoteText(17), "TABRIX", MB_TASKMODAL | MB_TOPMOST);
        return;
    }
    Settings.ShowFix = !Settings.ShowFix;
    InvalidateSnapshot();
}

void OpenAirportList()
{
    SetSoftkeyLevel(MenuNavData, 2);
    double west = 0, east = 0, north = 0, south = 0;
    if (!GetVisibleMapBounds(&west, &east, &north, &south, ViewWidth, ViewHeight, FrameZoom))
        return;
    FindNearestAirports(west, east);
    LeaveAirportChart();
}

void FlipAirportOverlay()
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

void NavPageCommand(int key)
{
    switch (key) {
    case 0:
        Settings.ShowAirports = !Settings.ShowAirports;
        InvalidateSnapshot();
        break;
    case 1: FlipNavaidOverlay(&Settings.NavNDB); break;
    case 2: FlipNavaidOverlay(&Settings.NavVOR); break;
    case 3: FlipIls(); break;
    case 4: MarkerSwitch = !MarkerSwitch; break;
    case 5:
        SetSoftkeyLevel(MenuNavData, 1);
        LeaveAirportChart();
        break;
    case 6: SoftkeyBack(); break;
    case 7: SelectAirways(1); break;
    case 8: SelectAirways(2); break;
    case 9: FlipFixes(); break;
    case 10: OpenAirportList(); break;
    case 11:
        if (!Settings.AirportChart) {
            ImportPdfChart();
            ClearInfoModes(false);
        } else {
            LeaveAirportChart();
        }
        break;
    case 12: FlipAirportOverlay(); break;
    case 13: SetSoftkeyLevel(MenuNavData, 3); break;
    default: SetSoftkeyLevel(MenuNavData, 0); return;
    }
    UpdateNavaidShown();
}

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

// A class letter stands at its fixed position of "ABCDEFGR" or is blank.
void FlipAirspaceClass(char letter, int position)
{
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

void AirspacePageCommand(int key)
{
    switch (key) {
    case 0:
        if (IsNoAirspaceSelected()) {
            std::snprintf(Settings.SelectedAirspace, sizeof(Settings.SelectedAirspace), "%s", AirspaceClassLetters);
            RequestAirspaceReload();
            Settings.NavASP = 1;
            Settings.CTR = 1;
        } else {
            ClearAirspaceClasses();
        }
        break;
    case 1:
    case 2:
    case 3:
    case 4:
    case 5: FlipAirspaceClass(static_cast<char>('A' + key - 1), key - 1); break;
    case 7:
    case 8: FlipAirspaceClass(static_cast<char>('A' + key - 2), key - 2); break;
    case 9: FlipAirspaceClass('R', 7); break;
    case 10: Settings.CTR = !Settings.CTR; break;
    case 11: Settings.NavASPInfo = !Settings.NavASPInfo; break;
    case 12: ClearAirspaceClasses(); break;
    case 6: SoftkeyBack(); break;
    default: return;
    }
    InvalidateSnapshot();
}

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

void AskForAirport()
{
    char icao[AirportIcaoLength + 1] = "";
    if (RunTextEntryDialog(GetMainWindow(), GetGeneralText(20), "Zorizeruverovu", icao, sizeof(icao)) == 1 &&
        icao[0])
        SelectAirportByIcao(icao);
}

// Parking positions through the list helper; an empty reply chooses none.
void ChooseParkingPosition()
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

// Returns false when the key deselected the airport.
bool TakeListEntry(int key)
{
    const char* icao = GetNearestAirportIcao(key);
    if (!icao[0])
        return true;
    if (HasSelectedAirport() && std::strcmp(icao, Settings.SelectedAirport) == 0) {
        DeselectAirport();
        InvalidateSnapshot();
        return false;
    }
    if (IsNearestPageOpen())
        ToggleNearestPage();
    char copy[sizeof(Settings.SelectedAirport)];
    std::snprintf(copy, sizeof(copy), "%s", icao);
    SelectAirportByIcao(copy);
    SelectedNearestEntry = key;
    return true;
}

void AirportListPageCommand(int key)
{
    if (GetNearestAirportCount() == 0)
        RefreshNearestAirports();
    bool withParking = HasSelectedAirport() && GetParkingCount() > 0;
    if (key >= 0 && key <= 4) {
        if (withParking && key == 4)
            AskForAirport();
        else if (!TakeListEntry(key))
            return;
    } else if (key == 5) {
        if (withParking)
            ChooseParkingPosition();
        else
            AskForAirport();
    } else if (key == BackSoftkey) {
        SoftkeyBack();
    } else if (key >= 7 && key <= 13) {
        Settings.SelectedCOM = Settings.SelectedCOM == key - 6 ? 0 : key - 6;
    }
    if (Settings.AirportOverlay)
        AirportDiagramView.panning = 1;
    InvalidateSnapshot();
}

void WaitForAirspaceLoader()
{
    for (int i = 0; i < AirspaceWaitRounds && IsAirspaceLoaderRunning(); ++i)
        Sleep(10);
}

void DatabasePageCommand(int key)
{
    if (key >= 0 && key <= 5) {
        WaitForAirspaceLoader();
        Settings.NavDatabase = key + 1;
    } else if (key == 7) {
        Settings.NavDatabase = 8;
    } else if (key == BackSoftkey) {
        SoftkeyBack();
    } else if (key == 8) {
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
    ReloadNavdata();
    InvalidateSnapshot();
    ResetSimulatorWindowCache();
}

}  // namespace

void NavDataMenuCommand(int key)
{
    switch (Settings.Softkeysublevel) {
    case 0: NavPageCommand(key); break;
    case 1: AirspacePageCommand(key); break;
    case 2: AirportListPageCommand(key); break;
    case 3: DatabasePageCommand(key); break;
    default: break;
    }
}

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
