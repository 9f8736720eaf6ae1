// The sound binding: the library found by name in the System folder, sounds
// played on threads of their own only while a simulator is connected, sound
// is on and the simulator runs, and the end waiting for what still plays.
#include "simlink/sound.h"

#include "app/helper_dialogs.h"
#include "app/settings.h"
#include "proxy_datagrams.h"
#include "simlink/msfs_link.h"
#include "simlink/traffic_advisory.h"
#include "tests/support/link_state.h"
#include "tests/support/sound_root.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

void Feed(const std::vector<uint8_t>& d) { HandleMsfsDatagram(d.data(), d.size()); }

// The MSFS link registered and holding a state: a connected simulator.
void ConnectSimulator(bool paused = false)
{
    Settings.UseSimulator = SimulatorMsfs;
    Feed(ShortReply(MsgRegistered, 1));
    ProxyAircraftState s = MakeState(53.6, 10.0);
    s.paused = paused ? 1 : 0;
    Feed(StateDatagram(s));
}

bool WaitUntilQuiet()
{
    for (int i = 0; i < 500 && SoundsPlaying.load() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return SoundsPlaying.load() == 0;
}

class SoundTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    TempFolder root;
    WorkingFolder here{root.Path()};
    std::string output = root / "heard.raw";
    std::string system;

    void SetUp() override
    {
        system = MakeSoundRoot(root.Path(), {{5, 3}, {2, 2}});
        UseDiskAudio(output);
        Settings.DebugMode = true;
        Settings.Sound = 1;
        Settings.Volume = 1.0f;
    }
    void TearDown() override { Settings.DebugMode = false; }
    std::string Log() { return ReadFileText(root / "Tervalingo.log"); }
};

TEST_F(SoundTest, AlertPlaysOnItsOwnThreadAndIsHeard)
{
    InitSound(system.c_str(), root.Path().c_str());
    ASSERT_EQ(SoundReady.load(), 1);
    ConnectSimulator();
    EXPECT_EQ(PlaySoundNumber(SoundTrafficAlert), 1);
    // The caller does not wait for the 0.24 s tone: it still plays.
    EXPECT_EQ(SoundsPlaying.load(), 1);
    EXPECT_EQ(PendingSoundNumber.load(), SoundTrafficAlert);
    ShutdownSound();
    EXPECT_EQ(SoundsPlaying.load(), 0);
    EXPECT_EQ(SoundReady.load(), 0);
    EXPECT_GT(LoudSamples(ReadDiskAudio(output)), 1000);
}

TEST_F(SoundTest, VolumeSettingIsTheLibrarysDefaultAndTheHelpersResultChangesIt)
{
    Settings.Volume = 0.0f;
    InitSound(system.c_str(), root.Path().c_str());
    ConnectSimulator();
    ASSERT_EQ(PlaySoundNumber(SoundTrafficAlert), 1);
    ASSERT_TRUE(WaitUntilQuiet());
    SetSoundVolume(1.0f);
    ASSERT_EQ(PlaySoundNumber(SoundClick), 1);
    ShutdownSound();
    std::vector<int16_t> heard = ReadDiskAudio(output);
    // Only the click after the change is heard: 15 ms, some hundred samples.
    int loud = LoudSamples(heard);
    EXPECT_GT(loud, 20);
    EXPECT_LT(loud, 400);
}

// The volume dialog's answer is heard at once, not only after the display
// has been started again.
TEST_F(SoundTest, TheVolumeDialogsAnswerTakesEffectAtOnce)
{
    InitSound(system.c_str(), root.Path().c_str());
    ConnectSimulator();
    EXPECT_EQ(ApplyVolumeReply("0 1"), 2);
    EXPECT_EQ(Settings.Volume, 0.0f);
    ASSERT_EQ(PlaySoundNumber(SoundTrafficAlert), 1);
    ShutdownSound();
    EXPECT_EQ(LoudSamples(ReadDiskAudio(output)), 0);
}

TEST_F(SoundTest, NothingPlaysWithoutAConnectedSimulator)
{
    InitSound(system.c_str(), root.Path().c_str());
    ASSERT_EQ(SoundReady.load(), 1);
    Settings.UseSimulator = SimulatorMsfs;
    EXPECT_EQ(PlaySoundNumber(SoundClick), 0);
    EXPECT_EQ(PendingSoundNumber.load(), -1);
    ShutdownSound();
}

TEST_F(SoundTest, NothingPlaysWhileTheSimulatorIsPaused)
{
    InitSound(system.c_str(), root.Path().c_str());
    ConnectSimulator(true);
    ASSERT_EQ(SimPaused.load(), 1);
    EXPECT_EQ(PlaySoundNumber(SoundTrafficAlert), 0);
    ConnectSimulator(false);
    EXPECT_EQ(PlaySoundNumber(SoundTrafficAlert), 1);
    ShutdownSound();
}

TEST_F(SoundTest, SoundSettingOtherThanOneSilencesButTheLibraryStillStarts)
{
    Settings.Sound = 2;
    InitSound(system.c_str(), root.Path().c_str());
    EXPECT_EQ(SoundReady.load(), 1);
    ConnectSimulator();
    EXPECT_EQ(PlaySoundNumber(SoundTrafficAlert), 0);
    Settings.Sound = 0;
    EXPECT_EQ(PlaySoundNumber(SoundTrafficAlert), 0);
    ShutdownSound();
    EXPECT_EQ(LoudSamples(ReadDiskAudio(output), 0), 0);
}

TEST_F(SoundTest, AbsentLibraryLeavesTheProgramSilentWithALogLine)
{
    std::string elsewhere = root / "Empty";
    MakeFolders(elsewhere);
    InitSound(elsewhere.c_str(), root.Path().c_str());
    EXPECT_EQ(SoundReady.load(), 0);
    ConnectSimulator();
    for (int n = 1; n <= 20; ++n)
        EXPECT_EQ(PlaySoundNumber(n), 0);
    SetSoundVolume(0.5f);
    ShutdownSound();
    EXPECT_NE(Log().find("Sound library not loaded"), std::string::npos) << Log();
}

TEST_F(SoundTest, FailedStartLeavesTheProgramSilentWithALogLine)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    InitSound(system.c_str(), root.Path().c_str());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(SoundReady.load(), 0);
    ConnectSimulator();
    EXPECT_EQ(PlaySoundNumber(SoundClick), 0);
    ShutdownSound();
    EXPECT_NE(Log().find("Sound output not started"), std::string::npos) << Log();
}

TEST_F(SoundTest, DisplayRestartsEndAndStartTheSoundAgain)
{
    for (int round = 0; round < 3; ++round) {
        InitSound(system.c_str(), root.Path().c_str());
        ASSERT_EQ(SoundReady.load(), 1) << round;
        ConnectSimulator();
        EXPECT_EQ(PlaySoundNumber(SoundClick), 1);
        ShutdownSound();
        EXPECT_EQ(SoundReady.load(), 0);
    }
}

TEST_F(SoundTest, SoundsStartedTogetherEachPlayTheirOwnNumber)
{
    // Sound 2 exists, sound 9 does not: were the number shared, both threads
    // could play 9 and nothing would be heard.
    InitSound(system.c_str(), root.Path().c_str());
    ConnectSimulator();
    testing::internal::CaptureStderr();
    ASSERT_EQ(PlaySoundNumber(SoundClick), 1);
    ASSERT_EQ(PlaySoundNumber(SoundTooLowTerrain), 1);
    ShutdownSound();
    testing::internal::GetCapturedStderr();
    EXPECT_GT(LoudSamples(ReadDiskAudio(output)), 20);
}

}  // namespace
