// The settings dialogs of the helper programs: the exchange files as the map
// writes them, the replies as it takes them in (a missing, empty, short or
// out-of-range reply changes nothing it does not carry), and whole dialog
// runs against scripted helpers that play the helper's side.
#include "app/helper_dialogs.h"

#include "app/language.h"
#include "app/main_window.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "platform/profile.h"
#include "platform/window.h"
#include "simlink/sim_link.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class HelperDialogTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::unique_ptr<WorkingFolder> inFolder;
    std::string centre;

    void SetUp() override
    {
        std::snprintf(ProgramRoot, sizeof ProgramRoot, "%s", folder.Path().c_str());
        std::snprintf(SystemFolder, sizeof SystemFolder, "%s", folder.Path().c_str());
        std::snprintf(IniFilePath, sizeof IniFilePath, "%s", (folder / "Plovik.ini").c_str());
        inFolder = std::make_unique<WorkingFolder>(folder.Path());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PlainProc;
        wc.lpszClassName = "HelperDialogTest";
        RegisterClassA(&wc);
        MainWindowState.mainWindow = CreateWindowExA(0, "HelperDialogTest", "Map", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                                     101, 51, 640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(MainWindowState.mainWindow, nullptr);
        int p[11];
        GetMainWindowPlacement(p);
        centre = std::to_string((p[7] + p[9]) / 2) + " " + std::to_string((p[8] + p[10]) / 2) + "\n";
        Settings.TopMost = 0;
    }

    void TearDown() override
    {
        inFolder.reset();
        MainWindowState.mainWindow = nullptr;
        CloseWindowLayer();
    }

    // A helper program in the System folder played by a shell script.
    void Helper(const std::string& name, const std::string& body)
    {
        std::string path = folder / name;
        WriteFileText(path, "#!/bin/sh\n" + body + "\n");
        chmod(path.c_str(), 0755);
    }

    bool Exists(const std::string& name) { return access((folder / name).c_str(), F_OK) == 0; }
};

TEST_F(HelperDialogTest, ExchangeFilesStartWithTheWindowCentre)
{
    Settings.Autosize = 0;
    Settings.Vorsizefactor = 1.0f;
    Settings.Fixsizefactor = 0.5f;
    Settings.Aptsizefactor = 1.25f;
    Settings.Ndbsizefactor = 2.0f;
    Settings.Markersizefactor = 0.755f;
    Settings.Dmesizefactor = 1.5f;
    ASSERT_TRUE(WriteSymbolSizeExchange("size.txt"));
    EXPECT_EQ(ReadFileText(folder / "size.txt"), centre + "100 50 125 200 75 150 0\n");
    Settings.Autosize = 1;
    ASSERT_TRUE(WriteSymbolSizeExchange("size.txt"));
    EXPECT_EQ(ReadFileText(folder / "size.txt"), centre + "100 50 125 200 75 150 1\n");

    Settings.Volume = 0.5f;
    Settings.Sound = 1;
    ASSERT_TRUE(WriteVolumeExchange("sound.txt"));
    EXPECT_EQ(ReadFileText(folder / "sound.txt"), centre + "150 1\n");
    Settings.Sound = 0;
    Settings.Volume = 1.0f;
    ASSERT_TRUE(WriteVolumeExchange("sound.txt"));
    EXPECT_EQ(ReadFileText(folder / "sound.txt"), centre + "100 0\n");

    Settings.CPU_usage = 1;
    ASSERT_TRUE(WriteCpuUsageExchange("cpu.txt"));
    EXPECT_EQ(ReadFileText(folder / "cpu.txt"), centre + "-1 1\n");
    WriteFileText(folder / "Plovik.ini", "[Zorizeruverovu Plovik]\nUseProcessorCore=3\n");
    ASSERT_TRUE(WriteCpuUsageExchange("cpu.txt"));
    EXPECT_EQ(ReadFileText(folder / "cpu.txt"), centre + "3 1\n");

    Settings.RunwaySurfaceEmergency = 3;
    Settings.RunwayEmergencyLength = 1800.7;
    ASSERT_TRUE(WriteRunwayFilterExchange("filter.txt"));
    EXPECT_EQ(ReadFileText(folder / "filter.txt"), centre + "3 1800\n1\n");

    std::snprintf(Settings.Language, sizeof Settings.Language, "de");
    ASSERT_TRUE(WriteGpwsThresholdExchange("gpwsdata.txt"));
    EXPECT_EQ(ReadFileText(folder / "gpwsdata.txt"), centre + "de\n");

    ASSERT_TRUE(WriteWeatherNoticeExchange("TVLMessage.txt"));
    EXPECT_EQ(ReadFileText(folder / "TVLMessage.txt"), centre + GetGeneralText(8) + "\n");

    EXPECT_FALSE(WriteVolumeExchange((folder / "no-such-folder/sound.txt").c_str()));
}

TEST_F(HelperDialogTest, RepliesAreTakenWithTheirRules)
{
    Settings.Volume = 1.0f;
    Settings.Sound = 1;
    EXPECT_EQ(ApplyVolumeReply("50 0"), 2);
    EXPECT_FLOAT_EQ(Settings.Volume, 0.5f);
    EXPECT_EQ(Settings.Sound.load(), 0);

    Settings.RunwaySurfaceEmergency = 1;
    EXPECT_EQ(ApplyRunwayFilterReply("2 1800"), 2);
    EXPECT_EQ(Settings.RunwaySurfaceEmergency, 3);
    EXPECT_DOUBLE_EQ(Settings.RunwayEmergencyLength, 1800.0);
    EXPECT_EQ(ApplyRunwayFilterReply("1 2500"), 2);
    EXPECT_EQ(Settings.RunwaySurfaceEmergency, 1);

    Settings.Autosize = 1;
    EXPECT_EQ(ApplySymbolSizeReply("120 80 100 90 110 130 0"), 7);
    EXPECT_EQ(Settings.Autosize, 0);
    EXPECT_FLOAT_EQ(Settings.Vorsizefactor, 1.2f);
    EXPECT_FLOAT_EQ(Settings.Fixsizefactor, 0.8f);
    EXPECT_FLOAT_EQ(Settings.Ndbsizefactor, 0.9f);
    EXPECT_FLOAT_EQ(Settings.Dmesizefactor, 1.3f);
    // With the flag set the sizes are not taken.
    EXPECT_EQ(ApplySymbolSizeReply("300 300 300 300 300 300 1"), 1);
    EXPECT_EQ(Settings.Autosize, 1);
    EXPECT_FLOAT_EQ(Settings.Vorsizefactor, 1.2f);

    Settings.CPU_usage = 2;
    EXPECT_EQ(ApplyCpuUsageReply("2 0"), 2);
    EXPECT_EQ(Settings.CPU_usage, 0);
    char core[16];
    GetPrivateProfileStringA("Zorizeruverovu Plovik", "UseProcessorCore", "", core, sizeof core, "./Plovik.ini");
    EXPECT_STREQ(core, "2");

    Settings.WeatherMessage = 0;
    EXPECT_EQ(ApplyWeatherNoticeReply("1"), 1);
    EXPECT_EQ(Settings.WeatherMessage, 1);
    EXPECT_EQ(ApplyWeatherNoticeReply("0"), 1);
    EXPECT_EQ(Settings.WeatherMessage, 0);
}

TEST_F(HelperDialogTest, MissingShortOrGarbageRepliesChangeOnlyWhatTheyCarry)
{
    Settings.Volume = 0.8f;
    Settings.Sound = 1;
    Settings.RunwaySurfaceEmergency = 1;
    Settings.RunwayEmergencyLength = 1000;
    Settings.CPU_usage = 2;
    Settings.Autosize = 1;
    Settings.Vorsizefactor = 1.0f;
    Settings.WeatherMessage = 0;
    for (const char* bad : {"", "garbage", "x 1", "12abc 0", "99999999999999999999 1"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ApplyVolumeReply(bad), 0);
        EXPECT_EQ(ApplyRunwayFilterReply(bad), 0);
        EXPECT_EQ(ApplyCpuUsageReply(bad), 0);
        EXPECT_EQ(ApplySymbolSizeReply(bad), 0);
        EXPECT_EQ(ApplyWeatherNoticeReply(bad), 0);
    }
    // Out of range: volume above 200, surface 7, CPU usage 5, a size of 0.
    EXPECT_EQ(ApplyVolumeReply("500 0"), 1);
    EXPECT_EQ(ApplyRunwayFilterReply("7 -5"), 0);
    EXPECT_EQ(ApplyCpuUsageReply("999 5"), 0);
    EXPECT_EQ(ApplySymbolSizeReply("0 100 100 100 100 100 0"), 6);
    // Short: the missing numbers keep their settings.
    EXPECT_EQ(ApplyVolumeReply("40"), 1);
    EXPECT_EQ(ApplySymbolSizeReply("50 50 50"), 0);
    // The centre line of an exchange that was not answered is no reply.
    EXPECT_EQ(ApplyWeatherNoticeReply("320 240"), 0);

    EXPECT_FLOAT_EQ(Settings.Volume, 0.4f);
    EXPECT_EQ(Settings.Sound.load(), 0);
    EXPECT_EQ(Settings.RunwaySurfaceEmergency, 1);
    EXPECT_DOUBLE_EQ(Settings.RunwayEmergencyLength, 1000.0);
    EXPECT_EQ(Settings.CPU_usage, 2);
    EXPECT_FLOAT_EQ(Settings.Vorsizefactor, 1.0f);
    EXPECT_EQ(Settings.WeatherMessage, 0);
    EXPECT_FALSE(Exists("Plovik.ini"));
}

TEST_F(HelperDialogTest, ReplyReaderCutsTheFirstLineAndKeepsTheBufferWithoutAFile)
{
    char out[8] = "kept";
    ReadHelperReply("none.res", out, sizeof out);
    EXPECT_STREQ(out, "kept");
    WriteFileText(folder / "a.res", "EDDH_12\nsecond\n");
    ReadHelperReply("a.res", out, sizeof out);
    EXPECT_STREQ(out, "EDDH_12");
    WriteFileText(folder / "b.res", "a very long line\n");
    ReadHelperReply("b.res", out, sizeof out);
    EXPECT_STREQ(out, "a very ");
    WriteFileText(folder / "c.res", "");
    ReadHelperReply("c.res", out, sizeof out);
    EXPECT_STREQ(out, "");
}

TEST_F(HelperDialogTest, VolumeDialogRunsTheHelperOnItsExchangeAndTakesTheReply)
{
    Helper("Vonta", "[ \"$1\" = sound.txt ] || exit 1\n[ -f sound.txt ] || exit 1\n"
                    "[ -f sound.txt.res ] && exit 1\nprintf '50 0' > \"$1.res\"");
    // A reply left from an earlier run is no answer to this one.
    WriteFileText(folder / "sound.txt.res", "10 1");
    Settings.Volume = 1.0f;
    Settings.Sound = 1;
    RunVolumeDialog();
    EXPECT_FLOAT_EQ(Settings.Volume, 0.5f);
    EXPECT_EQ(Settings.Sound.load(), 0);
    EXPECT_FALSE(Exists("sound.txt.res"));
}

TEST_F(HelperDialogTest, AHelperThatLeavesNoReplyOrIsMissingChangesNothing)
{
    WriteFileText(folder / "filter.txt.res", "2 3000");
    Settings.RunwaySurfaceEmergency = 1;
    Settings.RunwayEmergencyLength = 1000;
    RunRunwayFilterDialog();  // no helper installed
    EXPECT_EQ(Settings.RunwaySurfaceEmergency, 1);
    Helper("Markel", "exit 0");
    Settings.Autosize = 1;
    RunSymbolSizeDialog();
    EXPECT_EQ(Settings.Autosize, 1);
    EXPECT_TRUE(Exists("size.txt"));
}

TEST_F(HelperDialogTest, FilterReplyLeftForTheSettingsWriterIsTakenOnce)
{
    Settings.RunwaySurfaceEmergency = 1;
    TakeFilterDialogResult();
    EXPECT_EQ(Settings.RunwaySurfaceEmergency, 1);
    WriteFileText(folder / "filter.txt.res", "2 2000\n");
    TakeFilterDialogResult();
    EXPECT_EQ(Settings.RunwaySurfaceEmergency, 3);
    EXPECT_DOUBLE_EQ(Settings.RunwayEmergencyLength, 2000.0);
    EXPECT_FALSE(Exists("filter.txt.res"));
}

TEST_F(HelperDialogTest, GpwsHelperWritesTheSettingsFileWhichIsReadBack)
{
    Helper("Harnel", "[ -f \"$1\" ] || exit 1\nprintf '[Zorizeruverovu Plovik]\\nDepartureEnroute=1200\\n"
                     "EnrouteApproach=oops\\n' > Plovik.ini");
    Settings.DepartureEnroute = 1000;
    Settings.EnrouteApproach = 1500;
    RunGpwsThresholdDialog();
    EXPECT_EQ(Settings.DepartureEnroute, 1200);
    EXPECT_EQ(Settings.EnrouteApproach, 1500);
}

TEST_F(HelperDialogTest, TopmostWindowStepsBackWhileTheHelperRuns)
{
    Settings.TopMost = 1;
    SetWindowTopmost();
    Helper("Quessa", "touch started\nwhile [ ! -f go ]; do sleep 0.01; done\nprintf '0 1' > \"$1.res\"");
    std::atomic<long> styleWhileRunning{-1};
    std::atomic<bool> idleWhileRunning{true};
    std::thread watcher([&] {
        for (int i = 0; i < 1000 && !Exists("started"); i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        styleWhileRunning = GetWindowLongA(MainWindowState.mainWindow, GWL_EXSTYLE);
        idleWhileRunning = IsHelperIdle();
        WriteFileText(folder / "go", "");
    });
    RunCpuUsageDialog();
    watcher.join();
    EXPECT_EQ(styleWhileRunning & WS_EX_TOPMOST, 0);
    EXPECT_FALSE(idleWhileRunning);
    EXPECT_TRUE(IsHelperIdle());
    EXPECT_NE(GetWindowLongA(MainWindowState.mainWindow, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(Settings.CPU_usage, 1);
}

TEST_F(HelperDialogTest, WeatherNoticeShowsUntilConfirmedAndNeverWithMsfs)
{
    Helper("TVLMessageBox", "echo run >> runs\nprintf '1' > \"$1\"");
    Settings.WeatherState = 0;
    Settings.WeatherMessage = 0;
    Settings.UseSimulator = SimulatorMsfs;
    ToggleWeather();
    EXPECT_EQ(Settings.WeatherState.load(), 1);
    EXPECT_FALSE(Exists("runs"));
    ToggleWeather();
    EXPECT_EQ(Settings.WeatherState.load(), 0);

    Settings.UseSimulator = SimulatorXPlane;
    Settings.Terrainstate = 1;
    ToggleWeather();
    EXPECT_EQ(Settings.Terrainstate, 0);
    EXPECT_EQ(ReadFileText(folder / "runs"), "run\n");
    EXPECT_EQ(Settings.WeatherMessage, 1);
    ToggleWeather();
    ToggleWeather();
    EXPECT_EQ(ReadFileText(folder / "runs"), "run\n");

    // Not confirmed: shown again next time.
    Helper("TVLMessageBox", "echo run >> runs\nprintf '0' > \"$1\"");
    Settings.WeatherMessage = 0;
    Settings.WeatherState = 0;
    ToggleWeather();
    ToggleWeather();
    ToggleWeather();
    EXPECT_EQ(ReadFileText(folder / "runs"), "run\nrun\nrun\n");
    EXPECT_EQ(Settings.WeatherMessage, 0);
}

TEST_F(HelperDialogTest, MissingManualIsReportedNotOpened)
{
    std::snprintf(Settings.Language, sizeof Settings.Language, "en");
    OpenManual();
    EXPECT_TRUE(IsHelperIdle());
}

}  // namespace
