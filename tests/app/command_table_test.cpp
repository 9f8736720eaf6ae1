// Buttons from the simulator links: assignment by name, debounce, TopMost,
// the pending-command slot, the exchange with the joystick set-up helper and
// the shared memory that shows it the pressed buttons.
#include "app/command_table.h"

#include "app/settings.h"
#include "app/softkey_menu.h"
#include "platform/profile.h"
#include "platform/sync.h"
#include "platform/threads.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

class CommandTableTest : public ::testing::Test {
protected:
    TempFolder folder;

    void SetUp() override
    {
        ASSERT_TRUE(WriteFileText(folder / "Plovik.ini",
                                  "[MSFS]\nMAP=4\nNAV=-1\nTRK=4\nSAT=7\nZOOM=3\nPANEL=abc\nCONFIG=12\n"));
        WorkingFolder in(folder.Path());
        LoadButtonAssignments("MSFS");
        Settings.TopMost = 1;
        ClearPendingCommand();
    }
    // Steps past the debounce window so the next report counts.
    static void Quiet() { AdvanceProgramClock(350); }
};

TEST_F(CommandTableTest, AssignedButtonBecomesThePendingCommand)
{
    int command = -1;
    EXPECT_FALSE(GetPendingCommand(&command));
    OnSimButton(12);
    ASSERT_TRUE(GetPendingCommand(&command));
    EXPECT_EQ(command, 7);  // "CONFIG"
    EXPECT_EQ(GetLastButton(), 12);
    ClearPendingCommand();
    EXPECT_FALSE(GetPendingCommand(&command));
}

TEST_F(CommandTableTest, ButtonOnTwoCommandsRunsTheFirstRow)
{
    OnSimButton(4);
    int command = -1;
    ASSERT_TRUE(GetPendingCommand(&command));
    EXPECT_EQ(command, 0);  // "MAP" before "TRK"
}

TEST_F(CommandTableTest, QuickRepeatRunsOnce)
{
    int command = -1;
    OnSimButton(12);
    ASSERT_TRUE(GetPendingCommand(&command));
    ClearPendingCommand();
    OnSimButton(12);  // well inside 0.3 s
    EXPECT_FALSE(GetPendingCommand(&command));
    Quiet();
    OnSimButton(12);
    EXPECT_TRUE(GetPendingCommand(&command));
}

TEST_F(CommandTableTest, WithoutTopMostOnlyTheButtonIsRecorded)
{
    Settings.TopMost = 0;
    OnSimButton(12);
    int command = -1;
    EXPECT_FALSE(GetPendingCommand(&command));
    EXPECT_EQ(GetLastButton(), 12);
}

TEST_F(CommandTableTest, UnassignedAndNegativeValuesRunNothing)
{
    int command = -1;
    OnSimButton(-1);  // "NAV=-1" is no assignment
    EXPECT_FALSE(GetPendingCommand(&command));
    Quiet();
    OnSimButton(99);
    EXPECT_FALSE(GetPendingCommand(&command));
    Quiet();
    OnSimButton(0);  // "PANEL=abc" reads as 0: atoi's reading
    ASSERT_TRUE(GetPendingCommand(&command));
    EXPECT_EQ(command, 8);
}

TEST_F(CommandTableTest, RenamedMapTypeRowNoLongerMatches)
{
    EXPECT_STREQ(GetCommandName(MapTypeCommandFirst), "SAT");
    SetCommandName(0, "HYBRID");
    EXPECT_STREQ(GetCommandName(MapTypeCommandFirst), "HYBRID");
    OnSimButton(7);
    int command = -1;
    EXPECT_FALSE(GetPendingCommand(&command));
    SetCommandName(0, "SAT");
    Quiet();
    OnSimButton(7);
    ASSERT_TRUE(GetPendingCommand(&command));
    EXPECT_EQ(command, MapTypeCommandFirst);
}

TEST_F(CommandTableTest, NamesAreBoundedAndRowsOutsideIgnored)
{
    SetCommandName(0, "A-NAME-FAR-TOO-LONG");
    EXPECT_EQ(std::strlen(GetCommandName(MapTypeCommandFirst)), 12u);
    SetCommandName(21, "X");  // row 117 does not exist
    EXPECT_STREQ(GetCommandName(CommandCount), "");
    EXPECT_STREQ(GetCommandName(-1), "");
    EXPECT_STREQ(GetCommandName(116), "BROWSER");
}

TEST_F(CommandTableTest, AssignmentsAreLoadedOnce)
{
    ASSERT_TRUE(WriteFileText(folder / "Plovik.ini", "[MSFS]\nCONFIG=5\n"));
    WorkingFolder in(folder.Path());
    LoadButtonAssignments("MSFS");
    OnSimButton(12);
    int command = -1;
    ASSERT_TRUE(GetPendingCommand(&command));
    EXPECT_EQ(command, 7);
}

TEST_F(CommandTableTest, ExecutedCommandEmptiesTheSlot)
{
    OnSimButton(12);  // "CONFIG": level 0, key 7
    int command = -1;
    ASSERT_TRUE(GetPendingCommand(&command));
    ExecuteCommand(static_cast<uint32_t>(command));
    EXPECT_FALSE(GetPendingCommand(&command));
    EXPECT_EQ(Settings.Softkeylevel, MenuOptions);
}

TEST_F(CommandTableTest, ACommandParkedWhileAnotherRunsIsKept)
{
    OnSimButton(12);
    int command = -1;
    ASSERT_TRUE(GetPendingCommand(&command));
    Quiet();
    OnSimButton(4);  // arrives while CONFIG would run
    ExecuteCommand(static_cast<uint32_t>(command));
    int next = -1;
    ASSERT_TRUE(GetPendingCommand(&next));
    EXPECT_EQ(next, 0);
}

TEST_F(CommandTableTest, AirportToolsCommandKeepsTheSublevel)
{
    Settings.Softkeylevel = MenuOptions;
    Settings.Softkeysublevel = 4;
    ExecuteCommand(static_cast<uint32_t>(FindCommandByName("FIX_KEYS")));  // level 7
    EXPECT_EQ(Settings.Softkeysublevel, 4);
    EXPECT_EQ(Settings.DynamicSoftkeys, 1);
    ExecuteCommand(static_cast<uint32_t>(FindCommandByName("TEMP")));  // level 5, page 4
    EXPECT_EQ(Settings.Softkeysublevel, 4);
    ExecuteCommand(static_cast<uint32_t>(FindCommandByName("HDG_TRUE")));  // level 5, page 0
    EXPECT_EQ(Settings.Softkeysublevel, 0);
}

TEST_F(CommandTableTest, IndexOutsideTheTableRunsNothing)
{
    Settings.Softkeylevel = 3;
    ExecuteCommand(CommandCount);
    ExecuteCommand(0xFFFFFFFFu);
    EXPECT_EQ(Settings.Softkeylevel, 3);
    EXPECT_EQ(GetCommandRow(CommandCount), nullptr);
    EXPECT_EQ(FindCommandByName("NO_SUCH"), -1);
}

// The joystick set-up helper's side of the exchange.
class ButtonAssignmentTest : public CommandTableTest {
protected:
    std::string Joystick() { return ReadFileText(folder / "Joystick.ini"); }
    std::string JoystickValue(const char* key)
    {
        WorkingFolder in(folder.Path());
        char value[64];
        GetPrivateProfileStringA("JoyStickButtons", key, "", value, sizeof(value), ".\\Joystick.ini");
        return value;
    }
    std::string SettingsValue(const char* key)
    {
        WorkingFolder in(folder.Path());
        char value[64];
        GetPrivateProfileStringA("MSFS", key, "", value, sizeof(value), ".\\Plovik.ini");
        return value;
    }
    // Every command's button as the list has it.
    std::vector<int32_t> AllButtons()
    {
        std::vector<int32_t> buttons;
        for (int i = 0; i < CommandCount; ++i)
            buttons.push_back(GetAssignedButton(i));
        return buttons;
    }
};

TEST_F(ButtonAssignmentTest, ExportThenImportKeepsEveryAssignment)
{
    std::vector<int32_t> before = AllButtons();
    WorkingFolder in(folder.Path());
    ExportButtonAssignments("MSFS", nullptr);
    EXPECT_EQ(JoystickValue("MAP"), "4");
    EXPECT_EQ(JoystickValue("CONFIG"), "12");
    EXPECT_EQ(JoystickValue("NAV"), "");  // never assigned, not exported
    EXPECT_EQ(ReadFileText(folder / "Joystick.txt"), "0 0\n");
    ImportButtonAssignments("MSFS");
    EXPECT_EQ(AllButtons(), before);
    // The import wrote every command into the simulator's section.
    EXPECT_EQ(SettingsValue("CONFIG"), "12");
    EXPECT_EQ(SettingsValue("NAV"), "-1");
    // And once more: the second round trip changes nothing either.
    ExportButtonAssignments("MSFS", nullptr);
    ImportButtonAssignments("MSFS");
    EXPECT_EQ(AllButtons(), before);
}

TEST_F(ButtonAssignmentTest, HelperAnswerReassignsButtons)
{
    ASSERT_TRUE(WriteFileText(folder / "Joystick.ini", "[JoyStickButtons]\nMAP=-1\nCONFIG=3\nROSE=9\n"));
    WorkingFolder in(folder.Path());
    ImportButtonAssignments("MSFS");
    EXPECT_EQ(GetAssignedButton(0), -1);
    EXPECT_EQ(GetAssignedButton(FindCommandByName("CONFIG")), 3);
    EXPECT_EQ(GetAssignedButton(FindCommandByName("ROSE")), 9);
    EXPECT_EQ(SettingsValue("MAP"), "-1");
    OnSimButton(9);
    int command = -1;
    ASSERT_TRUE(GetPendingCommand(&command));
    EXPECT_EQ(command, FindCommandByName("ROSE"));
}

TEST_F(ButtonAssignmentTest, DamagedAnswerKeepsValidAssignmentsAndLogsTheRest)
{
    ASSERT_TRUE(WriteFileText(folder / "Joystick.ini",
                              "[JoyStickButtons]\nMAP=99999999999999\nCONFIG=abc\nTRK=-7\nWARP_DRIVE=5\n"
                              "SAT=12x\nROSE=2\n"));
    Settings.DebugMode = true;
    WorkingFolder in(folder.Path());
    ImportButtonAssignments("MSFS");
    EXPECT_EQ(GetAssignedButton(0), 4);                              // out of range: kept
    EXPECT_EQ(GetAssignedButton(FindCommandByName("CONFIG")), 12);   // not a number: kept
    EXPECT_EQ(GetAssignedButton(FindCommandByName("TRK")), 4);       // below -1: kept
    EXPECT_EQ(GetAssignedButton(MapTypeCommandFirst), 7);            // "12x": kept
    EXPECT_EQ(GetAssignedButton(FindCommandByName("ROSE")), 2);      // valid: taken
    EXPECT_EQ(SettingsValue("CONFIG"), "12");
    std::string log = ReadFileText(folder / "Tervalingo.log");
    EXPECT_NE(log.find("skipped MAP=99999999999999"), std::string::npos) << log;
    EXPECT_NE(log.find("skipped CONFIG=abc"), std::string::npos);
    EXPECT_NE(log.find("skipped unknown command WARP_DRIVE"), std::string::npos);
    Settings.DebugMode = false;
}

TEST_F(ButtonAssignmentTest, BinaryOrMissingAnswerChangesNothing)
{
    std::vector<int32_t> before = AllButtons();
    std::string binary("\x7f" "ELF\x02\x01\x01\0\0\0[Joy\xff\xfe=\x01\n\0MAP=1", 25);
    ASSERT_TRUE(WriteFileText(folder / "Joystick.ini", binary));
    WorkingFolder in(folder.Path());
    ImportButtonAssignments("MSFS");
    EXPECT_EQ(AllButtons(), before);
    std::remove((folder / "Joystick.ini").c_str());
    ImportButtonAssignments("MSFS");
    EXPECT_EQ(AllButtons(), before);
    EXPECT_EQ(SettingsValue("NAV"), "-1");  // from the ini written in SetUp
}

// Reads the helper's view of the shared block; "" while it does not exist.
static std::string SharedBlock()
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "TVLFileMappingObject");
    if (!mapping)
        return "";
    const char* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 256));
    std::string text = view ? std::string(view, strnlen(view, 256)) : "";
    if (view)
        UnmapViewOfFile(view);
    CloseHandle(mapping);
    return text;
}

template <class Condition>
static bool WaitFor(Condition condition, int milliseconds = 3000)
{
    for (int i = 0; i < milliseconds / 5; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

TEST_F(ButtonAssignmentTest, HelperSeesEachPressedButtonForAMomentUntilItEnds)
{
    BeginButtonAssignmentMode();
    _beginthread(ButtonSharedMemoryThread, 0, nullptr);
    ASSERT_TRUE(WaitFor([] { return SharedBlock() == "0"; }));
    Quiet();
    OnSimButton(12);
    // Published, never run.
    int command = -1;
    EXPECT_FALSE(GetPendingCommand(&command));
    ASSERT_TRUE(WaitFor([] { return SharedBlock() == "12"; }));
    EXPECT_TRUE(WaitFor([] { return SharedBlock() == "0"; }));
    EndButtonAssignmentMode();
    EXPECT_TRUE(WaitFor([] { return !IsButtonPublisherRunning(); }));
    EXPECT_EQ(SharedBlock(), "");  // the block is gone with the thread
    Quiet();
    OnSimButton(12);
    EXPECT_TRUE(GetPendingCommand(&command));

    // The helper ending before the thread starts ends assignment mode. Kept in
    // this test: the block's name is fixed, so no other test process may
    // publish while this one reads it.
    BeginButtonAssignmentMode();
    EndButtonAssignmentMode();  // the helper was quicker than the thread
    std::thread late(ButtonSharedMemoryThread, nullptr);
    late.join();
    EXPECT_FALSE(IsButtonAssignmentMode());
    EXPECT_FALSE(IsButtonPublisherRunning());
}

TEST_F(ButtonAssignmentTest, CommandsDoNotRunDuringAssignment)
{
    BeginButtonAssignmentMode();
    Settings.Softkeylevel = 0;
    ExecuteCommand(7);  // CONFIG
    EXPECT_EQ(Settings.Softkeylevel, 0);
    EndButtonAssignmentMode();
    ExecuteCommand(7);
    EXPECT_EQ(Settings.Softkeylevel, MenuOptions);
}

TEST_F(ButtonAssignmentTest, AssignmentNeedsAConnectedSimulator)
{
    WorkingFolder in(folder.Path());
    RunButtonAssignment();  // no link runs: only the notice
    EXPECT_FALSE(IsButtonAssignmentMode());
    EXPECT_EQ(Joystick(), "");
}

}  // namespace
