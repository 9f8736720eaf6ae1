// The shipped helper programs, run headless by the map's own dialog commands
// with a scripted answer: each reads the exchange file the map wrote and
// leaves the reply the map takes in; a cancelled dialog leaves none.
#include "app/helper_dialogs.h"

#include "app/main_window.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "simlink/sim_link.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

class HelperProgramTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::unique_ptr<WorkingFolder> inFolder;

    void SetUp() override
    {
        std::snprintf(ProgramRoot, sizeof ProgramRoot, "%s", folder.Path().c_str());
        std::snprintf(SystemFolder, sizeof SystemFolder, "%s", folder.Path().c_str());
        std::snprintf(IniFilePath, sizeof IniFilePath, "%s", (folder / "Plovik.ini").c_str());
        inFolder = std::make_unique<WorkingFolder>(folder.Path());
        Settings.TopMost = 0;
    }
    void TearDown() override
    {
        inFolder.reset();
        unsetenv("TVL_DIALOG_ANSWER");
    }

    void Install(const char* name)
    {
        std::filesystem::copy_file(std::string(TVL_ROOT_DIR) + "/System/" + name, folder / name);
    }
    void Answer(const char* text) { setenv("TVL_DIALOG_ANSWER", text, 1); }
};

TEST_F(HelperProgramTest, VolumeSliderAnswersTheMap)
{
    Install("Vonta");
    Settings.Volume = 1.0f;
    Settings.Sound = 1;
    Answer("50 0");
    RunVolumeDialog();
    EXPECT_FLOAT_EQ(Settings.Volume, 0.5f);
    EXPECT_EQ(Settings.Sound.load(), 0);
    Answer("120");
    RunVolumeDialog();
    EXPECT_FLOAT_EQ(Settings.Volume, 1.2f);
    EXPECT_EQ(Settings.Sound.load(), 1);
    unsetenv("TVL_DIALOG_ANSWER");
    RunVolumeDialog();
    EXPECT_FLOAT_EQ(Settings.Volume, 1.2f);
    Answer("oops");
    RunVolumeDialog();
    EXPECT_FLOAT_EQ(Settings.Volume, 1.2f);
}

TEST_F(HelperProgramTest, VolumeSliderTakesNumbersAtTheEndsOfTheRange)
{
    // Under the sanitizers an overflow ends the helper before it answers.
    const char* before = std::getenv("UBSAN_OPTIONS");
    std::string kept = before ? before : "";
    setenv("UBSAN_OPTIONS", "halt_on_error=1", 1);
    Install("Vonta");
    Answer("70 1");
    for (const char* now : {"-9223372036854775808 1", "9223372036854775807 0"}) {
        std::remove((folder / "sound.txt.res").c_str());
        WriteFileText(folder / "sound.txt", std::string("320 240\n") + now + "\n");
        EXPECT_EQ(RunProgramWithArguments((folder / "Vonta.exe").c_str(), {"sound.txt"}, folder.Path().c_str(),
                                          nullptr),
                  0)
            << now;
        EXPECT_EQ(ReadFileText(folder / "sound.txt.res"), "70 1") << now;
    }
    if (before)
        setenv("UBSAN_OPTIONS", kept.c_str(), 1);
    else
        unsetenv("UBSAN_OPTIONS");
}

TEST_F(HelperProgramTest, SymbolSizesKeepFieldsLeftEmpty)
{
    Install("Markel");
    Settings.Autosize = 1;
    Settings.Vorsizefactor = Settings.Fixsizefactor = Settings.Aptsizefactor = 1.0f;
    Settings.Ndbsizefactor = Settings.Markersizefactor = Settings.Dmesizefactor = 1.0f;
    Answer("150|||80|||0");
    RunSymbolSizeDialog();
    EXPECT_EQ(Settings.Autosize, 0);
    EXPECT_FLOAT_EQ(Settings.Vorsizefactor, 1.5f);
    EXPECT_FLOAT_EQ(Settings.Fixsizefactor, 1.0f);
    EXPECT_FLOAT_EQ(Settings.Ndbsizefactor, 0.8f);
}

TEST_F(HelperProgramTest, ProcessorRunwayAndGpwsDialogs)
{
    Install("Quessa");
    Install("Brenna");
    Install("Harnel");
    Settings.CPU_usage = 2;
    Answer("-1 1");
    RunCpuUsageDialog();
    EXPECT_EQ(Settings.CPU_usage, 1);
    Answer("0 7");  // no such usage: no reply
    RunCpuUsageDialog();
    EXPECT_EQ(Settings.CPU_usage, 1);

    Settings.RunwaySurfaceEmergency = 1;
    Answer("2 2500");
    RunRunwayFilterDialog();
    EXPECT_EQ(Settings.RunwaySurfaceEmergency, 3);
    EXPECT_DOUBLE_EQ(Settings.RunwayEmergencyLength, 2500.0);

    Answer("1200 1800");
    RunGpwsThresholdDialog();
    EXPECT_EQ(Settings.DepartureEnroute, 1200);
    EXPECT_EQ(Settings.EnrouteApproach, 1800);
}

TEST_F(HelperProgramTest, WeatherNoticeIsConfirmedThroughTheMessageBox)
{
    Install("TVLMessageBox");
    Settings.UseSimulator = SimulatorXPlane;
    Settings.WeatherState = 0;
    Settings.WeatherMessage = 0;
    Answer("0");
    ToggleWeather();
    EXPECT_EQ(Settings.WeatherMessage, 0);
    ToggleWeather();
    Answer("1");
    ToggleWeather();
    EXPECT_EQ(Settings.WeatherMessage, 1);
}

TEST_F(HelperProgramTest, ListChoiceGivesOnlyAnEntryOfTheList)
{
    Install("Selvra");
    WriteFileText(folder / "lbentries.txt", "Select Parking Position\n320 240\nGATE_A1_1\nGATE_A2_2\n");
    Answer("GATE_A2_2");
    RunHelperProgram((folder / "Selvra.exe").c_str(), "lbentries.txt");
    char reply[128] = "";
    ReadHelperReply("lbentries.txt.res", reply, sizeof reply);
    EXPECT_STREQ(reply, "GATE_A2_2");
    Answer("GATE_B7_9");
    RunHelperProgram((folder / "Selvra.exe").c_str(), "lbentries.txt");
    reply[0] = '\0';
    ReadHelperReply("lbentries.txt.res", reply, sizeof reply);
    EXPECT_STREQ(reply, "");
}

TEST_F(HelperProgramTest, JoystickHelperWritesTheAssignments)
{
    Install("Gantor");
    WriteFileText(folder / "Joystick.ini", "[JoyStickButtons]\nZOOM_IN=3\nZOOM_OUT=-1\n");
    Answer("ZOOM_OUT=7,BAD,ZOOM_IN=-1,TOO_LONG_A_NAME_FOR_A_COMMAND=2");
    RunHelperProgram((folder / "Gantor.exe").c_str(), "");
    char value[16];
    GetPrivateProfileStringA("JoyStickButtons", "ZOOM_OUT", "", value, sizeof value, "./Joystick.ini");
    EXPECT_STREQ(value, "7");
    GetPrivateProfileStringA("JoyStickButtons", "ZOOM_IN", "", value, sizeof value, "./Joystick.ini");
    EXPECT_STREQ(value, "-1");
    GetPrivateProfileStringA("JoyStickButtons", "TOO_LONG_A_NAME_FOR_A_COMMAND", "none", value, sizeof value,
                             "./Joystick.ini");
    EXPECT_STREQ(value, "none");
}

TEST_F(HelperProgramTest, ViewersRunHeadlessWithoutWaiting)
{
    Install("Pelmo");
    Install("Tolvi");
    WriteFileText(folder / "newstext.txt", "V2 news\n");
    EXPECT_EQ(RunProgramWithArguments((folder / "Pelmo.exe").c_str(), {"320", "240"}, folder.Path().c_str(), nullptr),
              0);
    EXPECT_EQ(RunProgramWithArguments((folder / "Tolvi.exe").c_str(), {}, folder.Path().c_str(), nullptr), 0);
    std::string viewer = std::string(TVL_ROOT_DIR) + "/CSVViewer/CSVFileView.exe";
    WriteFileText(folder / "Pilot log.csv", "Date;From;To\n2026-12-09;EDDH;\"ED;DL\"\n");
    std::string out = folder / "out.txt";
    EXPECT_EQ(RunProgramWithArguments(viewer.c_str(), {folder / "Pilot log.csv"}, folder.Path().c_str(), out.c_str()),
              0);
    EXPECT_EQ(ReadFileText(out), "1 rows\n");
    EXPECT_NE(RunProgramWithArguments(viewer.c_str(), {folder / "none.csv"}, folder.Path().c_str(), nullptr), 0);
}

}  // namespace
