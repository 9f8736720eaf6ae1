// Buttons from the simulator links: assignment by name, debounce, TopMost
// and the pending-command slot.
#include "app/command_table.h"

#include "app/settings.h"
#include "platform/threads.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>

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

    // Waits out the debounce window so the next report counts.
    static void Quiet() { Sleep(350); }
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

}  // namespace
