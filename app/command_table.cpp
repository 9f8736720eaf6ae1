// The command table, the button assignments, the pending-command slot, the
// exchange with the joystick set-up helper and the thread that shows it the
// pressed buttons.
#include "app/command_table.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/helper_dialogs.h"
#include "platform/ini_sections.h"
#include "platform/win32.h"
#include "maps/terrain_awareness.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "app/sim_commands.h"
#include "app/softkey_menu.h"
#include "app/softkey_page_tables.h"
#include "platform/messagebox.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/sync.h"
#include "platform/threads.h"
#include "simlink/sim_link.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <strings.h>
#include <vector>

namespace {

struct ButtonAssignment {
    uint32_t command;
    int32_t button;
    char name[16];  // the command's name when the entry was made
};

CommandRow CommandTable[CommandCount] = {
    {"MAP", &MainPage, 0},
    {"NAV", &MainPage, 1},
    {"NORTH_UP", &MainPage, 2},
    {"ROSE", &MainPage, 3},
    {"TRK", &MainPage, 4},
    {"CLR_TRK", &MainPage, 5},
    {"ESC", &MainPage, 6},
    {"CONFIG", &MainPage, 7},
    {"PANEL", &MainPage, 8},
    {"AI/TCAS", &MainPage, 9},
    {"VECTOR", &MainPage, 10},
    {"FLTPLN", &MainPage, 11},
    {"MAXIMIZE", &MainPage, 12},
    {"INFO", &MainPage, 13},
    {"SIM", &FirstOptionsPage, 0},
    {"TERRAIN_CFG", &FirstOptionsPage, 1},
    {"COLOR", &FirstOptionsPage, 2},
    {"NAV_SIZE", &FirstOptionsPage, 3},
    {"TOOLTIP", &FirstOptionsPage, 4},
    {"FRAME", &FirstOptionsPage, 5},
    {"NEXT", &FirstOptionsPage, 7},
    {"USRMAP", &FirstOptionsPage, 8},
    {"ON_TOP", &FirstOptionsPage, 8},
    {"HDG_TRUE", &FirstOptionsPage, 10},
    {"SOUND", &FirstOptionsPage, 11},
    {"MIN_ON_TOP", &FirstOptionsPage, 12},
    {"CLR_TXCNT", &FirstOptionsPage, 13},
    {"UNIT", &SecondOptionsPage, 0},
    {"TEMP", &SecondOptionsPage, 1},
    {"MANUAL", &SecondOptionsPage, 2},
    {"CPU", &SecondOptionsPage, 3},
    {"TRANSP", &SecondOptionsPage, 4},
    {"WX_STATION", &SecondOptionsPage, 5},
    {"ASPECT43", &SecondOptionsPage, 7},
    {"RESET", &SecondOptionsPage, 8},
    {"OPT_OFF", &SecondOptionsPage, 9},
    {"NRST_LIMITS", &SecondOptionsPage, 10},
    {"FULLSCREN", &SecondOptionsPage, 11},
    {"BTN_ASSGN", &SecondOptionsPage, 12},
    {"ABOUT", &ThirdOptionsPage, 5},
    {"LANGUAGE", &ThirdOptionsPage, 0},
    {"FPS", &ThirdOptionsPage, 1},
    {"KEY_SIZE", &ThirdOptionsPage, 2},
    {"CLR_CACHE", &ThirdOptionsPage, 3},
    {"SND/TSK", &ThirdOptionsPage, 4},
    {"X-PLANE", &SimulatorPage, 0},
    {"FS9", &SimulatorPage, 1},
    {"FSX/P3D", &SimulatorPage, 2},
    {"FLIGHTGEAR", &SimulatorPage, 2},
    {"LOAD", &UserMapPage, 0},
    {"EDITOR", &UserMapPage, 1},
    {"ROTATE-", &UserMapPage, 2},
    {"ROTATE+", &UserMapPage, 3},
    {"RESETU", &UserMapPage, 4},
    {"OVERLAY", &UserMapPage, 5},
    {"TAWS", &TerrainPage, 0},
    {"MODE", &TerrainPage, 1},
    {"PATH", &TerrainPage, 2},
    {"FLTSTATE", &TerrainPage, 3},
    {"DISABLE", &TerrainPage, 4},
    {"LEGEND", &TerrainPage, 5},
    {"ELEVATION", &TerrainPage, 7},
    {"OBSTACLE", &TerrainPage, 8},
    {"MSA_FP", &TerrainPage, 9},
    {"LEVEL", &TerrainPage, 10},
    {"GPWS", &TerrainPage, 11},
    {"TAWS_DATA", &TerrainPage, 12},
    {"PROFILE", &TerrainPage, 13},
    {"NAV_APT", &NavigationPage, 0},
    {"NDB", &NavigationPage, 1},
    {"VOR", &NavigationPage, 2},
    {"ILS/LOC", &NavigationPage, 3},
    {"MARKER", &NavigationPage, 4},
    {"AIRSPACE", &NavigationPage, 5},
    {"HIGH_ALT", &NavigationPage, 7},
    {"LOW_ALT", &NavigationPage, 8},
    {"FIX", &NavigationPage, 9},
    {"APT_MAP", &NavigationPage, 10},
    {"PDF", &NavigationPage, 11},
    {"GEOREF_APT", &NavigationPage, 12},
    {"CUSTOM_MAP", &NavigationPage, 13},
    {"CLASS_ALL", &AirspaceClassPage, 0},
    {"CLASS_A", &AirspaceClassPage, 1},
    {"CLASS_B", &AirspaceClassPage, 2},
    {"CLASS_C", &AirspaceClassPage, 3},
    {"CLASS_D", &AirspaceClassPage, 4},
    {"CLASS_E", &AirspaceClassPage, 5},
    {"CLASS_F", &AirspaceClassPage, 7},
    {"CLASS_G", &AirspaceClassPage, 8},
    {"CLASS_R", &AirspaceClassPage, 9},
    {"CLASS_INFO", &AirspaceClassPage, 10},
    {"CLASS_OFF", &AirspaceClassPage, 11},
    {"APT", &AirportToolsPage, 0},
    {"NEAREST", &AirportToolsPage, 1},
    {"FIX_KEYS", &AirportToolsPage, 2},
    {"TOGGLE_WIND", &AirportToolsPage, 3},
    {"SAT", &MapTypePage, 0},
    {"OSM", &MapTypePage, 1},
    {"OPN_TOPO", &MapTypePage, 2},
    {"TERRAIN", &MapTypePage, 3},
    {"WEATHER", &MapTypePage, 4},
    {"TPC", &MapTypePage, 5},
    {"ONC", &MapTypePage, 7},
    {"IFR_LOW", &MapTypePage, 8},
    {"IFR_HIGH", &MapTypePage, 9},
    {"IFR_PLN", &MapTypePage, 10},
    {"VFR", &MapTypePage, 11},
    {"TOPO", &MapTypePage, 12},
    {"ICAO", &MapTypePage, 13},
    {"TAC", &MapTypePage, 14},
    {"TOPO5", &MapTypePage, 15},
    {"TOPO10", &MapTypePage, 16},
    {"AIRPORT", &MapTypePage, 17},
    {"APPR", &MapTypePage, 18},
    {"DEPART", &MapTypePage, 19},
    {"ARRIVAL", &MapTypePage, 20},
    {"BROWSER", &MapTypePage, 21},
};

// The assignment list and the command names are read by OnSimButton on the
// link threads and written on the GUI thread: both under TableLock.
std::mutex TableLock;
std::vector<ButtonAssignment> Assignments;
bool AssignmentsLoaded = false;

// Link threads write, the GUI thread reads and clears.
std::atomic<int32_t> PendingCommand{-1};
std::atomic<int32_t> LastButton{0};
// Link threads only (one link runs at a time); the busy flag keeps two
// overlapping calls from matching twice.
std::atomic<double> LastCallTime{-1.0e9};
std::atomic<uint8_t> MatchBusy{0};
// 0 while the joystick set-up helper runs. GUI thread writes; link threads
// and the publishing thread read.
std::atomic<uint8_t> AssignmentIdle{1};
// The publishing thread runs (it sets and clears it).
std::atomic<uint8_t> PublisherRunning{0};

const char JoystickIni[] = ".\\Joystick.ini";
const char SettingsIni[] = ".\\Plovik.ini";
const char MappingName[] = "TVLFileMappingObject";
constexpr DWORD MappingSize = 256;
// Button numbers the assignments accept: -1 (none) up to this.
constexpr long MaxButtonNumber = 0x7FFFFFFF;

void CopyName(char* out, size_t size, const char* name)
{
    size_t n = name ? strnlen(name, size - 1) : 0;
    std::memcpy(out, name ? name : "", n);
    out[n] = '\0';
}

ButtonAssignment MakeAssignment(uint32_t row, int32_t button)
{
    ButtonAssignment a{row, button, {}};
    CopyName(a.name, sizeof(a.name), CommandTable[row].name);
    return a;
}

// The first entry for the button whose name still is its command's name.
int MatchAssignment(int32_t button)
{
    std::lock_guard<std::mutex> lock(TableLock);
    for (const ButtonAssignment& a : Assignments)
        if (a.button == button && a.command < CommandCount &&
            std::strcmp(a.name, CommandTable[a.command].name) == 0)
            return static_cast<int>(a.command);
    return -1;
}

// A button number as the helper writes it: optional blanks and sign, digits
// only, -1 or more. Anything else (text, binary, numbers beyond an int) is
// not a number the list can take.
bool ParseButtonNumber(const char* text, int32_t* out)
{
    while (*text == ' ' || *text == '\t')
        text++;
    if (!*text)
        return false;
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    while (end && (*end == ' ' || *end == '\t'))
        end++;
    if (end == text || !end || *end || errno == ERANGE || value < -1 || value > MaxButtonNumber)
        return false;
    *out = static_cast<int32_t>(value);
    return true;
}

// Keys of the helper's section that name no command are reported once.
void LogUnknownJoystickKeys()
{
    std::vector<char> keys(16384);
    DWORD n = GetPrivateProfileStringA(JoystickSection, nullptr, "", keys.data(), static_cast<DWORD>(keys.size()),
                                       JoystickIni);
    for (DWORD i = 0; i < n && keys[i];) {
        const char* key = &keys[i];
        if (FindCommandByName(key) < 0)
            WriteLogF("Joystick.ini: skipped unknown command %.40s", key);
        i += static_cast<DWORD>(std::strlen(key)) + 1;
    }
}

bool HasJoystickSection()
{
    char sections[4096];
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", sections, sizeof(sections), JoystickIni);
    for (DWORD i = 0; i < n && sections[i];) {
        if (strcasecmp(&sections[i], JoystickSection) == 0)
            return true;
        i += static_cast<DWORD>(std::strlen(&sections[i])) + 1;
    }
    return false;
}

}  // namespace

const char* GetCommandName(int index)
{
    if (index < 0 || index >= CommandCount)
        return "";
    return CommandTable[index].name;
}

const CommandRow* GetCommandRow(int index)
{
    if (index < 0 || index >= CommandCount)
        return nullptr;
    return &CommandTable[index];
}

int FindCommandByName(const char* name)
{
    if (!name)
        return -1;
    std::lock_guard<std::mutex> lock(TableLock);
    for (int i = 0; i < CommandCount; ++i)
        if (strcasecmp(CommandTable[i].name, name) == 0)
            return i;
    return -1;
}

int32_t GetAssignedButton(int command)
{
    std::lock_guard<std::mutex> lock(TableLock);
    for (const ButtonAssignment& a : Assignments)
        if (static_cast<int>(a.command) == command)
            return a.button;
    return -1;
}

void SetCommandName(uint32_t i, const char* name)
{
    if (i >= static_cast<uint32_t>(CommandCount - MapTypeCommandFirst))
        return;
    std::lock_guard<std::mutex> lock(TableLock);
    CopyName(CommandTable[MapTypeCommandFirst + i].name, sizeof(CommandTable[0].name), name);
}

void LoadButtonAssignments(const char* section)
{
    if (AssignmentsLoaded)
        return;
    std::vector<ButtonAssignment> list;
    for (uint32_t row = 0; row < static_cast<uint32_t>(CommandCount); ++row) {
        char value[511];
        GetPrivateProfileStringA(section, CommandTable[row].name, "-1", value, sizeof(value), SettingsIni);
        int button = std::atoi(value);
        if (button < 0)
            continue;
        list.push_back(MakeAssignment(row, button));
    }
    std::lock_guard<std::mutex> lock(TableLock);
    Assignments.swap(list);
    AssignmentsLoaded = true;
}

void OnSimButton(int32_t button)
{
    double now = static_cast<double>(ProgramClockMs()) / 1000.0;
    if (MatchBusy.load() || now - LastCallTime.load() <= 0.3) {
        LastCallTime = now;
        return;
    }
    LastButton = button;
    if (!AssignmentIdle.load()) {
        PendingCommand = -1;
        LastCallTime = now;
        return;
    }
    MatchBusy = 1;
    LastCallTime = now;
    if (Settings.TopMost.load()) {
        int command = MatchAssignment(button);
        if (command >= 0)
            PendingCommand = command;
    }
    MatchBusy = 0;
    LastCallTime = now;
}

// The links know nothing above them: they pass their buttons to this table
// through the handler registered here, before any link can run.
[[maybe_unused]] static const bool SimButtonsRegistered = (SetSimButtonHandler(OnSimButton), true);

// The hand-over is one exchange: a command parked again while this one runs
// waits for the next idle pass instead of being lost.
bool GetPendingCommand(int* index)
{
    int32_t command = PendingCommand.exchange(-1);
    *index = command;
    return command >= 0;
}

void ClearPendingCommand()
{
    PendingCommand = -1;
}

void ExecuteCommand(uint32_t index)
{
    if (AssignmentIdle.load() && index < static_cast<uint32_t>(CommandCount)) {
        const CommandRow row = CommandTable[index];
        int saved = Settings.Softkeysublevel;
        Settings.Softkeysublevel = row.page->sublevel;
        RunLevelHandler(row.page->level, row.key);
        if (row.page->level == MenuAirportTools)
            Settings.Softkeysublevel = saved;
    }
    int32_t expected = static_cast<int32_t>(index);
    PendingCommand.compare_exchange_strong(expected, -1);
}

int32_t GetLastButton()
{
    return LastButton.load();
}

void ExportButtonAssignments(const char* section, HWND window)
{
    (void)section;
    std::vector<ButtonAssignment> list;
    {
        std::lock_guard<std::mutex> lock(TableLock);
        list = Assignments;
    }
    // One write of the file for all the keys, each flushed to the disk.
    BeginProfileWriteBatch(JoystickIni);
    for (const ButtonAssignment& a : list) {
        if (a.command >= static_cast<uint32_t>(CommandCount))
            continue;
        char value[16];
        std::snprintf(value, sizeof(value), "%d", a.button);
        WritePrivateProfileStringA(JoystickSection, GetCommandName(static_cast<int>(a.command)), value, JoystickIni);
    }
    if (!EndProfileWriteBatch())
        WriteLogF("%s could not be written", JoystickIni);
    int placement[11] = {};
    if (window)
        GetMainWindowPlacement(placement);
    bool written = ReplaceFileByPrinting("Joystick.txt", [&placement](FILE* f) {
        return std::fprintf(f, "%d %d\n", (placement[7] + placement[9]) / 2, (placement[8] + placement[10]) / 2) > 0;
    });
    if (!written)
        WriteLog("Joystick.txt could not be written");
}

void ImportButtonAssignments(const char* section)
{
    // A file without the helper's section (missing, or not an INI file at
    // all) is no answer: the assignments stay as they are.
    if (!HasJoystickSection()) {
        WriteLog("Joystick.ini: no JoyStickButtons section, assignments kept");
        return;
    }
    LogUnknownJoystickKeys();
    std::vector<ButtonAssignment> list;
    for (uint32_t row = 0; row < static_cast<uint32_t>(CommandCount); ++row) {
        const char* name = GetCommandName(static_cast<int>(row));
        char value[511];
        GetPrivateProfileStringA(JoystickSection, name, "-1", value, sizeof(value), JoystickIni);
        int32_t button = -1;
        if (!ParseButtonNumber(value, &button)) {
            WriteLogF("Joystick.ini: skipped %s=%.40s", name, value);
            button = GetAssignedButton(static_cast<int>(row));
            list.push_back(MakeAssignment(row, button));
            continue;
        }
        if (button < 0) {
            WritePrivateProfileStringA(section, name, "-1", SettingsIni);
        } else {
            char text[16];
            std::snprintf(text, sizeof(text), "%d", button);
            WritePrivateProfileStringA(section, name, text, SettingsIni);
        }
        list.push_back(MakeAssignment(row, button));
    }
    std::lock_guard<std::mutex> lock(TableLock);
    Assignments.swap(list);
}

void BeginButtonAssignmentMode()
{
    AssignmentIdle = 0;
    PendingCommand = -1;
}

void EndButtonAssignmentMode()
{
    AssignmentIdle = 1;
}

bool IsButtonAssignmentMode()
{
    return AssignmentIdle.load() == 0;
}

bool IsButtonPublisherRunning()
{
    return PublisherRunning.load() != 0;
}

void ButtonSharedMemoryThread(void*)
{
    PublisherRunning = 1;
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, MappingSize, MappingName);
    if (!mapping) {
        WriteLogF("Cannot create shared memory buffer, error: %u\n", static_cast<unsigned>(GetLastError()));
        PublisherRunning = 0;
        return;
    }
    char* block = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, MappingSize));
    if (!block) {
        CloseHandle(mapping);
        PublisherRunning = 0;
        return;
    }
    // Cleared before the block shows "0": a press that comes after the helper
    // sees "0" must not be wiped by the start.
    LastButton = 0;
    std::snprintf(block, MappingSize, "0");
    while (!AssignmentIdle.load()) {
        int32_t button = LastButton.load();
        std::snprintf(block, MappingSize, "%d", button);
        if (button >= 1) {
            Sleep(200);
            // A button pressed during the hold is published next, not lost.
            LastButton.compare_exchange_strong(button, 0);
        } else {
            Sleep(1);
        }
    }
    UnmapViewOfFile(block);
    CloseHandle(mapping);
    PublisherRunning = 0;
}

void RunButtonAssignment()
{
    if (!SimLinkIsConnected()) {
        MessageBoxA(nullptr, GetGeneralText(14), "Zorizeruverovu", MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST);
        return;
    }
    char section[SimulatorNameSize];
    GetSimulatorName(section);
    ExportButtonAssignments(section, GetMainWindow());
    BeginButtonAssignmentMode();
    _beginthread(ButtonSharedMemoryThread, 0, nullptr);
    char helper[600];
    std::snprintf(helper, sizeof(helper), "%s/Gantor.exe", SystemFolder);
    RunHelperProgram(helper, "");
    EndButtonAssignmentMode();
    ImportButtonAssignments(section);
}

void ResetButtonAssignments()
{
    {
        std::lock_guard<std::mutex> lock(TableLock);
        Assignments.clear();
        AssignmentsLoaded = false;
    }
    PendingCommand = -1;
    LastButton = 0;
    LastCallTime = -1.0e9;
    MatchBusy = 0;
    AssignmentIdle = 1;
}
