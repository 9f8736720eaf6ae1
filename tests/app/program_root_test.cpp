// The program root search (working folder, INI keys, registry), the paths it
// leaves, the INI writer, the language preset and the chart helpers.
#include "app/program_root.h"

#include "app/language.h"
#include "app/settings.h"
#include "display/map_view.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string Root(const char* folder)
{
    char root[512];
    return RootFromWorkingFolder(folder, root, sizeof root) ? root : "<none>";
}

TEST(RootFromWorkingFolderTest, CutsAtTheLastComponentNamedSystem)
{
    EXPECT_EQ(Root("/home/pilot/Maps/Plovik/System"), "/home/pilot/Maps/Plovik");
    EXPECT_EQ(Root("/d/Tools/SystemX/Plovik/System"), "/d/Tools/SystemX/Plovik");
    EXPECT_EQ(Root("/data/mysystem/Plovik/system"), "/data/mysystem/Plovik");
    EXPECT_EQ(Root("/a/System/b/SYSTEM/Sub"), "/a/System/b");
    EXPECT_EQ(Root("/System"), "");
    EXPECT_EQ(Root("/opt/Systems/Plovik"), "<none>");
    EXPECT_EQ(Root("/opt/Plovik/Systemfolder"), "<none>");
    char tiny[4];
    EXPECT_FALSE(RootFromWorkingFolder("/long/path/System", tiny, sizeof tiny));
}

class ProgramRootTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string root = folder / "Maps/Plovik";

    void SetUp() override
    {
        MakeFolders(root + "/System");
        WriteFileText(root + "/System/QRDLX30_11.fxo", "effect");
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        unsetenv("TVL_MESSAGEBOX_ANSWER");
    }

    // Runs the search from folder; returns what it printed (its messages).
    std::string LocateFrom(const std::string& from)
    {
        WorkingFolder here(from);
        testing::internal::CaptureStderr();
        LocateProgramRoot();
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(ProgramRootTest, StartedInSystemTakesTheRootAsSpelt)
{
    std::string said = LocateFrom(root + "/System");
    EXPECT_EQ(std::string(ProgramRoot), root);
    EXPECT_EQ(std::string(SystemFolder), root + "/System");
    EXPECT_STREQ(IniFileName, "Plovik.ini");
    EXPECT_EQ(std::string(IniFilePath), root + "/System/Plovik.ini");
    EXPECT_EQ(said, "");
}

TEST_F(ProgramRootTest, SystemFolderTakesTheSpellingOnDisk)
{
    std::string other = folder / "Other/plovik";
    MakeFolders(other + "/system");
    WriteFileText(other + "/system/QRDLX30_11.fxo", "effect");
    std::string said = LocateFrom(other + "/system");
    EXPECT_EQ(std::string(ProgramRoot), other);
    EXPECT_EQ(std::string(SystemFolder), other + "/system");
    EXPECT_EQ(said, "");
}

TEST_F(ProgramRootTest, OutsideSystemThePathKeyOfTheIniDecides)
{
    std::string elsewhere = folder / "Elsewhere";
    MakeFolders(elsewhere);
    std::string windowsStyle = root;
    for (char& c : windowsStyle)
        c = c == '/' ? '\\' : c;
    WriteFileText(elsewhere + "/Plovik.ini", "[Zirazadirurova Plovik]\nPath=" + windowsStyle + "\\\n");
    LocateFrom(elsewhere);
    EXPECT_EQ(std::string(ProgramRoot), root);
    EXPECT_EQ(std::string(IniFilePath), root + "/System/Plovik.ini");
}

TEST_F(ProgramRootTest, KorvaneIniIsAskedWhenPlovikIniSaysNone)
{
    std::string elsewhere = folder / "Elsewhere";
    MakeFolders(elsewhere);
    WriteFileText(elsewhere + "/Plovik.ini", "[Zorizeruverovu Plovik]\nPath=None\n");
    WriteFileText(elsewhere + "/Korvane.ini", "[Zirazadirurova Korvane]\nPath=" + root + "\n");
    LocateFrom(elsewhere);
    EXPECT_EQ(std::string(ProgramRoot), root);
}

TEST_F(ProgramRootTest, RegistryDecidesWhenBothIniKeysSayNone)
{
    std::string elsewhere = folder / "Elsewhere";
    MakeFolders(elsewhere);
    WriteFileText(elsewhere + "/Plovik.ini", "[Zorizeruverovu Plovik]\nPath=None\n");
    MakeFolders(folder / "config/tervalingo");
    WriteFileText(folder / "config/tervalingo/registry.ini",
                  "[Software\\Tabrix Software\\Plovik]\nInstallPath=" + root + "\n");
    bool topHadIni = access("/Plovik.ini", F_OK) == 0;
    LocateFrom(elsewhere);
    EXPECT_EQ(std::string(ProgramRoot), root);
    // The root is recorded in the settings file below it, never at the top
    // of the file system.
    EXPECT_EQ(ReadFileText(root + "/System/Plovik.ini"), "[Zorizeruverovu Plovik]\nPath=" + root + "\n");
    EXPECT_EQ(access("/Plovik.ini", F_OK) == 0, topHadIni);
}

TEST_F(ProgramRootTest, NoRootAnywhereEndsTheProgram)
{
    std::string elsewhere = folder / "Elsewhere";
    MakeFolders(elsewhere);
    WriteFileText(elsewhere + "/Plovik.ini", "[Zorizeruverovu Plovik]\nPath=None\n");
    WorkingFolder here(elsewhere);
    EXPECT_EXIT(LocateProgramRoot(), testing::ExitedWithCode(255), "root directory not found");
}

TEST_F(ProgramRootTest, NoIniOutsideSystemLeavesTheRootEmptyAndWarns)
{
    std::string elsewhere = folder / "Elsewhere";
    MakeFolders(elsewhere);
    std::string said = LocateFrom(elsewhere);
    EXPECT_STREQ(ProgramRoot, "");
    EXPECT_STREQ(SystemFolder, "/System");
    EXPECT_NE(said.find("probably not started at the Plovik\\System directory"), std::string::npos) << said;
}

TEST_F(ProgramRootTest, WriteIniStringWritesIntoTheSystemFolder)
{
    LocateFrom(root + "/System");
    WriteIniString("HARDWARE", "System.info", "DirectX", "DriverType");
    EXPECT_EQ(ReadFileText(root + "/System/System.info"), "[DirectX]\nDriverType=HARDWARE\n");
    SystemFolder[0] = '\0';
    WriteIniString("x", "Stray.ini", "S", "k");
    EXPECT_NE(access("/Stray.ini", F_OK), 0);
}

TEST(LanguagePresetTest, TakesTheLanguageOfTheLocale)
{
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", "de_DE.UTF-8", 1);
    SetLanguageFromLocale();
    EXPECT_STREQ(Settings.Language, "de");
    setenv("LANG", "C", 1);
    SetLanguageFromLocale();
    EXPECT_STREQ(Settings.Language, "en");
    setenv("LANG", "toolong_XX", 1);
    SetLanguageFromLocale();
    EXPECT_STREQ(Settings.Language, "en");
}

TEST(ChartLevelScaleTest, FollowsTheLevelAndTheZoomOutSteps)
{
    CurrentChartLevel = 0;
    ChartZoomOutSteps = 0;
    EXPECT_FLOAT_EQ(GetChartLevelScale(), 1.0f);
    ChartZoomOutSteps = 3;
    EXPECT_FLOAT_EQ(GetChartLevelScale(), 0.125f);
    ChartZoomOutSteps = 1000;
    EXPECT_GT(GetChartLevelScale(), 0.0f);
    const float expected[] = {2.0f, 3.0f, 4.0f, 6.0f};
    for (int level = 1; level <= 4; level++) {
        CurrentChartLevel = level;
        EXPECT_FLOAT_EQ(GetChartLevelScale(), expected[level - 1]);
    }
    CurrentChartLevel = 7;
    EXPECT_FLOAT_EQ(GetChartLevelScale(), 1.0f);
    CurrentChartLevel = -1;
    EXPECT_FLOAT_EQ(GetChartLevelScale(), 1.0f);
}

class ChartLineTest : public ::testing::Test {
protected:
    TempFolder folder;

    void Load(const std::string& general)
    {
        MakeFolders(folder / "System");
        MakeFolders(folder / "Languages");
        WriteFileText(folder / "Languages/language_xx.ini", "[Tooltip]\n[General]\n" + general + "[Note]\n");
        WorkingFolder here(folder / "System");
        ASSERT_EQ(LoadLanguage("xx"), 0);
    }
};

TEST_F(ChartLineTest, PageLineFormatsPageAndCount)
{
    Load("0=a\n1=b\n2=c\n3=d\n4=Page %d of %d\n5=No page\n");
    Settings.PDFPages = 12;
    FormatPdfPageLine(3);
    EXPECT_STREQ(ChartStatusText, "Page 3 of 12");
    FormatPdfNoPageLine();
    EXPECT_STREQ(ChartStatusText, "No page");
}

TEST_F(ChartLineTest, PageLineWithOtherConversionsIsShownNotFormatted)
{
    Load("0=a\n1=b\n2=c\n3=d\n4=Page %s of %n\n");
    FormatPdfPageLine(3);
    EXPECT_STREQ(ChartStatusText, "Page %s of %n");
    FormatPdfNoPageLine();
    EXPECT_STREQ(ChartStatusText, "");
}

} // namespace
