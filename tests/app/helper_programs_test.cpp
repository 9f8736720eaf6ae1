// The shipped helper programs, run headless by the map's own dialog commands
// with a scripted answer: each reads the exchange file the map wrote and
// leaves the reply the map takes in; a cancelled dialog leaves none.
#include "app/helper_dialogs.h"

#include "app/main_window.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "simlink/pilot_log.h"
#include "simlink/sim_link.h"
#include "tests/support/fake_zenity.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>

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

// A volume the slider does not offer, or a number with more after it, is
// refused with a message and the settings stay as they are.
TEST_F(HelperProgramTest, VolumeSliderRefusesWhatItDoesNotOffer)
{
    Install("Vonta");
    Settings.Volume = 0.625f;  // the slider opens at 63
    Settings.Sound = 1;
    for (const char* answer : {"7", "150x", "50 7", "-5", "205"}) {
        SCOPED_TRACE(answer);
        Answer(answer);
        RunVolumeDialog();
        EXPECT_FALSE(std::filesystem::exists(folder / "sound.txt.res"));
        EXPECT_FLOAT_EQ(Settings.Volume, 0.625f);
        EXPECT_EQ(Settings.Sound.load(), 1);
    }
    // Where the slider opened is on it, wherever that is.
    Answer("63");
    RunVolumeDialog();
    EXPECT_FLOAT_EQ(Settings.Volume, 0.63f);
    Answer("45 0");
    RunVolumeDialog();
    EXPECT_FLOAT_EQ(Settings.Volume, 0.45f);
    EXPECT_EQ(Settings.Sound.load(), 0);

    // On a display the refusal is shown and the slider opens again, on the
    // step nearest to what was given; a NUL ends no number early.
    FakeZenity zenity;
    zenity.AnswersInTurn({{std::string("150\0", 4), 0}, {"", 0}, {"7", 0}, {"", 0}, {"60", 0}});
    RunVolumeDialog();
    EXPECT_EQ(zenity.Calls(), 5);
    EXPECT_NE(zenity.Arguments().find("--value=5\n"), std::string::npos) << zenity.Arguments();
    EXPECT_FLOAT_EQ(Settings.Volume, 0.6f);
    EXPECT_EQ(Settings.Sound.load(), 1);
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

// The notice's text is shown as it stands: a "<" or "&" in a language file
// would otherwise be read as markup, and the tool shows nothing.
TEST_F(HelperProgramTest, MessageBoxHelperShowsItsTextAsPlainText)
{
    Install("TVLMessageBox");
    FakeZenity zenity;
    zenity.Answer("", 1);
    Settings.UseSimulator = SimulatorXPlane;
    Settings.WeatherState = 0;
    Settings.WeatherMessage = 0;
    ToggleWeather();
    ASSERT_EQ(zenity.Calls(), 1);
    EXPECT_NE(zenity.Arguments().find("--no-markup\n"), std::string::npos) << zenity.Arguments();
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

// Text of a file or the network that reads like an option ("--display=:98"
// moved the viewer to another X display, "--help" ended it) reaches the list
// on its input, so the tool shows it as a row.
TEST_F(HelperProgramTest, ListCellsGoToTheToolsInputNeverOntoItsCommandLine)
{
    Install("Selvra");
    FakeZenity zenity;
    zenity.Answer("--help", 0);
    WriteFileText(folder / "lbaptchart.txt", "Select Airport Chart\n320 240\n--display=:98\n--help\nEDDH-1\n");
    RunHelperProgram((folder / "Selvra.exe").c_str(), "lbaptchart.txt");
    EXPECT_EQ(zenity.Input(), "--display=:98\n--help\nEDDH-1\n");
    EXPECT_EQ(zenity.Arguments().find("--display=:98"), std::string::npos);
    EXPECT_EQ(zenity.Arguments().find("--help"), std::string::npos);
    char reply[128] = "";
    ReadHelperReply("lbaptchart.txt.res", reply, sizeof reply);
    EXPECT_STREQ(reply, "--help");

    std::string viewer = std::string(TVL_ROOT_DIR) + "/CSVViewer/CSVFileView.exe";
    WriteFileText(folder / "Pilotlog.csv", "Date;Callsign;Aircraft\n2026-12-09;--display=:98;-v\n2026-12-10;--help;\n");
    EXPECT_EQ(RunProgramWithArguments(viewer.c_str(), {folder / "Pilotlog.csv"}, folder.Path().c_str(), nullptr), 0);
    EXPECT_EQ(zenity.Input(), "2026-12-09\n--display=:98\n-v\n2026-12-10\n--help\n\n");
    std::string args = zenity.Arguments();
    EXPECT_NE(args.find("--column=Callsign\n"), std::string::npos);
    EXPECT_EQ(args.find("--display"), std::string::npos);
    EXPECT_EQ(args.find("-v\n"), std::string::npos);
}

// The forms open with what is set now (yad fills its fields; the values
// follow "--", where nothing is read as an option).
TEST_F(HelperProgramTest, SettingsFormsOpenWithTheCurrentValues)
{
    Install("Markel");
    Install("Brenna");
    Install("Quessa");
    Install("Harnel");
    FakeZenity yad("yad");
    yad.Answer("", 1);
    Settings.Autosize = 1;
    Settings.Vorsizefactor = 1.2f;
    Settings.Fixsizefactor = Settings.Aptsizefactor = Settings.Ndbsizefactor = 1.0f;
    Settings.Markersizefactor = 0.5f;
    Settings.Dmesizefactor = 2.0f;
    RunSymbolSizeDialog();
    EXPECT_NE(yad.Arguments().find("--\n120!10..400!1\n100!10..400!1\n100!10..400!1\n100!10..400!1\n"
                                   "50!10..400!1\n200!10..400!1\nTRUE\n"),
              std::string::npos)
        << yad.Arguments();

    Settings.RunwaySurfaceEmergency = 3;
    Settings.RunwayEmergencyLength = 2400.0;
    RunRunwayFilterDialog();
    EXPECT_NE(yad.Arguments().find("--\nHard runways!^Hard and soft runways\n2400!0..20000!1\n"), std::string::npos)
        << yad.Arguments();

    Settings.CPU_usage = 1;
    WritePrivateProfileStringA("Zorizeruverovu Plovik", "UseProcessorCore", "0", "./Plovik.ini");
    RunCpuUsageDialog();
    EXPECT_NE(yad.Arguments().find("--\nThe highest!^0!"), std::string::npos) << yad.Arguments();
    EXPECT_NE(yad.Arguments().find("\nFull!^Less!Least\n"), std::string::npos) << yad.Arguments();

    WritePrivateProfileStringA("Zorizeruverovu Plovik", "DepartureEnroute", "1300", "./Plovik.ini");
    WritePrivateProfileStringA("Zorizeruverovu Plovik", "EnrouteApproach", "2100", "./Plovik.ini");
    RunGpwsThresholdDialog();
    EXPECT_NE(yad.Arguments().find("--\n1300!0..60000!1\n2100!0..60000!1\n"), std::string::npos)
        << yad.Arguments();
}

// Sizes changed while Autosize stays on would go nowhere: the user is told
// and the form opens again; cancelling then changes nothing.
TEST_F(HelperProgramTest, SymbolSizesWithAutosizeOnAreRefusedWithAMessage)
{
    Install("Markel");
    FakeZenity zenity;
    zenity.Answer("", 0);
    FakeZenity yad("yad");
    yad.AnswersInTurn({{"150|100|100|100|100|100|TRUE|", 0}});
    Settings.Autosize = 1;
    Settings.Vorsizefactor = Settings.Fixsizefactor = Settings.Aptsizefactor = 1.0f;
    Settings.Ndbsizefactor = Settings.Markersizefactor = Settings.Dmesizefactor = 1.0f;
    RunSymbolSizeDialog();
    EXPECT_EQ(yad.Calls(), 2);
    EXPECT_NE(yad.Arguments().find("--\n150!10..400!1\n"), std::string::npos) << "reopens with what was given";
    EXPECT_NE(zenity.Arguments().find("--error\n"), std::string::npos);
    EXPECT_NE(zenity.Arguments().find("Autosize off"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "size.txt.res"));
    EXPECT_FLOAT_EQ(Settings.Vorsizefactor, 1.0f);
    EXPECT_EQ(Settings.Autosize, 1);

    // Headless the same answer is refused without a reply.
    Answer("150 100 100 100 100 100 1");
    unsetenv("DISPLAY");
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    RunSymbolSizeDialog();
    EXPECT_FLOAT_EQ(Settings.Vorsizefactor, 1.0f);
    Answer("150 100 100 100 100 100 0");
    RunSymbolSizeDialog();
    EXPECT_FLOAT_EQ(Settings.Vorsizefactor, 1.5f);
    EXPECT_EQ(Settings.Autosize, 0);
}

// A length that cannot be taken is said and asked again; a surface left
// empty keeps the one set.
TEST_F(HelperProgramTest, RunwayFilterRefusesALengthItCannotTakeAndKeepsAnEmptySurface)
{
    Install("Brenna");
    FakeZenity zenity;
    zenity.Answer("", 0);
    FakeZenity yad("yad");
    yad.AnswersInTurn({{"Hard runways|99999|", 0}, {"Hard runways|3000|", 0}});
    Settings.RunwaySurfaceEmergency = 3;
    Settings.RunwayEmergencyLength = 1000.0;
    RunRunwayFilterDialog();
    EXPECT_EQ(yad.Calls(), 2);
    EXPECT_NE(zenity.Arguments().find("from 0 to 20000"), std::string::npos) << zenity.Arguments();
    EXPECT_EQ(Settings.RunwaySurfaceEmergency, 1);
    EXPECT_DOUBLE_EQ(Settings.RunwayEmergencyLength, 3000.0);

    unsetenv("DISPLAY");
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    Answer("|2500");
    RunRunwayFilterDialog();
    EXPECT_EQ(Settings.RunwaySurfaceEmergency, 1);
    EXPECT_DOUBLE_EQ(Settings.RunwayEmergencyLength, 2500.0);
}

// BROWSER with no browser to start shows the user the address instead of
// nothing at all; with one, it only starts the browser.
TEST_F(HelperProgramTest, BrowserHelperSaysSoWhenNoBrowserStarts)
{
    Install("Tolvi");
    FakeZenity zenity;
    zenity.Answer("", 0);
    TempFolder starters;
    std::string path = getenv("PATH");
    setenv("PATH", (starters.Path() + ":" + path).c_str(), 1);
    for (const char* name : {"xdg-open", "sensible-browser", "x-www-browser"}) {
        WriteFileText(starters / name, "#!/bin/sh\nexit 3\n");
        chmod((starters / name).c_str(), 0755);
    }
    EXPECT_EQ(RunProgramWithArguments((folder / "Tolvi.exe").c_str(), {"https://example.invalid/map"},
                                      folder.Path().c_str(), nullptr),
              1);
    EXPECT_NE(zenity.Arguments().find("https://example.invalid/map"), std::string::npos) << zenity.Arguments();
    EXPECT_EQ(zenity.Calls(), 1);

    WriteFileText(starters / "sensible-browser", "#!/bin/sh\necho \"$1\" > '" + (starters / "opened") + "'\n");
    EXPECT_EQ(RunProgramWithArguments((folder / "Tolvi.exe").c_str(), {"https://example.invalid/map"},
                                      folder.Path().c_str(), nullptr),
              0);
    EXPECT_EQ(ReadFileText(starters / "opened"), "https://example.invalid/map\n");
    EXPECT_EQ(zenity.Calls(), 1) << "no message when the browser started";
    setenv("PATH", path.c_str(), 1);
}

// The pilot log as the links write it, texts with separators and quotes
// included, reaches the viewer in its eight columns.
TEST_F(HelperProgramTest, ThePilotLogViewerShowsEachFlightInItsColumns)
{
    CreatePilotLog();
    PilotLogRecord = PilotLogFlight{};
    std::snprintf(PilotLogRecord.callsign, sizeof PilotLogRecord.callsign, "D-E;AB\"C");
    std::snprintf(PilotLogRecord.aircraft, sizeof PilotLogRecord.aircraft, "Cessna 172, G1000;;");
    std::snprintf(PilotLogRecord.departure, sizeof PilotLogRecord.departure, "EDDH");
    std::snprintf(PilotLogRecord.destination, sizeof PilotLogRecord.destination, "ED;DF");
    PilotLogRecord.takeOffTime = 1700000000;
    PilotLogRecord.landingTime = 1700003600;
    ASSERT_TRUE(AppendPilotLog());
    FakeZenity zenity;
    zenity.Answer("", 0);
    std::string viewer = std::string(TVL_ROOT_DIR) + "/CSVViewer/CSVFileView.exe";
    ASSERT_EQ(RunProgramWithArguments(viewer.c_str(), {folder / PilotLogFileName}, folder.Path().c_str(), nullptr), 0);
    std::string args = zenity.Arguments();
    size_t columns = 0;
    for (size_t at = 0; (at = args.find("--column=", at)) != std::string::npos; at++)
        columns++;
    EXPECT_EQ(columns, 8u) << args;
    // The row's eight values reach the viewer on its input, each whole.
    EXPECT_EQ(zenity.Input(), "14.11.2023\nD-E;AB\"C\nCessna 172, G1000;;\nEDDH\nED;DF\n22:13\n23:13\n1.00\n");
}

}  // namespace
