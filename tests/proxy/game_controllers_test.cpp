// The proxy's game controllers on SDL virtual joysticks: the INI switch per
// controller, the button and hat numbers, the order among controllers and a
// controller that is unplugged and comes back.
#include "proxy/game_controllers.h"

#include "platform/profile.h"
#include "tests/support/temp_folder.h"
#include "tests/support/virtual_joystick.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class GameControllers : public ::testing::Test {
protected:
    void TearDown() override
    {
        ReleaseControllers();
        ReleaseDirectInput();
    }
    // Creates DirectInput and enumerates what the test attached.
    bool Enumerate() { return CreateDirectInput() && EnumerateControllers(); }
    static int IndexOf(const std::string& name)
    {
        for (int i = 0; i < ControllerCount(); ++i) {
            if (name == ControllerName(i))
                return i;
        }
        return -1;
    }
    TempFolder folder_;
    WorkingFolder inFolder_{folder_.Path()};
};

TEST_F(GameControllers, ANewControllerIsEnabledAndWrittenToTheIni)
{
    VirtualJoystick pad("Test Pad", 12, 1);
    ASSERT_TRUE(pad.attached());
    ASSERT_TRUE(Enumerate());
    int index = IndexOf("Test Pad");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ControllerEnableValue(index), 1);
    EXPECT_EQ(ControllerHighestButton(index), 11);
    char value[30];
    GetPrivateProfileStringA("Controller", "Test Pad", "missing", value, sizeof(value), ".\\Plovik.ini");
    EXPECT_STREQ(value, "1");
    EXPECT_EQ(PollControllers(), -1);  // nothing pressed
    pad.Press(7);
    EXPECT_EQ(PollControllers(), 7);
}

TEST_F(GameControllers, AControllerSwitchedOffInTheIniIsNeverPolled)
{
    ASSERT_TRUE(WriteFileText(folder_ / "Plovik.ini", "[Controller]\nOff Pad=0\n"));
    VirtualJoystick off("Off Pad", 8, 1);
    VirtualJoystick on("On Pad", 8, 1);
    ASSERT_TRUE(Enumerate());
    ASSERT_GE(IndexOf("Off Pad"), 0);
    EXPECT_EQ(ControllerEnableValue(IndexOf("Off Pad")), 0);
    off.Press(2);
    off.Hat(9000);
    EXPECT_EQ(PollControllers(), -1);
    on.Press(5);
    EXPECT_EQ(PollControllers(), 5);  // the switched-off one does not hide the other
    EXPECT_NE(ReadFileText(folder_ / "Plovik.ini").find("Off Pad=0"), std::string::npos);
}

TEST_F(GameControllers, TheHatGivesEightNumbersAfterTheButtons)
{
    VirtualJoystick pad("Hat Pad", 12, 1);
    ASSERT_TRUE(Enumerate());
    pad.Hat(9000);
    EXPECT_EQ(PollControllers(), 14);  // 11 + 1 + 2
    pad.Hat(0);
    EXPECT_EQ(PollControllers(), 12);
    pad.Hat(31500);
    EXPECT_EQ(PollControllers(), 19);
    pad.Press(3);
    EXPECT_EQ(PollControllers(), 3);  // a button comes before the hat
    pad.Press(3, false);
    pad.Hat(-1);
    EXPECT_EQ(PollControllers(), -1);
}

TEST_F(GameControllers, OnlyTheFirstControllerWithAPressCounts)
{
    VirtualJoystick first("First Pad", 6, 0);
    VirtualJoystick second("Second Pad", 6, 0);
    ASSERT_TRUE(Enumerate());
    ASSERT_LT(IndexOf("First Pad"), IndexOf("Second Pad"));
    second.Press(1);
    first.Press(4);
    EXPECT_EQ(PollControllers(), 4);
    first.Press(4, false);
    EXPECT_EQ(PollControllers(), 1);
}

TEST_F(GameControllers, AnUnpluggedControllerGivesNothingAndIsTakenBackWhenItReturns)
{
    auto pad = std::make_unique<VirtualJoystick>("Loose Pad", 4, 0);
    ASSERT_TRUE(Enumerate());
    pad->Press(2);
    EXPECT_EQ(PollControllers(), 2);
    pad.reset();
    // The lost device is no press of button 0, not now and not while it stays away.
    EXPECT_EQ(PollControllers(), -1);
    EXPECT_EQ(PollControllers(), -1);
    pad = std::make_unique<VirtualJoystick>("Loose Pad", 4, 0);
    pad->Press(3);
    int button = -1;
    for (int round = 0; round < 3 && button < 0; ++round)
        button = PollControllers();
    EXPECT_EQ(button, 3);
}

TEST_F(GameControllers, NoDirectInputOrNoControllerMeansNoButtons)
{
    EXPECT_FALSE(EnumerateControllers());  // no interface yet
    EXPECT_EQ(PollControllers(), -1);
    EXPECT_FALSE(ControllersEnumerated());
}

TEST_F(GameControllers, ReleasedControllersAreNoLongerPolled)
{
    VirtualJoystick pad("Gone Pad", 4, 0);
    ASSERT_TRUE(Enumerate());
    EXPECT_TRUE(ControllersEnumerated());
    pad.Press(1);
    ReleaseControllers();
    EXPECT_FALSE(ControllersEnumerated());
    EXPECT_EQ(PollControllers(), -1);
}

TEST_F(GameControllers, MoreThanThirtyTwoControllersKeepTheFirstThirtyTwo)
{
    std::vector<std::unique_ptr<VirtualJoystick>> pads;
    for (int i = 0; i < MaxControllers + 3; ++i)
        pads.push_back(std::make_unique<VirtualJoystick>("Pad " + std::to_string(i), 2, 0));
    ASSERT_TRUE(Enumerate());
    EXPECT_EQ(ControllerCount(), MaxControllers);
    pads.back()->Press(1);  // not kept: never heard
    EXPECT_EQ(PollControllers(), -1);
    pads[MaxControllers - 1]->Press(0);
    EXPECT_EQ(PollControllers(), 0);
}

}  // namespace
