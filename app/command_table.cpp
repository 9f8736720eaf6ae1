// The command table, the button assignments, the pending-command slot, the
// exchange with the joystick set-up helper and the thread that shows it the
// pressed buttons.
#include "app/command_table.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/helper_dialogs.h"
#include "platform/win32.h"
#include "maps/terrain_awareness.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "app/sim_commands.h"
#include "app/softkey_menu.h"
#include "platform/messagebox.h"
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
    {"MAP", 0, 0, 0},
    {"NAV", 0, 0, 1},
    {"NORTH_UP", 0, 0, 2},
    {"ROSE", 0, 0, 3},
    {"TRK", 0, 0, 4},
    {"CLR_TRK", 0, 0, 5},
    {"ESC", 0, 0, 6},
    {"CONFIG", 0, 0, 7},
    {"PANEL", 0, 0, 8},
    {"AI/TCAS", 0, 0, 9},
    {"VECTOR", 0, 0, 10},
    {"FLTPLN", 0, 0, 11},
    {"MAXIMIZE", 0, 0, 12},
    {"INFO", 0, 0, 13},
    {"SIM", 0, 5, 0},
    {"TERRAIN_CFG", 0, 5, 1},
    {"COLOR", 0, 5, 2},
    {"NAV_SIZE", 0, 5, 3},
    {"TOOLTIP", 0, 5, 4},
    {"FRAME", 0, 5, 5},
    {"NEXT", 0, 5, 7},
    {"USRMAP", 0, 5, 8},
    {"ON_TOP", 0, 5, 8},
    {"HDG_TRUE", 0, 5, 10},
    {"SOUND", 0, 5, 11},
    {"MIN_ON_TOP", 0, 5, 12},
    {"CLR_TXCNT", 0, 5, 13},
    {"UNIT", 4, 5, 0},
    {"TEMP", 4, 5, 1},
    {"MANUAL", 4, 5, 2},
    {"CPU", 4, 5, 3},
    {"TRANSP", 4, 5, 4},
    {"WX_STATION", 4, 5, 5},
    {"ASPECT43", 4, 5, 7},
    {"RESET", 4, 5, 8},
    {"OPT_OFF", 4, 5, 9},
    {"NRST_LIMITS", 4, 5, 10},
    {"FULLSCREN", 4, 5, 11},
    {"BTN_ASSGN", 4, 5, 12},
    {"ABOUT", 6, 5, 5},
    {"LANGUAGE", 6, 5, 0},
    {"FPS", 6, 5, 1},
    {"KEY_SIZE", 6, 5, 2},
    {"CLR_CACHE", 6, 5, 3},
    {"SND/TSK", 6, 5, 4},
    {"X-PLANE", 1, 5, 0},
    {"FS9", 1, 5, 1},
    {"FSX/P3D", 1, 5, 2},
    {"FLIGHTGEAR", 1, 5, 2},
    {"LOAD", 3, 5, 0},
    {"EDITOR", 3, 5, 1},
    {"ROTATE-", 3, 5, 2},
    {"ROTATE+", 3, 5, 3},
    {"RESETU", 3, 5, 4},
    {"OVERLAY", 3, 5, 5},
    {"TAWS", 0, 1, 0},
    {"MODE", 0, 1, 1},
    {"PATH", 0, 1, 2},
    {"FLTSTATE", 0, 1, 3},
    {"DISABLE", 0, 1, 4},
    {"LEGEND", 0, 1, 5},
    {"ELEVATION", 0, 1, 7},
    {"OBSTACLE", 0, 1, 8},
    {"MSA_FP", 0, 1, 9},
    {"LEVEL", 0, 1, 10},
    {"GPWS", 0, 1, 11},
    {"TAWS_DATA", 0, 1, 12},
    {"PROFILE", 0, 1, 13},
    {"NAV_APT", 0, 3, 0},
    {"NDB", 0, 3, 1},
    {"VOR", 0, 3, 2},
    {"ILS/LOC", 0, 3, 3},
    {"MARKER", 0, 3, 4},
    {"AIRSPACE", 0, 3, 5},
    {"HIGH_ALT", 0, 3, 7},
    {"LOW_ALT", 0, 3, 8},
    {"FIX", 0, 3, 9},
    {"APT_MAP", 0, 3, 10},
    {"PDF", 0, 3, 11},
    {"GEOREF_APT", 0, 3, 12},
    {"CUSTOM_MAP", 0, 3, 13},
    {"CLASS_ALL", 1, 3, 0},
    {"CLASS_A", 1, 3, 1},
    {"CLASS_B", 1, 3, 2},
    {"CLASS_C", 1, 3, 3},
    {"CLASS_D", 1, 3, 4},
    {"CLASS_E", 1, 3, 5},
    {"CLASS_F", 1, 3, 7},
    {"CLASS_G", 1, 3, 8},
    {"CLASS_R", 1, 3, 9},
    {"CLASS_INFO", 1, 3, 10},
    {"CLASS_OFF", 1, 3, 11},
    {"APT", 0, 7, 0},
    {"NEAREST", 0, 7, 1},
    {"FIX_KEYS", 0, 7, 2},
    {"TOGGLE_WIND", 0, 7, 3},
    {"SAT", 0, 6, 0},
    {"OSM", 0, 6, 1},
    {"OPN_TOPO", 0, 6, 2},
    {"TERRAIN", 0, 6, 3},
    {"WEATHER", 0, 6, 4},
    {"TPC", 0, 6, 5},
    {"ONC", 0, 6, 7},
    {"IFR_LOW", 0, 6, 8},
    {"IFR_HIGH", 0, 6, 9},
    {"IFR_PLN", 0, 6, 10},
    {"VFR", 0, 6, 11},
    {"TOPO", 0, 6, 12},
    {"ICAO", 0, 6, 13},
    {"TAC", 0, 6, 14},
    {"TOPO5", 0, 6, 15},
    {"TOPO10", 0, 6, 16},
    {"AIRPORT", 0, 6, 17},
    {"APPR", 0, 6, 18},
    {"DEPART", 0, 6, 19},
    {"ARRIVAL", 0, 6, 20},
    {"BROWSER", 0, 6, 21},
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
const char JoystickSection[] = "JoyStickButtons";
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
        Settings.Softkeysublevel = static_cast<int>(row.sublevel);
        RunLevelHandler(static_cast<int>(row.level), static_cast<int>(row.softkey));
        if (row.level == MenuAirportTools)
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
    for (const ButtonAssignment& a : list) {
        if (a.command >= static_cast<uint32_t>(CommandCount))
            continue;
        char value[16];
        std::snprintf(value, sizeof(value), "%d", a.button);
        WritePrivateProfileStringA(JoystickSection, GetCommandName(static_cast<int>(a.command)), value, JoystickIni);
    }
    int placement[11] = {};
    if (window)
        GetMainWindowPlacement(placement);
    FILE* f = std::fopen("Joystick.txt", "w");
    if (!f)
        return;
    std::fprintf(f, "%d %d\n", (placement[7] + placement[9]) / 2, (placement[8] + placement[10]) / 2);
    std::fclose(f);
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
