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

    // A loud 16-bit mono tone of the output's rate.
    static void WriteTone(const std::string& path, int seconds)
    {
        const uint32_t rate = 22050, samples = rate * static_cast<uint32_t>(seconds);
        std::string wav = "RIFF____WAVEfmt ";
        auto word = [&wav](uint32_t v, int bytes) {
            for (int i = 0; i < bytes; i++)
                wav += static_cast<char>((v >> (8 * i)) & 0xFF);
        };
        word(16, 4);
        word(1, 2);  // PCM
        word(1, 2);  // mono
        word(rate, 4);
        word(rate * 2, 4);
        word(2, 2);
        word(16, 2);
        wav += "data";
        word(samples * 2, 4);
        for (uint32_t i = 0; i < samples; i++)
            word(static_cast<uint16_t>((i / 25) % 2 ? 12000 : -12000), 2);
        uint32_t riff = static_cast<uint32_t>(wav.size() - 8);
        for (int i = 0; i < 4; i++)
            wav[4 + i] = static_cast<char>((riff >> (8 * i)) & 0xFF);
        WriteFileText(path, wav);
    }
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
    play(7);
    play(7);
    play(0);
    play(999);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no sound 7"), std::string::npos) << said;
    EXPECT_NE(said.find("sound07.wav"), std::string::npos) << said;
    EXPECT_EQ(said.find("no sound 7", said.find("no sound 7") + 1), std::string::npos) << "said once: " << said;
    end();
    EXPECT_EQ(LoudSamples(Heard(), 0), 0);
}

TEST_F(SoundLibraryTest, OverlappingSoundsAllReturnAndEndLetsWaitingPlayersGo)
{
    // A 30 s tone: once it is heard, its player waits for its end.
    WriteTone(root / "Sounds/sound09.wav", 30);
    ASSERT_EQ(start(root.Path().c_str()), 1);
    std::vector<std::thread> players;
    for (int i = 0; i < 12; ++i)
        players.emplace_back([this, i] { play(i % 2 ? 5 : 2); });
    for (std::thread& t : players)
        t.join();
    int heardBefore = LoudSamples(Heard());
    auto t0 = std::chrono::steady_clock::now();
    std::thread late([this] { play(9); });
    auto deadline = t0 + std::chrono::seconds(30);  // safety net
    while (LoudSamples(Heard()) <= heardBefore && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    end();
    late.join();
    // Let go by the end, not by the tone's own end.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30));
    EXPECT_GT(LoudSamples(Heard()), heardBefore);
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
