// Helper-program dialogs: the starter, the exchange files and how each reply
// is taken in. A reply file is removed before its helper starts and after it
// was read, so that an answer left from an earlier run is never taken as a
// fresh one.
#include "app/helper_dialogs.h"

#include "app/language.h"
#include "app/main_window.h"
#include "app/processor_core.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/frame_limiter.h"
#include "maps/weather_radar.h"
#include "platform/files.h"
#include "platform/ini_sections.h"
#include "platform/log.h"
#include "platform/messagebox.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/sync.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>


namespace {


std::atomic<bool> HelperIdle{true};

// Up to max integers of text in order; stops at the first that is missing
// or not a whole number.
int ScanNumbers(const char* text, long* out, int max)
{
    int n = 0;
    const char* p = text ? text : "";
    while (n < max) {
        char* end = nullptr;
        errno = 0;
        long value = std::strtol(p, &end, 10);
        if (end == p || errno == ERANGE)
            break;
        if (*end != '\0' && *end != ' ' && *end != '\t' && *end != '\r' && *end != '\n')
            break;
        out[n++] = value;
        p = end;
    }
    return n;
}

bool InRange(long value, long low, long high) { return value >= low && value <= high; }

// Writes the exchange file: the centre line, then body. False when the file
// could not be created.
bool WriteExchange(const char* path, const char* body)
{
    bool written = ReplaceFileByPrinting(path, [body](FILE* f) {
        WriteWindowCentre(f);
        return std::fputs(body, f) >= 0;
    });
    if (!written)
        WriteLogF("%s could not be written", path);
    return written;
}

// The helper's path in the System folder.
void HelperPath(char* out, size_t size, const char* name) { std::snprintf(out, size, "%s/%s", SystemFolder, name); }

// Writes the exchange, runs the helper on it and gives the reply's first
// line ("" when the helper left none).
void RunExchange(const char* helper, const char* exchange, char* reply, size_t size)
{
    char result[300];
    std::snprintf(result, sizeof result, "%s.res", exchange);
    std::remove(result);
    char program[600];
    HelperPath(program, sizeof program, helper);
    RunHelperProgram(program, exchange);
    reply[0] = '\0';
    ReadHelperReply(result, reply, size);
    std::remove(result);
}

// The settings dialogs: write what the helper shows, run it, apply its reply.
void RunSettingsHelper(const char* helper, const char* exchange, bool (*write)(const char*),
                       int (*apply)(const char*))
{
    write(exchange);
    char reply[256];
    RunExchange(helper, exchange, reply, sizeof reply);
    apply(reply);
}

int SizePercent(float factor) { return static_cast<int>(factor * 100.0f); }

}  // namespace

bool IsHelperIdle() { return HelperIdle.load(); }

void RunHelperProgram(const char* program, const char* parameters)
{
    HelperIdle = false;
    bool topmost = Settings.TopMost.load() != 0;
    if (topmost)
        SetWindowNotTopmost();
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = GetMainWindow();
    info.lpVerb = "open";
    info.lpFile = program;
    info.lpParameters = parameters;
    info.lpDirectory = SystemFolder;
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExA(&info) && info.hProcess) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
    }
    HelperIdle = true;
    if (topmost)
        SetWindowTopmost();
}

void WriteWindowCentre(FILE* file)
{
    int placement[11];
    GetMainWindowPlacement(placement);
    std::fprintf(file, "%d %d\n", (placement[7] + placement[9]) / 2, (placement[8] + placement[10]) / 2);
}

void ReadHelperReply(const char* path, char* out, size_t size)
{
    if (!out || size == 0)
        return;
    FILE* f = std::fopen(path, "r");
    if (!f)
        return;
    out[0] = '\0';
    if (!std::fgets(out, static_cast<int>(size < INT_MAX ? size : INT_MAX), f))
        out[0] = '\0';
    std::fclose(f);
    out[std::strcspn(out, "\n")] = '\0';
}

// ---- symbol sizes ----

bool WriteSymbolSizeExchange(const char* path)
{
    const SettingsBlock& s = Settings;
    char line[128];
    std::snprintf(line, sizeof line, "%d %d %d %d %d %d %d\n", SizePercent(s.Vorsizefactor),
                  SizePercent(s.Fixsizefactor), SizePercent(s.Aptsizefactor), SizePercent(s.Ndbsizefactor),
                  SizePercent(s.Markersizefactor), SizePercent(s.Dmesizefactor), s.Autosize ? 1 : 0);
    return WriteExchange(path, line);
}

int ApplySymbolSizeReply(const char* reply)
{
    long v[7];
    int n = ScanNumbers(reply, v, 7);
    // The flag decides what the sizes mean: without it nothing is taken.
    if (n < 7)
        return 0;
    if (v[6] != 0) {
        Settings.Autosize = 1;
        return 1;
    }
    float* factors[6] = {&Settings.Vorsizefactor, &Settings.Fixsizefactor, &Settings.Aptsizefactor,
                         &Settings.Ndbsizefactor, &Settings.Markersizefactor, &Settings.Dmesizefactor};
    int taken = 1;
    for (int i = 0; i < 6; i++) {
        if (!InRange(v[i], 1, 1000))
            continue;
        *factors[i] = static_cast<float>(v[i] / 100.0);
        taken++;
    }
    Settings.Autosize = 0;
    return taken;
}

void RunSymbolSizeDialog() { RunSettingsHelper("Markel.exe", "size.txt", WriteSymbolSizeExchange, ApplySymbolSizeReply); }

// ---- volume ----

bool WriteVolumeExchange(const char* path)
{
    char line[64];
    std::snprintf(line, sizeof line, "%d %d\n", static_cast<int>(200.0f - Settings.Volume * 100.0f),
                  Settings.Sound.load() ? 1 : 0);
    return WriteExchange(path, line);
}

int ApplyVolumeReply(const char* reply)
{
    long v[2];
    int n = ScanNumbers(reply, v, 2);
    int taken = 0;
    if (n >= 1 && InRange(v[0], 0, 200)) {
        Settings.Volume = static_cast<float>(v[0] / 100.0);
        taken++;
    }
    if (n >= 2) {
        Settings.Sound = v[1] != 0 ? 1 : 0;
        taken++;
    }
    // Heard at once, not only from the next display start.
    if (taken > 0)
        SetSoundVolume(Settings.Volume);
    return taken;
}

void RunVolumeDialog() { RunSettingsHelper("Vonta.exe", "sound.txt", WriteVolumeExchange, ApplyVolumeReply); }

// ---- processor core and CPU usage ----

bool WriteCpuUsageExchange(const char* path)
{
    char core[9];
    GetPrivateProfileStringA(MainSection, "UseProcessorCore", "-1", core, sizeof core, LocalIniFile);
    char line[64];
    std::snprintf(line, sizeof line, "%s %d\n", core, Settings.CPU_usage);
    return WriteExchange(path, line);
}

int ApplyCpuUsageReply(const char* reply)
{
    long v[2];
    int n = ScanNumbers(reply, v, 2);
    int taken = 0;
    if (n >= 2 && InRange(v[1], 0, 2)) {
        Settings.CPU_usage = static_cast<int>(v[1]);
        ResetFrameLimiterCount();
        taken++;
    }
    if (n >= 1 && InRange(v[0], -1, 63)) {
        char text[16];
        std::snprintf(text, sizeof text, "%ld", v[0]);
        WritePrivateProfileStringA(MainSection, "UseProcessorCore", text, LocalIniFile);
        ApplyProcessorCore();
        taken++;
    }
    return taken;
}

void RunCpuUsageDialog() { RunSettingsHelper("Quessa.exe", "cpu.txt", WriteCpuUsageExchange, ApplyCpuUsageReply); }

// ---- runway filter ----

bool WriteRunwayFilterExchange(const char* path)
{
    char line[64];
    std::snprintf(line, sizeof line, "%d %d\n1\n", Settings.RunwaySurfaceEmergency,
                  static_cast<int>(Settings.RunwayEmergencyLength));
    return WriteExchange(path, line);
}

int ApplyRunwayFilterReply(const char* reply)
{
    long v[2];
    int n = ScanNumbers(reply, v, 2);
    int taken = 0;
    if (n >= 1 && InRange(v[0], 0, 3)) {
        // Soft runways alone are no choice a pilot means: hard ones go with them.
        Settings.RunwaySurfaceEmergency = v[0] == 2 ? 3 : static_cast<int>(v[0]);
        taken++;
    }
    if (n >= 2 && InRange(v[1], 0, 100000)) {
        Settings.RunwayEmergencyLength = static_cast<double>(v[1]);
        taken++;
    }
    return taken;
}

void RunRunwayFilterDialog() { RunSettingsHelper("Brenna.exe", "filter.txt", WriteRunwayFilterExchange, ApplyRunwayFilterReply); }

void TakeFilterDialogResult()
{
    char reply[256] = "";
    FILE* f = std::fopen("filter.txt.res", "r");
    if (!f)
        return;
    std::fclose(f);
    ReadHelperReply("filter.txt.res", reply, sizeof reply);
    std::remove("filter.txt.res");
    ApplyRunwayFilterReply(reply);
}

// ---- GPWS thresholds ----

bool WriteGpwsThresholdExchange(const char* path)
{
    char line[32];
    std::snprintf(line, sizeof line, "%s\n", Settings.Language);
    return WriteExchange(path, line);
}

void ReadGpwsThresholds()
{
    char text[32];
    long v = 0;
    GetPrivateProfileStringA(MainSection, "DepartureEnroute", "", text, sizeof text, IniFilePath);
    if (ScanNumbers(text, &v, 1) == 1 && InRange(v, 0, 60000))
        Settings.DepartureEnroute = static_cast<int>(v);
    GetPrivateProfileStringA(MainSection, "EnrouteApproach", "", text, sizeof text, IniFilePath);
    if (ScanNumbers(text, &v, 1) == 1 && InRange(v, 0, 60000))
        Settings.EnrouteApproach = static_cast<int>(v);
}

void RunGpwsThresholdDialog()
{
    if (!WriteGpwsThresholdExchange("gpwsdata.txt"))
        return;
    char program[600];
    HelperPath(program, sizeof program, "Harnel.exe");
    RunHelperProgram(program, "gpwsdata.txt");
    ReadGpwsThresholds();
}

// ---- weather notice ----

bool WriteWeatherNoticeExchange(const char* path)
{
    const char* text = GetGeneralText(8);
    std::string line = std::string(text ? text : "") + "\n";
    return WriteExchange(path, line.c_str());
}

int ApplyWeatherNoticeReply(const char* reply)
{
    // One number alone: the centre line of an unanswered exchange is no reply.
    long v[2];
    if (ScanNumbers(reply, v, 2) != 1)
        return 0;
    Settings.WeatherMessage = v[0] == 1 ? 1 : 0;
    return 1;
}

void ToggleWeather()
{
    if (Settings.WeatherState.load()) {
        Settings.WeatherState = 0;
        if (Settings.WeatherStationState.load())
            ToggleWeatherStations();
    } else {
        Settings.WeatherState = 1;
        Settings.Terrainstate = 0;
        if (!Settings.WeatherMessage && Settings.UseSimulator.load() != SimulatorMsfs &&
            WriteWeatherNoticeExchange("TVLMessage.txt")) {
            RunHelperProgram("./TVLMessageBox.exe", "./TVLMessage.txt");
            // The helper answers in the same file: the centre line is gone then.
            char reply[64] = "";
            ReadHelperReply("TVLMessage.txt", reply, sizeof reply);
            ApplyWeatherNoticeReply(reply);
        }
    }
    NotifyRadarStateChanged();
}

// ---- the manual ----

void OpenManual()
{
    char path[700];
    std::snprintf(path, sizeof path, "%s/Documents/Tervalingo_%s.pdf", ProgramRoot, Settings.Language);
    char resolved[700];
    if (!ResolvePath(path, resolved, sizeof resolved)) {
        MessageBoxA(GetMainWindow(), "Handbuch nicht installiert!", "Zorizeruverovu", MB_ICONWARNING);
        return;
    }
    RunHelperProgram(resolved, "");
}
