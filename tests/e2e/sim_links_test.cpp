// The map program flies with X-Plane, FS2004, FlightGear, Prepar3D/FSX and
// Aerofly FS 2 end to end: tvl-simpeer plays the simulator's side over loopback (for
// Prepar3D/FSX its companion, with tvl-simserver behind the connector
// library), the built program runs headless on a copy of the root with the
// simulator as its one argument. Checked from outside: what the peer
// recorded (registration, the re-registration after the peer's stop, the
// leaving request at exit), the map centre and settings the program saved,
// the aircraft symbol at the centre of its screenshot, for FlightGear and
// Aerofly FS 2 the pilot log, for Aerofly the plan drawn in its colour, and
// for a root without the connector library its message.
#include "platform/profile.h"
#include "tests/support/program_end_to_end.h"
#include "tests/support/proxy_test_client.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// How long a run may take to show what it is waited for: generous, as CI
// runs the sanitizer build on a shared machine. Passing runs never wait it.
constexpr int EventLimitMs = 120000;

constexpr uint32_t Cream = 0xFFFECD;  // the empty map, as 0xRRGGBB

// Pixels near the map window's centre that are not the empty map.
int SymbolPixels(const Picture& p)
{
    int cx = (84 + 472 / 2) * p.width / 640, cy = (40 + 319 / 2) * p.height / 480, count = 0;
    for (int y = cy - 12; y <= cy + 12; ++y)
        for (int x = cx - 12; x <= cx + 12; ++x)
            if (x >= 0 && y >= 0 && x < p.width && y < p.height && ChannelDistance(p.At(x, y), Cream) > 24)
                ++count;
    return count;
}

// Pixels of the plan's colour (magenta) anywhere in the picture.
int PlanPixels(const Picture& p)
{
    int count = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (ChannelDistance(p.At(x, y), 0xFF00FF) < 40)
                ++count;
    return count;
}

// Seconds of the first recorded line that contains what after the given
// second, or -1.
double FirstAfter(const std::string& record, const std::string& what, double after)
{
    std::istringstream lines(record);
    std::string line;
    while (std::getline(lines, line)) {
        double t = std::atof(line.c_str());
        if (t > after && line.find(what) != std::string::npos)
            return t;
    }
    return -1.0;
}

std::string LastLine(const std::string& text)
{
    size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos)
        return "";
    size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

class SimLinksEndToEnd : public ProgramEndToEnd {
protected:
    std::string record = root / "peer.rec";
    Child peer;

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        // The empty map: no tiles are fetched.
        Set("t", "0");
    }

    void StartPeer(const char* kind, std::vector<std::string> args)
    {
        std::vector<std::string> all = {std::string(TVL_TOOLS_DIR) + "/tvl-simpeer", "--sim", kind, "--record",
                                        record};
        all.insert(all.end(), args.begin(), args.end());
        std::string out = root / "peer.out";
        ASSERT_TRUE(peer.Start(all, out, root.Path()));
        ASSERT_FALSE(WaitForAnnouncedPort(out).empty());
    }

    std::string PeerPort() { return WaitForAnnouncedPort(root / "peer.out"); }

    // Prepar3D/FSX: the connector library beside the program, tvl-simserver
    // behind it on a socket of this test flying east from 53.64 N 10.0 E,
    // with an AI aircraft just north of the start.
    void StartPrepar3d()
    {
        std::filesystem::copy_file(std::string(TVL_ROOT_DIR) + "/System/libPlovikSimConnectP3D.so",
                                   system + "/libPlovikSimConnectP3D.so");
        setenv("TVL_SIMCONNECT", (root / "sim.sock").c_str(), 1);
        ASSERT_TRUE(WriteFileText(root / "control", "ai-add DLH123 53.66 10.0 3000\n"));
        ASSERT_TRUE(simulator.Start({std::string(TVL_TOOLS_DIR) + "/tvl-simserver", "--path", "53.64,10.0;53.64,10.6",
                                     "--four-sec-ms", "300", "--control", root / "control", "--verbose"},
                                    root / "sim.out", root.Path()));
        for (int i = 0; i < 100 && ReadFileText(root / "sim.out").find("listening") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    Child simulator;

    Picture RunProgram(const char* simulator, const char* frames)
    {
        std::string shot = root / "shot.png";
        setenv("TVL_EXIT_AFTER_FRAMES", frames, 1);
        setenv("TVL_SCREENSHOT_FRAME", std::to_string(std::atoi(frames) - 20).c_str(), 1);
        setenv("TVL_SCREENSHOT", shot.c_str(), 1);
        Picture p;
        EXPECT_TRUE(StartProgram({simulator}));
        EXPECT_EQ(program.Wait(ProgramRunLimit), 0);
        EXPECT_TRUE(LoadPicture(shot, &p)) << shot;
        return p;
    }

    // Runs the program until what it is waited for has happened and its
    // screenshot is taken, then ends it as the user's quit does. The frame
    // count is a backstop only.
    template <class Event>
    Picture RunProgramUntil(const char* simulator, Event happened)
    {
        std::string shot = root / "shot.png";
        setenv("TVL_EXIT_AFTER_FRAMES", "1000000", 1);
        setenv("TVL_SCREENSHOT_FRAME", "200", 1);
        setenv("TVL_SCREENSHOT", shot.c_str(), 1);
        Picture p;
        EXPECT_TRUE(StartProgram({simulator}));
        bool seen = WaitFor([&] { return happened() && std::filesystem::exists(shot); }, EventLimitMs);
        EXPECT_TRUE(seen) << "program log:\n"
                          << ReadFileText(system + "/Tervalingo.log") << "peer:\n"
                          << ReadFileText(root / "peer.out") << "record:\n"
                          << ReadFileText(record);
        if (program.Pid() > 0)
            kill(program.Pid(), SIGTERM);
        EXPECT_EQ(program.Wait(ProgramRunLimit), 0);
        EXPECT_TRUE(LoadPicture(shot, &p)) << shot;
        return p;
    }

    // Runs the program with an event script of its own; the picture the
    // script's shot line took.
    Picture RunProgramWithScript(const char* simulator, const std::string& script)
    {
        std::string shot = root / "shot.png";
        unsetenv("TVL_SCREENSHOT");
        unsetenv("TVL_EXIT_AFTER_FRAMES");
        Picture p;
        EXPECT_TRUE(StartProgram({simulator}, script));
        EXPECT_EQ(program.Wait(ProgramRunLimit), 0);
        EXPECT_TRUE(LoadPicture(shot, &p)) << shot;
        return p;
    }

    // The map centre the program saved at its end.
    double Saved(const char* key)
    {
        char text[64] = "";
        GetPrivateProfileStringA("Zorizeruverovu Plovik", key, "0", text, sizeof(text), ini.c_str());
        return std::atof(text);
    }

    // Registered, told to stop, registered again within the frame's restart
    // time, and left at the end.
    void ExpectRegistrationsAroundTheStop(const char* registerType)
    {
        std::string rec = ReadFileText(record);
        double first = FirstAfter(rec, registerType, -1.0);
        double stop = FirstAfter(rec, "stop sent", -1.0);
        ASSERT_GE(first, 0.0) << rec;
        ASSERT_GT(stop, first) << rec;
        double again = FirstAfter(rec, registerType, stop);
        ASSERT_GT(again, stop) << rec;
        EXPECT_LT(again - stop, 4.5) << rec;
        EXPECT_NE(LastLine(rec).find("type=7 "), std::string::npos) << rec;
    }
};

TEST_F(SimLinksEndToEnd, XPlaneIsFlownRegisteredAgainAfterItsStopAndLeftAtExit)
{
    StartPeer("xplane", {"--port", "0", "--leg", "270", "--stop-at", "2"});
    SetIn("X-Plane", "Port", PeerPort());
    Set("DebugMode", "1");
    Picture p = RunProgram("4", "900");
    EXPECT_GT(SymbolPixels(p), 40);
    ExpectRegistrationsAroundTheStop("type=4 ");
    // The stops at the peer's request and at the end are no receive errors.
    std::string log = ReadFileText(system + "/Tervalingo.log");
    EXPECT_EQ(CountLines(log, "WSA error 10022"), 0) << log;
    std::string rec = ReadFileText(record);
    EXPECT_GE(CountLines(rec, "type=8 "), 1) << rec;
    EXPECT_NEAR(Saved("latitude"), 53.6367, 0.01);
    EXPECT_LT(Saved("longitude"), 10.0);  // flown west of the start
}

TEST_F(SimLinksEndToEnd, Fs2004IsFlownRegisteredAgainAfterItsStopAndLeftAtExit)
{
    StartPeer("fs2004", {"--port", "0", "--leg", "0", "--stop-at", "2"});
    SetIn("FS2004", "Port", PeerPort());
    Picture p = RunProgram("5", "900");
    EXPECT_GT(SymbolPixels(p), 40);
    ExpectRegistrationsAroundTheStop("type=4 ");
    EXPECT_GT(Saved("latitude"), 53.6367);  // flown north of the start
    EXPECT_NEAR(Saved("longitude"), 10.001, 0.01);
}

TEST_F(SimLinksEndToEnd, FlightGearIsFlownAndItsCircuitLogged)
{
    uint16_t port = FreeUdpPort();
    SetIn("FlightGear", "Port", std::to_string(port));
    SetIn("FlightGear", "AIPort", std::to_string(FreeUdpPort()));
    // A peer that starts late on a loaded machine still finds the first listen open.
    Set("InitialTimeout", "60000");
    Set("DebugMode", "1");
    // The program listens; FlightGear starts sending once it does and flies
    // a circuit: take-off 2 s in, landing 6 s in. The program runs until the
    // landing is in the pilot log.
    std::thread late([&] {
        EXPECT_TRUE(WaitUntilUdpPortTaken(port, 60));
        StartPeer("flightgear", {"--port", std::to_string(port), "--leg", "90", "--circuit", "6"});
    });
    std::string pilotLog = system + "/Pilotlog.csv";
    Picture p = RunProgramUntil("6", [&] { return CountLines(ReadFileText(pilotLog), ";D-ESIM;c172p;") > 0; });
    late.join();
    EXPECT_GT(SymbolPixels(p), 40);
    std::string log = ReadFileText(pilotLog);
    EXPECT_EQ(CountLines(log, "Date;Callsign;Plane;Departure;Destination"), 1) << log;
    EXPECT_EQ(CountLines(log, ";D-ESIM;c172p;EDDH;EDDH;"), 1) << log;
    EXPECT_NEAR(Saved("latitude"), 53.6367, 0.01);
    EXPECT_GT(Saved("longitude"), 10.001);  // flown east of the start
}

// A protocol definition of the user's with the first 20 fields of ours (up
// to the callsign) flies the map as ours does.
TEST_F(SimLinksEndToEnd, FlightGearWithAShorterProtocolOfTheUsersIsFlown)
{
    std::string shipped = ReadFileText(std::string(TVL_ROOT_DIR) + "/FlightGear/tervalingo.xml");
    size_t cut = shipped.find("<chunk>");
    for (int chunk = 1; chunk <= 20 && cut != std::string::npos; ++chunk)
        cut = shipped.find("<chunk>", cut + 1);
    ASSERT_NE(cut, std::string::npos);
    std::string protocol = root / "tervalingo-short.xml";
    ASSERT_TRUE(WriteFileText(protocol, shipped.substr(0, cut) + "</output>\n </generic>\n</PropertyList>\n"));
    uint16_t port = FreeUdpPort();
    SetIn("FlightGear", "Port", std::to_string(port));
    Set("DebugMode", "1");
    // FlightGear sends whether anyone listens or not: with the peer already
    // sending, the program's first receive finds a line, and every line sent
    // after it took the port reaches it. Once a second of lines was sent to
    // the listening program, the script takes its picture and quits.
    StartPeer("flightgear", {"--port", std::to_string(port), "--leg", "90", "--protocol", protocol});
    std::string go = root / "go.txt";
    std::thread watcher([&] {
        EXPECT_TRUE(WaitUntilUdpPortTaken(port, EventLimitMs / 1000));
        int before = CountLines(ReadFileText(record), "line sent");
        EXPECT_TRUE(WaitFor([&] { return CountLines(ReadFileText(record), "line sent") >= before + 10; },
                            EventLimitMs));
        EXPECT_TRUE(WriteFileText(go, "go\n"));
    });
    Picture p = RunProgramWithScript("6", "await " + go + " go\nshot " + (root / "shot.png") + "\nwait 2\nquit\n");
    watcher.join();
    EXPECT_GT(SymbolPixels(p), 40);
    EXPECT_NEAR(Saved("latitude"), 53.6367, 0.01);
    EXPECT_GT(Saved("longitude"), 10.001);  // flown east of the start
    std::string log = ReadFileText(system + "/Tervalingo.log");
    EXPECT_EQ(CountLines(log, "dropped"), 0) << log;
}

// FlightGear names /proc/self/pagemap as its route file while the plan is
// shown, and a machine elsewhere sends lines of an aircraft near Sydney: the
// program refuses the file at once, goes on drawing frames and following
// FlightGear, and ends when asked.
TEST_F(SimLinksEndToEnd, FlightGearNamingAFileWithoutEndOrAStrangersLinesLeavesTheMapRunning)
{
    uint16_t port = FreeUdpPort();
    SetIn("FlightGear", "Port", std::to_string(port));
    SetIn("FlightGear", "AIPort", std::to_string(FreeUdpPort()));
    for (auto [key, value] : {std::pair{"FlightPlanState", "1"}, {"DebugMode", "1"}, {"InitialTimeout", "60000"}})
        Set(key, value);
    UdpPeer stranger(0, "127.0.0.2");
    ASSERT_TRUE(stranger.IsOpen());
    std::atomic<bool> running{true};
    std::thread late([&] {
        EXPECT_TRUE(WaitUntilUdpPortTaken(port, 60));
        StartPeer("flightgear", {"--port", std::to_string(port), "--leg", "90", "--route", "/proc/self/pagemap"});
        std::string far = "3000;10;151.2;-33.9;2900;90;120;0;0;15;0;0;0;0;0;0;0;0;0;EVIL;x;YSSY\n";
        while (running.load()) {
            stranger.SendTo(port, far);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::string tervalingoLog = system + "/Tervalingo.log";
    Picture p = RunProgramUntil("6", [&] {
        return CountLines(ReadFileText(tervalingoLog), "FlightGear route: dropped a route file too large") > 0;
    });
    running = false;
    late.join();
    EXPECT_GT(SymbolPixels(p), 40);
    EXPECT_NEAR(Saved("latitude"), 53.6367, 0.01);
    EXPECT_GT(Saved("longitude"), 10.001);
}

TEST_F(SimLinksEndToEnd, AeroflyIsFlownItsPlanCompletedAndItsCircuitLogged)
{
    // The demo grid as the map: the plan is drawn over a background only.
    UseDemoMapBackground(root.Path(), system);
    // The demo set's navigation data and procedure database complete the plan.
    CopyShippedFolder("Navdata");
    for (auto [key, value] : {std::pair{"t", "1"}, {"FlightPlanColor", "0xFF00FF"}})
        Set(key, value);
    StartPeer("aerofly", {"--port", "0", "--leg", "90", "--circuit", "6"});
    SetIn("Aeroflyfs2", "Port", PeerPort());
    Picture p = RunProgram("8", "1300");
    EXPECT_GT(SymbolPixels(p), 40);
    EXPECT_GT(PlanPixels(p), 100);
    std::string rec = ReadFileText(record);
    EXPECT_GE(CountLines(rec, "type=4 "), 1) << rec;
    EXPECT_EQ(CountLines(rec, "type=8 "), 1) << rec;
    EXPECT_NE(LastLine(rec).find("type=7 "), std::string::npos) << rec;
    std::string log = ReadFileText(system + "/Pilotlog.csv");
    EXPECT_EQ(CountLines(log, ";-;C172;EDDH;EDDH;"), 1) << log;
    EXPECT_NEAR(Saved("latitude"), 53.6367, 0.01);
    EXPECT_GT(Saved("longitude"), 10.001);  // flown east of the start
    EXPECT_EQ(Saved("FlightPlanState"), 1.0);  // the plan that came is shown
}

TEST_F(SimLinksEndToEnd, Prepar3dIsFlownThroughTheConnectorAndItsTrafficAskedFor)
{
    StartPrepar3d();
    StartPeer("p3d", {"--port", "0"});
    SetIn("Prepar3D", "Port", PeerPort());
    Set("RadarMode", "1");
    Picture p = RunProgram("3", "1300");
    EXPECT_GT(SymbolPixels(p), 40);
    std::string rec = ReadFileText(record);
    EXPECT_GE(CountLines(rec, "type=4 "), 1) << rec;
    EXPECT_EQ(CountLines(rec, "type=8 "), 1) << rec;
    EXPECT_NE(LastLine(rec).find("type=7 "), std::string::npos) << rec;
    EXPECT_NEAR(Saved("latitude"), 53.64, 0.01);
    EXPECT_GT(Saved("longitude"), 10.0);  // flown east of the start
    EXPECT_EQ(Saved("UseSimulator"), 3.0);
    // The traffic the settings ask for was switched on at the simulator.
    std::string sim = ReadFileText(root / "sim.out");
    EXPECT_EQ(CountLines(sim, "subscribed ObjectAdded"), 1) << sim;
    EXPECT_EQ(CountLines(sim, "open from CheckConnection"), 1) << sim;
}

TEST_F(SimLinksEndToEnd, FsxIsFlownThroughTheConnector)
{
    StartPrepar3d();
    StartPeer("p3d", {"--port", "0"});
    SetIn("Prepar3D", "Port", PeerPort());
    Picture p = RunProgram("1", "900");
    EXPECT_GT(SymbolPixels(p), 40);
    EXPECT_EQ(CountLines(ReadFileText(record), "type=8 "), 1) << ReadFileText(record);
    EXPECT_GT(Saved("longitude"), 10.0);
    EXPECT_EQ(Saved("UseSimulator"), 1.0);
}

TEST_F(SimLinksEndToEnd, FsxThroughSimconnectCfgFindsItsCompanionThere)
{
    StartPrepar3d();
    StartPeer("p3d", {"--port", "0"});
    ASSERT_TRUE(WriteFileText(system + "/simconnect.cfg", "[SimConnect]\nPort=" + PeerPort() + "\n"));
    Picture p = RunProgram("2", "900");
    EXPECT_GT(SymbolPixels(p), 40);
    EXPECT_EQ(CountLines(ReadFileText(record), "type=8 "), 1) << ReadFileText(record);
    EXPECT_GT(Saved("longitude"), 10.0);
    EXPECT_EQ(Saved("UseSimulator"), 2.0);
}

TEST_F(SimLinksEndToEnd, WithoutTheConnectorLibraryTheMessageComesAndTheProgramRunsOn)
{
    Picture p = RunProgram("1", "200");
    EXPECT_GT(p.width, 0);
    std::string log = ReadFileText(system + "/Tervalingo.log");
    EXPECT_EQ(CountLines(log, "The connector library for Prepar3D and FSX could not be loaded"), 1) << log;
    EXPECT_EQ(Saved("UseSimulator"), 3.0);
}

}  // namespace
