// Two map programs behind one TVL64 end to end: tvl-simserver plays the
// simulator with AI aircraft beside the user's, the built proxy serves
// both programs, each headless on its own copy of the root with the demo
// grid as its map and AI traffic shown. One of them switches its traffic
// off with its TCAS/AI softkey; the other goes on getting the traffic:
// aircraft that leave go from its map and ones that come after the switch
// appear on it, while the first shows none. A third client, which
// asks for no traffic, only counts the proxy's rounds: the programs are
// asked for a picture every few rounds until it shows what is checked.
#include "tests/support/program_end_to_end.h"
#include "tests/support/proxy_test_client.h"
#include "tests/support/udp_peer.h"

#include "platform/files.h"
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace {

// Waits on the simulator server, the proxy's cycle and two programs' frames;
// generous for the sanitizer build on a shared machine.
constexpr int kSlowMs = 90000;
// Pictures one program may be asked for in each of two phases, one every
// kRoundsPerShot rounds of the proxy (about 100 ms each).
constexpr int kPhaseShots = 200;
constexpr int kShots = 2 * kPhaseShots;
constexpr int kRoundsPerShot = 3;

int R(uint32_t c) { return static_cast<int>(c >> 16 & 0xFF); }
int G(uint32_t c) { return static_cast<int>(c >> 8 & 0xFF); }
int B(uint32_t c) { return static_cast<int>(c & 0xFF); }
// The traffic labels' text: 0xFF7FFF00 on a dark box.
bool IsLabel(uint32_t c) { return R(c) < 60 && G(c) > 150 && B(c) > 60 && B(c) < 170 && G(c) > B(c) + 60; }

// Label pixels of the map north (dy < 0) or south (dy > 0) of the aircraft
// at its centre, from 8 units off the centre line.
int LabelsOnSide(const Picture& p, int dy)
{
    int cy = (40 + 319 / 2) * p.height / 480;
    int near = 8 * p.height / 480;
    int n = 0;
    for (int y = 40 * p.height / 480; y < 359 * p.height / 480; ++y) {
        if (std::abs(y - cy) < near || (y - cy) * dy < 0)
            continue;
        for (int x = 84 * p.width / 640; x < 556 * p.width / 640; ++x)
            n += IsLabel(p.At(x, y));
    }
    return n;
}

class ProxyMapProgramsEndToEnd : public ProgramEndToEnd {
protected:
    TempFolder second;
    std::string secondSystem = CopyProgramRoot(second.Path());
    Child secondProgram, simulator, proxy;
    uint16_t port = 0;
    std::map<std::string, std::string> triggers;
    std::unique_ptr<ProxyTestClient> observer;

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        port = FreeUdpPort();
        setenv("TVL64_PORT", std::to_string(port).c_str(), 1);
        setenv("TVL_SIMCONNECT", (root / "sim.sock").c_str(), 1);
        for (const std::string& s : {system, secondSystem}) {
            UseDemoMapBackground(s == system ? root.Path() : second.Path(), s);
            std::string file = s + "/Plovik.ini";
            WritePrivateProfileStringA("MSFS", "Port", std::to_string(port).c_str(), file.c_str());
            // AI traffic with its labels; the softkey bar hides while the
            // pointer is away, so that its lit labels never count as traffic.
            for (auto [key, value] : {std::pair{"RadarMode", "2"}, {"DynamicSoftkeys", "1"}, {"MenuState", "2"}})
                WritePrivateProfileStringA(MainSection, key, value, file.c_str());
        }
    }
    void TearDown() override
    {
        unsetenv("TVL64_PORT");
        unsetenv("TVL_SIMCONNECT");
        ProgramEndToEnd::TearDown();
    }
    std::string ProxyOutput() { return ReadFileText(root / "proxy.out"); }
    void Control(const std::string& command) { WriteFileText(root / "control", command + "\n"); }
    // Says word to the program whose script awaits the trigger file name:
    // the file grows by it, as the script reads a file again only when its
    // size changed.
    void Trigger(const std::string& folder, const char* name, const std::string& word)
    {
        std::string& said = triggers[name];
        said += "<" + word + ">";
        WriteFileText(folder + "/" + name + ".trigger", said);
    }
    // Registers the observer, which asks for nothing but is sent the
    // aircraft state every round.
    bool RegisterObserver()
    {
        observer = std::make_unique<ProxyTestClient>(port, 31999);
        return WaitFor(
            [&] {
                observer->Send(MsgRegister);
                std::vector<uint8_t> d;
                while (!(d = observer->Receive(100)).empty())
                    if (ProxyTestClient::TypeOf(d) == MsgRegistered)
                        return true;
                return false;
            },
            kSlowMs);
    }
    // Waits for n rounds of the proxy's aircraft state.
    bool Rounds(int n)
    {
        for (int seen = 0; seen < n;) {
            std::vector<uint8_t> d = observer->Receive(kSlowMs);
            if (d.empty())
                return false;
            seen += ProxyTestClient::TypeOf(d) == MsgAircraftState;
        }
        return true;
    }
    // Asks the program for its next picture, a few rounds after the last;
    // false when the proxy or the program stalled. *out is the picture
    // before it, complete once the next exists (width 0 for the first).
    bool NextPicture(const std::string& folder, const char* name, int* shot, Picture* out)
    {
        *out = Picture{};
        if (*shot >= kShots || !Rounds(kRoundsPerShot))
            return false;
        ++*shot;
        Trigger(folder, name, std::to_string(*shot));
        std::string next = folder + "/" + name + std::to_string(*shot) + ".png";
        if (!WaitFor([&] { return FileExists(next.c_str()) != 0; }, kSlowMs))
            return false;
        if (*shot == 1)
            return true;
        std::string last = folder + "/" + name + std::to_string(*shot - 1) + ".png";
        bool loaded = LoadPicture(last, out);
        std::remove(last.c_str());
        return loaded;
    }
    // Lines that take the pictures from..to, each on its trigger.
    static std::string PictureLines(const std::string& folder, const char* name, int from, int to)
    {
        std::string lines;
        for (int i = from; i <= to; ++i)
            lines += "await " + folder + "/" + name + ".trigger <" + std::to_string(i) + ">\nshot " + folder + "/" +
                     name + std::to_string(i) + ".png\n";
        return lines;
    }
    static std::string EndLines(const std::string& folder, const char* name)
    {
        return "await " + folder + "/" + name + ".trigger <end>\nwait 2\nquit\n";
    }
    // Lets the program take the pictures up to last at once (the lines of a
    // phase it no longer needs) and waits for them.
    bool SkipTo(const std::string& folder, const char* name, int* shot, int last)
    {
        std::string& said = triggers[name];
        for (++*shot; *shot <= last; ++*shot)
            said += "<" + std::to_string(*shot) + ">";
        *shot = last;
        WriteFileText(folder + "/" + name + ".trigger", said);
        std::string file = folder + "/" + name + std::to_string(last) + ".png";
        return WaitFor([&] { return FileExists(file.c_str()) != 0; }, kSlowMs);
    }
    // Pictures of one program until done holds for one; false when none did.
    template <class Done>
    bool PictureUntil(const std::string& folder, const char* name, int* shot, Done done, Picture* last)
    {
        while (NextPicture(folder, name, shot, last))
            if (last->width > 0 && done(*last))
                return true;
        return false;
    }
};

TEST_F(ProxyMapProgramsEndToEnd, OneProgramSwitchingTrafficOffLeavesTheOthersTraffic)
{
    // The user's aircraft all but stands at the home position; two AI
    // aircraft a little north of it (the traffic advisory shows targets
    // from two on).
    ASSERT_TRUE(simulator.Start({std::string(TVL_TOOLS_DIR) + "/tvl-simserver", "--path",
                                 "53.636666667,10.001;53.636666667,10.011", "--speed", "5", "--four-sec-ms", "300",
                                 "--control", root / "control"},
                                root / "sim.out", root.Path()));
    ASSERT_TRUE(WaitFor([&] { return FileExists((root / "sim.sock").c_str()) != 0; }, kSlowMs));
    Control("ai-add NORTH1 53.6767 10.001 3500\nai-add NORTH2 53.6867 9.981 4500");
    ASSERT_TRUE(proxy.Start({std::string(TVL_ROOT_DIR) + "/System/TVL64", "test"}, root / "proxy.out", root.Path()));
    ASSERT_TRUE(RegisterObserver());

    // The first program switches its traffic off (softkey 9, ctrl+3) on
    // its trigger "<off>", between its two phases of pictures.
    std::string first = root.Path(), other = second.Path();
    ASSERT_TRUE(StartProgram({}, PictureLines(first, "a", 1, kPhaseShots) + "await " + first +
                                     "/a.trigger <off>\nkey ctrl+3\n" +
                                     PictureLines(first, "a", kPhaseShots + 1, kShots) + EndLines(first, "a")));
    setenv("TVL_EVENT_SCRIPT", (second / "script.txt").c_str(), 1);
    ASSERT_TRUE(WriteFileText(second / "script.txt", PictureLines(other, "b", 1, kShots) + EndLines(other, "b")));
    ASSERT_TRUE(secondProgram.Start({std::string(TVL_ROOT_DIR) + "/System/tervalingo"}, second / "program.out",
                                    secondSystem));
    unsetenv("TVL_EVENT_SCRIPT");

    // Both show the aircraft north of them.
    int shotA = 0, shotB = 0;
    Picture a, b;
    auto northOnly = [](const Picture& p) { return LabelsOnSide(p, -1) > 30 && LabelsOnSide(p, 1) == 0; };
    ASSERT_TRUE(PictureUntil(first, "a", &shotA, northOnly, &a)) << "the first program shows the traffic";
    ASSERT_TRUE(PictureUntil(other, "b", &shotB, northOnly, &b)) << "the second program shows the traffic";

    // The first switches it off: the proxy hears it, and the first program's
    // map clears its targets.
    ASSERT_TRUE(SkipTo(first, "a", &shotA, kPhaseShots));
    Trigger(first, "a", "off");
    ASSERT_TRUE(WaitFor([&] { return ProxyOutput().find("no more traffic data") != std::string::npos; }, kSlowMs));
    auto none = [](const Picture& p) { return LabelsOnSide(p, -1) + LabelsOnSide(p, 1) == 0; };
    ASSERT_TRUE(PictureUntil(first, "a", &shotA, none, &a)) << "the first program shows no traffic";

    // The north aircraft leave, two south of the aircraft come: the second
    // program follows them, so its traffic still flows.
    Control("ai-remove NORTH1\nai-remove NORTH2\nai-add SOUTH1 53.5967 10.001 2500\nai-add SOUTH2 53.5867 9.981 1500");
    auto southOnly = [](const Picture& p) { return LabelsOnSide(p, 1) > 30 && LabelsOnSide(p, -1) == 0; };
    EXPECT_TRUE(PictureUntil(other, "b", &shotB, southOnly, &b)) << "the second program follows the traffic";
    // The first still shows none.
    ASSERT_TRUE(NextPicture(first, "a", &shotA, &a));
    ASSERT_TRUE(NextPicture(first, "a", &shotA, &a));
    EXPECT_TRUE(none(a));

    // The rest of their pictures at once, and the end.
    ASSERT_TRUE(SkipTo(first, "a", &shotA, kShots));
    ASSERT_TRUE(SkipTo(other, "b", &shotB, kShots));
    Trigger(first, "a", "end");
    Trigger(other, "b", "end");
    EXPECT_EQ(program.Wait(ProgramRunLimit), 0);
    EXPECT_EQ(secondProgram.Wait(ProgramRunLimit), 0);
}

}  // namespace
