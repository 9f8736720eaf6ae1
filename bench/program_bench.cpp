// The map program as a user meets it, timed from outside on copies of its
// shipped root. Two measures, each run in turn for every program named
// (so that two builds compare in one run on the same machine):
//   --start: from the start to the first map frame after the 2 s splash
//     (the frame the first idle pass of the message loop presents; the
//     splash is presented three times before it), the real time (and what
//     it is beyond the splash) and the processor time the program used by
//     then; the slowest start and how many took over 2.5 s. Target: at most
//     0.3 s beyond the splash, none over 2.5 s in 14 starts (--runs 14).
//   --idle: the map at 1920 x 1080 following an aircraft that flies a circle
//     at 120 kt (tvl-proxypeer), the shipped CPU_usage 2: processor time as
//     a share of one core and frames a second, measured between frame 550
//     and frame 850, after the frame limiter's 500 learning frames.
//     Target: at most 10 % of one core.
// Usage: program_bench --start|--idle [--runs N] PROGRAM [PROGRAM ...]
// PROGRAM is a built tervalingo (ROOT/System/tervalingo); its ROOT is copied.
// The programs run headless (SDL's dummy video driver, which presents into
// memory, and message boxes answered), so that no dialog waits for a click;
// the idle measure finds tvl-proxypeer in the build beside ROOT (BUILD/tools).
#include "platform/ini_sections.h"

#include <sys/inotify.h>
#include <sys/wait.h>
#include <poll.h>
#include <signal.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"


namespace {

namespace fs = std::filesystem;

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// User plus system seconds of a running process.
double ProcessCpu(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; i++) {
        if (i == 14)
            utime = std::atol(field.c_str());
        if (i == 15)
            stime = std::atol(field.c_str());
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Waits until name is written and closed in folder (inotify), at most limit seconds.
bool WaitForFile(int notify, const std::string& path, double limit)
{
    double until = Now() + limit;
    std::string name = fs::path(path).filename();
    while (!fs::exists(path)) {
        int left = static_cast<int>((until - Now()) * 1000);
        if (left <= 0)
            return false;
        pollfd p{notify, POLLIN, 0};
        if (poll(&p, 1, std::min(left, 1000)) > 0) {
            alignas(inotify_event) char buffer[4096];
            ssize_t n = read(notify, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                auto* e = reinterpret_cast<inotify_event*>(buffer + at);
                if (e->len && name == e->name)
                    return true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
    }
    return true;
}

void SetKey(const std::string& ini, const std::string& section, const std::string& key, const std::string& value)
{
    std::ifstream in(ini);
    std::vector<std::string> lines;
    bool inside = false, done = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            if (inside && !done) {
                lines.push_back(key + "=" + value);
                done = true;
            }
            inside = line == "[" + section + "]";
        } else if (inside && line.rfind(key + "=", 0) == 0) {
            line = key + "=" + value;
            done = true;
        }
        lines.push_back(line);
    }
    if (!done) {
        if (!inside)
            lines.push_back("[" + section + "]");
        lines.push_back(key + "=" + value);
    }
    std::ofstream out(ini);
    for (const std::string& line : lines)
        out << line << "\r\n";
}

// A copy of the program's root with the splash picture: languages, bitmaps,
// settings and effect files. The System folder's path.
std::string CopyRoot(const std::string& program, const std::string& folder)
{
    fs::path root = fs::path(program).parent_path().parent_path();
    std::error_code e;
    fs::create_directories(fs::path(folder) / "System", e);
    fs::copy(root / "Languages", fs::path(folder) / "Languages", fs::copy_options::recursive, e);
    fs::copy(root / "Bitmaps", fs::path(folder) / "Bitmaps", fs::copy_options::recursive, e);
    for (const char* name : {"Plovik.ini", "QRDLX30_11.fxo", "QRDLX_91.fxo"})
        fs::copy_file(root / "System" / name, fs::path(folder) / "System" / name, e);
    return folder + "/System";
}

// The width of a PNG from its header, or -1.
double PngWidth(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[24] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header))
        return -1;
    return static_cast<double>(header[16] << 24 | header[17] << 16 | header[18] << 8 | header[19]);
}

struct Sample {
    double a = -1, b = -1, c = -1;
};

// --start: one run of a program.
Sample StartOnce(const std::string& program)
{
    Sample s;
    TempFolder temp;
    std::string folder = temp.Path();
    std::string system = CopyRoot(program, folder);
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    std::string shot = folder + "/first.png", script = folder + "/script.txt";
    // The script's first step runs in the message loop's first idle pass, whose
    // frame is the first map frame; the picture's file is made as that frame is
    // presented (then written, which the time leaves out).
    std::ofstream(script) << "shot " << shot << "\nquit\n";
    setenv("TVL_EVENT_SCRIPT", script.c_str(), 1);
    unsetenv("TVL_SCREENSHOT");
    unsetenv("TVL_SCREENSHOT_FRAME");
    unsetenv("TVL_EXIT_AFTER_FRAMES");
    int notify = inotify_init1(IN_NONBLOCK);
    inotify_add_watch(notify, folder.c_str(), IN_CREATE);
    double t0 = Now();
    Child run;
    pid_t pid = run.Start({program}, folder + "/program.out", system) ? run.Pid() : -1;
    if (pid > 0 && WaitForFile(notify, shot, 60)) {
        s.a = Now() - t0;
        s.b = ProcessCpu(pid);
    }
    run.Wait(60);
    unsetenv("TVL_EVENT_SCRIPT");
    close(notify);
    return s;
}

// --idle: one run of a program.
Sample IdleOnce(const std::string& program)
{
    Sample s;
    TempFolder temp;
    std::string folder = temp.Path();
    std::string system = CopyRoot(program, folder);
    fs::remove(fs::path(folder) / "Bitmaps" / "TVL.png"); // no splash pause
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    unsetenv("TVL_SCREENSHOT");
    unsetenv("TVL_SCREENSHOT_FRAME");
    unsetenv("TVL_EXIT_AFTER_FRAMES");
    std::string peer = (fs::path(program).parent_path().parent_path().parent_path() / "tools" / "tvl-proxypeer");
    std::string peerOut = folder + "/peer.out";
    Child peerRun;
    peerRun.Start({peer, "--port", "0", "--circle", "2", "--speed", "120", "--altitude", "3000"}, peerOut, folder);
    std::string port = WaitForAnnouncedPort(peerOut);
    std::string ini = system + "/Plovik.ini";
    SetKey(ini, MsfsSimSection, "Port", port);
    // The demo map shipped beside the program is the background.
    fs::path root = fs::path(program).parent_path().parent_path();
    std::error_code e;
    fs::copy(root / "DemoMap", fs::path(folder) / "DemoMap", fs::copy_options::recursive, e);
    fs::copy_file(root / "DemoMap" / "offline_catalogue.db", system + "/offline_catalogue.db", e);
    for (auto [k, v] : {std::pair{"WindowPosX", "0"}, {"WindowPosY", "0"}, {"WindowSizeX", "1920"},
                        {"WindowSizeY", "1080"}})
        SetKey(ini, WindowSection, k, v);
    for (auto [k, v] : {std::pair{"CPU_usage", "2"}, {"MenuState", "2"}, {"LocalMapPath", "../DemoMap"},
                        {"SatMode", "11"}, {"ServermapIndex", "0"}, {"PreferedChartType", "-11"}, {"Tile", "10"}})
        SetKey(ini, MainSection, k, v);
    std::string script = folder + "/script.txt", first = folder + "/at550.png", last = folder + "/at850.png";
    std::ofstream(script) << "wait 550\nshot " << first << "\nwait 300\nshot " << last << "\nquit\n";
    setenv("TVL_EVENT_SCRIPT", script.c_str(), 1);
    int notify = inotify_init1(IN_NONBLOCK);
    inotify_add_watch(notify, folder.c_str(), IN_CLOSE_WRITE);
    Child run;
    pid_t pid = !port.empty() && run.Start({program}, folder + "/program.out", system) ? run.Pid() : -1;
    if (pid > 0 && WaitForFile(notify, first, 120)) {
        double t0 = Now(), c0 = ProcessCpu(pid);
        if (WaitForFile(notify, last, 120)) {
            double t1 = Now(), c1 = ProcessCpu(pid);
            s.a = (c1 - c0) / (t1 - t0) * 100.0;
            s.b = 300.0 / (t1 - t0);
            s.c = PngWidth(first);
        }
    }
    unsetenv("TVL_EVENT_SCRIPT");
    run.Wait(60);
    if (peerRun.Pid() > 0) {
        kill(peerRun.Pid(), SIGTERM);
        peerRun.Wait(10);
    }
    close(notify);
    if (s.a < 0 || std::getenv("PROGRAM_BENCH_KEEP")) {
        std::fprintf(stderr, "program_bench: %s; the run is kept in %s\n",
                     s.a >= 0 ? "measured" : port.empty() ? "no measure: the peer announced no port"
                                                          : "no measure: the frames were not reached",
                     folder.c_str());
        temp.Keep();
    }
    return s;
}

double Median(std::vector<double> v)
{
    v.erase(std::remove(v.begin(), v.end(), -1.0), v.end());
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Load()
{
    std::ifstream in("/proc/loadavg");
    double one = 0;
    in >> one;
    return one;
}

} // namespace

int main(int argc, char** argv)
{
    std::string mode;
    int runs = 5;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--start" || a == "--idle")
            mode = a;
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            programs.push_back(fs::absolute(a));
    }
    if (mode.empty() || programs.empty()) {
        std::fprintf(stderr, "usage: program_bench --start|--idle [--runs N] PROGRAM [PROGRAM ...]\n");
        return 2;
    }
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("TVL_MONITORS", "1920x1080", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("TVL_HOST_MAP", "none", 1);
    setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
    std::vector<std::vector<Sample>> samples(programs.size());
    double loadBefore = Load();
    for (int r = 0; r < runs; r++)
        for (size_t p = 0; p < programs.size(); p++)
            samples[p].push_back(mode == "--start" ? StartOnce(programs[p]) : IdleOnce(programs[p]));
    std::printf("load average %.2f before, %.2f after\n", loadBefore, Load());
    for (size_t p = 0; p < programs.size(); p++) {
        std::vector<double> a, b;
        for (const Sample& s : samples[p]) {
            a.push_back(s.a);
            b.push_back(s.b);
        }
        if (mode == "--start") {
            double slowest = *std::max_element(a.begin(), a.end());
            long over = std::count_if(a.begin(), a.end(), [](double t) { return t > 2.5 || t < 0; });
            std::printf("%s\n  start to first map frame: median %.3f s real, %.3f s beyond the 2 s splash, %.3f s "
                        "CPU (%d runs); slowest %.3f s, %ld over 2.5 s (or none)\n",
                        programs[p].c_str(), Median(a), Median(a) - 2.0, Median(b), runs, slowest, over);
            std::printf("  each start (s):");
            for (double t : a)
                std::printf(" %.3f", t);
            std::printf("\n");
        } else
            std::printf("%s\n  idle map, frames %.0f pixels wide, aircraft moving, CPU_usage 2: median %.1f %% of one "
                        "core at %.1f frames/s (%d runs)\n",
                        programs[p].c_str(), samples[p].empty() ? -1.0 : samples[p][0].c, Median(a), Median(b), runs);
    }
    return 0;
}
