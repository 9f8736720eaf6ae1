// The commands as a user reaches them: the built map program run headless,
// driven by an event script through the menu pages and the click zones; a
// connect command switching the link; EXIT answered both ways; and the MSFS
// link saying goodbye to its peer however the program ends.
#include "simlink/proxy_protocol.h"
#include "tests/support/program_end_to_end.h"
#include "tests/support/udp_peer.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// A proxy stand-in on loopback: answers the registration, keeps the link
// alive, and records what the map program sent (type and client id).
class ProxyPeer {
public:
    ProxyPeer() : thread_([this] { Serve(); }) {}
    ~ProxyPeer()
    {
        stop_ = true;
        thread_.join();
    }
    uint16_t Port() const { return peer_.Port(); }
    // The client id of the first request of type, -1 while none came.
    int32_t ClientIdOf(uint32_t type)
    {
        std::lock_guard<std::mutex> lock(lock_);
        for (const auto& r : received_)
            if (r.first == type)
                return r.second;
        return -1;
    }

private:
    void Serve()
    {
        auto lastAlive = std::chrono::steady_clock::now();
        while (!stop_) {
            std::vector<uint8_t> d;
            if (peer_.Receive(&d, 50) && d.size() >= sizeof(ProxyRequest)) {
                ProxyRequest r;
                std::memcpy(&r, d.data(), sizeof(r));
                {
                    std::lock_guard<std::mutex> lock(lock_);
                    received_.push_back({r.type, r.clientId});
                }
                if (r.type == MsgRegister)
                    Reply(MsgRegistered, r.clientId);
            }
            auto now = std::chrono::steady_clock::now();
            if (peer_.HasSender() && now - lastAlive > std::chrono::milliseconds(300)) {
                Reply(MsgKeepAlive, 0);
                lastAlive = now;
            }
        }
    }
    void Reply(uint32_t type, int32_t clientId)
    {
        ProxyShortReply reply{ProxyMagic, type, 3, clientId, 0.0};
        peer_.Send(&reply, sizeof(reply));
    }

    UdpPeer peer_;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<std::pair<uint32_t, int32_t>> received_;
    std::thread thread_;
};

class CommandsEndToEnd : public ProgramEndToEnd {
protected:
    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        // No tiles are fetched: the grid is laid out all the same.
        Set("Zorizeruverovu Plovik", "t", "0");
    }
    void Set(const char* section, const char* key, const char* value)
    {
        WritePrivateProfileStringA(section, key, value, ini.c_str());
    }
    bool Start(const std::string& script)
    {
        return StartProgram({}, script);
    }
    // The softkey pages the log names, in order.
    std::vector<std::string> Pages()
    {
        std::vector<std::string> pages;
        std::istringstream lines(Log());
        for (std::string line; std::getline(lines, line);) {
            size_t at = line.find("Softkey page ");
            if (at != std::string::npos)
                pages.push_back(line.substr(at + 13));
        }
        return pages;
    }
    bool WaitForLog(const char* text, int seconds = 30)
    {
        for (int i = 0; i < seconds * 20; ++i) {
            if (CountLines(Log(), text) > 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
};

TEST_F(CommandsEndToEnd, MenuReachesEveryPageAndTheBackKeyLeadsHome)
{
    // Keys 1..7 are softkeys 0..6, with Ctrl 7..13; Esc is the back key.
    const char* script =
        "wait 10\n"
        "key 1\nkey ESC\n"                                           // map types
        "key 2\nkey 6\nkey ESC\nkey ctrl+4\nkey ESC\nkey ctrl+7\nkey ESC\nkey ESC\n"  // navigation pages
        "key ctrl+1\nkey 1\nkey ESC\nkey 3\nkey 6\nkey ESC\n"          // options: simulators, colours, widths
        "key 3\nkey 5\nkey ESC\nkey ESC\n"                           // airspace colours
        "key ctrl+2\nkey ESC\n"                                      // user map (back leads home)
        "key ctrl+1\nkey ctrl+1\nkey ctrl+1\nkey 1\nkey ESC\nkey ESC\nkey ESC\nkey ESC\n"  // second, third, languages
        "key ESC\nkey 7\n"                                           // top bar and MENU again
        "wait 5\nquit\n";
    ASSERT_TRUE(Start(script));
    ASSERT_EQ(program.Wait(ProgramRunLimit), 0);
    std::vector<std::string> expected = {
        "6/0", "0/0",                                                      //
        "3/0", "3/1", "3/0", "3/2", "3/0", "3/3", "3/0", "0/0",            //
        "5/0", "5/1", "5/0", "5/2", "5/5", "5/0",                          //
        "5/2", "5/7", "5/4", "5/0",                                        //
        "5/3", "0/0",                                                      //
        "5/0", "5/4", "5/6", "5/8", "5/6", "5/4", "5/0", "0/0",            //
        "0/0 (top bar)", "0/0"};
    EXPECT_EQ(Pages(), expected) << Log();
    EXPECT_EQ(Get("Softkeylevel"), "0");
    EXPECT_EQ(Get("Softkeysublevel"), "0");
    EXPECT_EQ(Get("Softkeys"), "1");
}

TEST_F(CommandsEndToEnd, ZoomInZoneChangesTheScale)
{
    ASSERT_EQ(Get("Tile"), "11");
    // The zoom-in zone of the bezel, at virtual (587, 135), in the 640 x 360
    // client area.
    ASSERT_TRUE(Start("wait 20\nclick 587 101\nwait 40\nsleep 500\nwait 5\nquit\n"));
    ASSERT_EQ(program.Wait(ProgramRunLimit), 0);
    EXPECT_EQ(Get("Tile"), "12") << Log();
}

TEST_F(CommandsEndToEnd, ConnectCommandSwitchesTheLinkAndItRegisters)
{
    ProxyPeer peer;
    Set("Zorizeruverovu Plovik", "UseSimulator", "4");
    Set("MSFS", "IPAddress", "127.0.0.1");
    Set("MSFS", "Port", std::to_string(peer.Port()).c_str());
    // Options, simulators, MSFS.
    ASSERT_TRUE(Start("wait 10\nkey ctrl+1\nkey 1\nkey 6\nwait 5\n"));
    ASSERT_TRUE(WaitForLog("Connected to MSFS")) << Log();
    EXPECT_GT(peer.ClientIdOf(MsgRegister), 0);
    kill(program.Pid(), SIGTERM);
    ASSERT_EQ(program.Wait(ProgramRunLimit), 0);
    EXPECT_EQ(Get("UseSimulator"), "7");
}

TEST_F(CommandsEndToEnd, ExitAsksAndEndsOnlyOnYes)
{
    Set("Zorizeruverovu Plovik", "Softkeys", "0");
    setenv("TVL_MESSAGEBOX_ANSWER", "IDNO", 1);
    ASSERT_TRUE(Start("wait 10\nkey 1\nwait 10\nkey 7\nwait 5\nquit\n"));
    ASSERT_EQ(program.Wait(ProgramRunLimit), 0);
    std::string log = Log();
    EXPECT_EQ(CountLines(log, "MessageBox [Zorizeruverovu Plovik] Do you want to quit Tervalingo?"), 1) << log;
    // Still running after No: the MENU key after it was taken.
    EXPECT_EQ(CountLines(log, "Softkey page 0/0"), 1) << log;

    setenv("TVL_MESSAGEBOX_ANSWER", "IDYES", 1);
    Set("Zorizeruverovu Plovik", "Softkeys", "0");
    std::remove((system + "/Tervalingo.log").c_str());
    ASSERT_TRUE(Start("wait 10\nkey 1\nwait 10\nkey 7\nwait 5\nquit\n"));
    ASSERT_EQ(program.Wait(ProgramRunLimit), 0);
    log = Log();
    EXPECT_EQ(CountLines(log, "Do you want to quit Tervalingo?"), 1) << log;
    EXPECT_EQ(CountLines(log, "Softkey page"), 0) << log;  // ended before MENU
    EXPECT_EQ(CountLines(log, "Program ended"), 1);
}

// However the program ends, the registered MSFS link unregisters first.
class GoodbyeTest : public CommandsEndToEnd, public ::testing::WithParamInterface<const char*> {};

TEST_P(GoodbyeTest, PeerHearsTheUnregisterWithTheClientId)
{
    ProxyPeer peer;
    Set("MSFS", "IPAddress", "127.0.0.1");
    Set("MSFS", "Port", std::to_string(peer.Port()).c_str());
    Set("Zorizeruverovu Plovik", "UseSimulator", "7");
    Set("Zorizeruverovu Plovik", "Softkeys", "0");
    setenv("TVL_MESSAGEBOX_ANSWER", "IDYES", 1);
    std::string way = GetParam();
    // The link starts before the message loop; the loop goes on until the
    // log says it registered.
    std::string script = "wait 10\nawait Tervalingo.log Connected to MSFS\nwait 2\n";
    if (way == "exit")
        script += "key 1\nwait 20\n";
    else if (way == "close")
        script += "close\nwait 20\n";
    else
        script += "sleep 30000\nwait 2\nquit\n";
    ASSERT_TRUE(Start(script));
    ASSERT_TRUE(WaitForLog("Connected to MSFS")) << Log();
    int32_t id = peer.ClientIdOf(MsgRegister);
    ASSERT_GT(id, 0);
    if (way == "signal")
        kill(program.Pid(), SIGTERM);
    ASSERT_EQ(program.Wait(ProgramRunLimit), 0);
    EXPECT_EQ(CountLines(Log(), "Program ended"), 1) << Log();
    EXPECT_TRUE(WaitFor([&] { return peer.ClientIdOf(MsgUnregister) == id; }, 2000))
        << "unregister: " << peer.ClientIdOf(MsgUnregister);
}

INSTANTIATE_TEST_SUITE_P(Ways, GoodbyeTest, ::testing::Values("exit", "close", "signal"));

}  // namespace
