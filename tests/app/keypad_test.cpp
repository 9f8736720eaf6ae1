// The keypad of the chart georeference editor: typing, the half-second key
// guard, degrees and minutes, and the checks before a georeference is saved.
#include "app/keypad.h"

#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/chart_view.h"
#include "platform/threads.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class KeypadTest : public ::testing::Test {
protected:
    // The four edges picked on a chart, as the georeference clicks leave them.
    void SetUp() override
    {
        ClearFieldsATestBeforeTyped();
        SetChartEdgeMark(TextModeLongitude1, 10, 20);
        SetChartEdgeMark(TextModeLatitude1, 10, 20);
        SetChartEdgeMark(TextModeLongitude2, 500, 600);
        SetChartEdgeMark(TextModeLatitude2, 500, 600);
    }
    // Empty fields, no field selected, and no key press that the guard
    // would hold against the test's first one.
    static void ClearFieldsATestBeforeTyped()
    {
        KeyboardClose();
        for (int mode : {TextModeLongitude1, TextModeLatitude1, TextModeLongitude2, TextModeLatitude2}) {
            SelectKeypadField(mode);
            while (GetKeypadField(mode)[0] != '\0')
                KeyboardBackspace();
            KeyboardClose();
        }
        AfterTheGuard();
    }
    static void AfterTheGuard() { AdvanceProgramClock(520); }
    // Types text into field mode m (one press; the guard is waited out).
    static void Type(int mode, const char* text)
    {
        if (TextMode != mode)
            SelectKeypadField(mode);
        AfterTheGuard();
        KeyboardInput(text);
    }
};

TEST_F(KeypadTest, DegreesAndMinutesCountAwayFromZero)
{
    double d = 0;
    ASSERT_TRUE(ParseKeypadDegrees("12 30", &d));
    EXPECT_DOUBLE_EQ(d, 12.5);
    ASSERT_TRUE(ParseKeypadDegrees("-12 30", &d));
    EXPECT_DOUBLE_EQ(d, -12.5);
    ASSERT_TRUE(ParseKeypadDegrees("-0 30", &d));  // south of the equator stays south
    EXPECT_DOUBLE_EQ(d, -0.5);
    ASSERT_TRUE(ParseKeypadDegrees("9.75", &d));
    EXPECT_DOUBLE_EQ(d, 9.75);
    EXPECT_FALSE(ParseKeypadDegrees("", &d));
    EXPECT_FALSE(ParseKeypadDegrees("-", &d));
    EXPECT_FALSE(ParseKeypadDegrees("12 ", &d));
    EXPECT_FALSE(ParseKeypadDegrees("12 30 5", &d));
    EXPECT_FALSE(ParseKeypadDegrees("1.2.3x", &d));
}

TEST_F(KeypadTest, FieldTakesTenCharactersAndNoKeyWithinHalfASecond)
{
    SelectKeypadField(TextModeLatitude1);
    EXPECT_EQ(TextMode, TextModeLatitude1);
    KeyboardInput("1234567890");
    EXPECT_STREQ(GetKeypadField(TextModeLatitude1), "1234567890");
    AfterTheGuard();
    KeyboardInput("1");
    EXPECT_STREQ(GetKeypadField(TextModeLatitude1), "1234567890");
    KeyboardBackspace();
    EXPECT_STREQ(GetKeypadField(TextModeLatitude1), "123456789");
    AfterTheGuard();
    KeyboardInput("7");
    KeyboardInput("8");  // at once after the 7: ignored
    EXPECT_STREQ(GetKeypadField(TextModeLatitude1), "1234567897");
    EXPECT_TRUE(IsKeyPressHighlightActive());
    AfterTheGuard();
    EXPECT_FALSE(IsKeyPressHighlightActive());
}

TEST_F(KeypadTest, LongTextFillsOnlyWhatIsLeft)
{
    SelectKeypadField(TextModeLongitude2);
    KeyboardInput("12345678");
    AfterTheGuard();
    KeyboardInput("ABCDEFGHIJKL");
    EXPECT_STREQ(GetKeypadField(TextModeLongitude2), "12345678AB");
}

TEST_F(KeypadTest, SelectingAFieldAgainDeselectsIt)
{
    SelectKeypadField(TextModeLongitude1);
    SelectKeypadField(TextModeLongitude1);
    EXPECT_EQ(TextMode, TextModeNone);
    KeyboardInput("5");  // no field: nothing typed
    EXPECT_STREQ(GetKeypadField(TextModeLongitude1), "");
    SelectKeypadField(7);
    EXPECT_EQ(TextMode, TextModeNone);
    EXPECT_STREQ(GetKeypadField(7), "");
}

TEST_F(KeypadTest, EqualLongitudesFlagBothAndSaveNothing)
{
    Type(TextModeLongitude1, "10 30");
    Type(TextModeLongitude2, "10.5");
    Type(TextModeLatitude1, "53");
    Type(TextModeLatitude2, "54");
    EXPECT_FALSE(KeyboardSave());
    EXPECT_TRUE(GetKeypadFieldError(TextModeLongitude1));
    EXPECT_TRUE(GetKeypadFieldError(TextModeLongitude2));
    EXPECT_FALSE(GetKeypadFieldError(TextModeLatitude1));
    // Typing into a flagged field clears its flag.
    Type(TextModeLongitude2, "1");
    EXPECT_FALSE(GetKeypadFieldError(TextModeLongitude2));
    EXPECT_TRUE(KeyboardSave());
}

TEST_F(KeypadTest, FieldThatDoesNotParseStopsTheSave)
{
    Type(TextModeLongitude1, "10");
    Type(TextModeLongitude2, "--");
    Type(TextModeLatitude1, "53");
    Type(TextModeLatitude2, "54");
    EXPECT_FALSE(KeyboardSave());
    EXPECT_TRUE(GetKeypadFieldError(TextModeLongitude2));
    EXPECT_FALSE(GetKeypadFieldError(TextModeLatitude1));  // not reached
}

TEST_F(KeypadTest, ClosingLeavesTheEditorClean)
{
    Settings.GeorefEdit = 1;
    Settings.Softkeys = 0;
    Settings.GPSMode = 2;
    RememberFrameForEditor(true);
    Settings.ShowFrame = 0;
    Type(TextModeLatitude2, "5");
    KeyboardClose();
    EXPECT_EQ(TextMode, TextModeNone);
    EXPECT_STREQ(GetKeypadField(TextModeLatitude2), "");
    EXPECT_EQ(Settings.GeorefEdit, 0);
    EXPECT_EQ(Settings.ShowFrame, 1);
    EXPECT_EQ(Settings.GPSMode, 1);
    EXPECT_EQ(Settings.Softkeylevel, MenuOptions);
    EXPECT_EQ(Settings.Softkeysublevel, 3);
    EXPECT_EQ(Settings.Softkeys, 1);
}

}  // namespace
