// The sound library as the program binds it: loaded by name, started on the
// disk audio driver, whose output file shows what was heard.
#include "platform/library.h"

#include "tests/support/sound_root.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <thread>

namespace {

class SoundLibraryTest : public ::testing::Test {
protected:
    TempFolder root;
    std::string output = root / "heard.raw";
    HMODULE module = nullptr;
    int (*start)(const char*) = nullptr;
    void (*play)(int) = nullptr;
    void (*end)() = nullptr;
    void (*volume)(float) = nullptr;
    void (*defaultVolume)(float) = nullptr;

    // Sound 5 is the built refusal tone, sound 2 the click; nothing else.
    void SetUp() override
    {
        std::string system = MakeSoundRoot(root.Path(), {{5, 3}, {2, 2}});
        UseDiskAudio(output);
        module = LoadLibraryA((system + "\\PlovikSound.dll").c_str());
        ASSERT_NE(module, nullptr) << GetLibraryErrorText();
        start = GetProcAddressAs<int (*)(const char*)>(module, "XAudio2Init");
        play = GetProcAddressAs<void (*)(int)>(module, "QRPlaySound");
        end = GetProcAddressAs<void (*)()>(module, "EndXAudio");
        volume = GetProcAddressAs<void (*)(float)>(module, "SetXAudioVolume");
        defaultVolume = GetProcAddressAs<void (*)(float)>(module, "SetXAudioVolumeDefault");
        ASSERT_TRUE(start && play && end && volume && defaultVolume);
    }

    std::vector<int16_t> Heard() { return ReadDiskAudio(output); }
};

TEST_F(SoundLibraryTest, PlayedSoundReachesTheOutputAndReturnsOnceHeard)
{
    ASSERT_EQ(start(root.Path().c_str()), 1);
    defaultVolume(1.0f);
    auto t0 = std::chrono::steady_clock::now();
    play(5);
    // The tone lasts 0.24 s; the call returns only after it.
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(200));
    end();
    EXPECT_GT(LoudSamples(Heard()), 1000);
}

TEST_F(SoundLibraryTest, VolumeZeroIsSilence)
{
    ASSERT_EQ(start(root.Path().c_str()), 1);
    defaultVolume(0.0f);
    play(5);
    end();
    std::vector<int16_t> heard = Heard();
    EXPECT_GT(heard.size(), 1000u);
    EXPECT_EQ(LoudSamples(heard, 0), 0);
}

TEST_F(SoundLibraryTest, VolumeOutsideItsRangeIsBroughtIntoIt)
{
    ASSERT_EQ(start(root.Path().c_str()), 1);
    volume(-3.0f);
    play(5);
    volume(std::numeric_limits<float>::quiet_NaN());
    play(2);
    end();
    EXPECT_EQ(LoudSamples(Heard(), 0), 0);
}

TEST_F(SoundLibraryTest, MissingSoundIsSilentAndSaysWhichFile)
{
    ASSERT_EQ(start(root.Path().c_str()), 1);
    testing::internal::CaptureStderr();
    auto t0 = std::chrono::steady_clock::now();
    play(7);
    play(7);
    play(0);
    play(999);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no sound 7"), std::string::npos) << said;
    EXPECT_NE(said.find("sound07.wav"), std::string::npos) << said;
    EXPECT_EQ(said.find("no sound 7", said.find("no sound 7") + 1), std::string::npos) << "said once: " << said;
    end();
    EXPECT_EQ(LoudSamples(Heard(), 0), 0);
}

TEST_F(SoundLibraryTest, OverlappingSoundsAllReturnAndEndLetsWaitingPlayersGo)
{
    ASSERT_EQ(start(root.Path().c_str()), 1);
    std::vector<std::thread> players;
    for (int i = 0; i < 12; ++i)
        players.emplace_back([this, i] { play(i % 2 ? 5 : 2); });
    for (std::thread& t : players)
        t.join();
    std::thread late([this] { play(5); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    auto t0 = std::chrono::steady_clock::now();
    end();
    late.join();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_GT(LoudSamples(Heard()), 1000);
}

TEST_F(SoundLibraryTest, StartsAgainAfterItsEndAndPlaysNothingInBetween)
{
    ASSERT_EQ(start(root.Path().c_str()), 1);
    EXPECT_EQ(start(root.Path().c_str()), 1);
    end();
    end();
    play(5);  // not started: returns at once
    ASSERT_EQ(start(root.Path().c_str()), 1);
    play(5);
    end();
    EXPECT_GT(LoudSamples(Heard()), 1000);
}

TEST_F(SoundLibraryTest, WithoutAudioDeviceTheStartFailsAndPlayDoesNothing)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    EXPECT_NE(start(root.Path().c_str()), 1);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("PlovikSound: no audio"), std::string::npos) << said;
    play(5);
    end();
}

TEST_F(SoundLibraryTest, MissingSoundFolderLeavesEverySoundSilent)
{
    ASSERT_EQ(start((root / "Elsewhere").c_str()), 1);
    testing::internal::CaptureStderr();
    play(5);
    testing::internal::GetCapturedStderr();
    end();
    EXPECT_EQ(LoudSamples(Heard(), 0), 0);
}

}  // namespace

namespace {

// The build makes every sound the program plays: the tones always, the
// spoken ones all together or (without espeak-ng) none of them.
TEST(BuiltSounds, RootHoldsTheTonesAndEitherAllOrNoneOfTheWords)
{
    auto has = [](int n) {
        char name[64];
        std::snprintf(name, sizeof name, "%s/Sounds/sound%02d.wav", TVL_ROOT_DIR, n);
        return std::filesystem::exists(name) && std::filesystem::file_size(name) > 44;
    };
    for (int tone : {2, 3, 12})
        EXPECT_TRUE(has(tone)) << tone;
    bool spoken = has(1);
    for (int n : {1, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20})
        EXPECT_EQ(has(n), spoken) << n;
}

}  // namespace
