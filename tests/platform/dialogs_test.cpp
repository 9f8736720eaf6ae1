// Global memory blocks, templates the dialog manager cannot read, and the
// colour dialog's answers.
#include "platform/dialogs.h"

#include "platform/messagebox.h"
#include "platform/window.h"

#include "tests/support/fake_zenity.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(GlobalMemoryTest, BlocksAreZeroedLockedAndFreedOnce)
{
    HGLOBAL block = GlobalAlloc(GHND, 64);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 64u);
    auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(bytes[i], 0);
    EXPECT_EQ(GlobalLock(block), bytes);
    EXPECT_TRUE(GlobalUnlock(block));
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalFree(block), block);  // a stale handle is refused
    EXPECT_EQ(GlobalLock(block), nullptr);
    EXPECT_EQ(GlobalSize(block), 0u);
}

INT_PTR EndAtInit(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG)
        EndDialog(dialog, 42);
    return 0;
}

TEST(DialogTemplateTest, TruncatedTemplateIsRefused)
{
    // A header that promises four items in a block that ends after it.
    HGLOBAL block = GlobalAlloc(GHND, 28);
    auto* p = static_cast<uint8_t*>(GlobalLock(block));
    p[0] = 0x84;  // no font: the title ends the header
    p[8] = 4;  // four items
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, reinterpret_cast<const DLGTEMPLATE*>(p), nullptr, EndAtInit, 0), -1);
    // A title that never ends inside the block.
    std::memset(p + 22, 'x', 6);
    p[8] = 0;
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, reinterpret_cast<const DLGTEMPLATE*>(p), nullptr, EndAtInit, 0), -1);
    // With the title ended it runs, and the procedure's end is the result.
    p[26] = p[27] = 0;
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, reinterpret_cast<const DLGTEMPLATE*>(p), nullptr, EndAtInit, 0), 42);
    GlobalFree(block);
    EXPECT_EQ(GetDlgItem(nullptr, 1), nullptr);
    EXPECT_FALSE(EndDialog(nullptr, 1));
}

TEST(ColourDialogTest, AnswersAreReadInBothForms)
{
    COLORREF c = 0;
    ASSERT_TRUE(ParseColourAnswer("#A1B2C3", &c));
    EXPECT_EQ(c, 0x00C3B2A1u);
    ASSERT_TRUE(ParseColourAnswer("rgb(1,2,3)", &c));
    EXPECT_EQ(c, 0x00030201u);
    ASSERT_TRUE(ParseColourAnswer("rgba(10,20,30,0.5)", &c));
    EXPECT_EQ(c, 0x001E140Au);
    EXPECT_FALSE(ParseColourAnswer("#12345", &c));
    EXPECT_FALSE(ParseColourAnswer("#12345G", &c));
    EXPECT_FALSE(ParseColourAnswer("rgb(256,0,0)", &c));
    EXPECT_FALSE(ParseColourAnswer("red", &c));
    EXPECT_FALSE(ParseColourAnswer(nullptr, &c));
}

TEST(ColourDialogTest, HeadlessChoiceComesFromTheEnvironment)
{
    COLORREF custom[16] = {};
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof(cc);
    cc.rgbResult = 0x123456;
    cc.lpCustColors = custom;
    cc.Flags = CC_FULLOPEN | CC_RGBINIT;
    unsetenv("TVL_DIALOG_ANSWER");
    EXPECT_FALSE(ChooseColorA(&cc));
    EXPECT_EQ(cc.rgbResult, 0x123456u);
    setenv("TVL_DIALOG_ANSWER", "#00FF00", 1);
    EXPECT_TRUE(ChooseColorA(&cc));
    EXPECT_EQ(cc.rgbResult, 0x0000FF00u);
    unsetenv("TVL_DIALOG_ANSWER");
}

// With a display the user answers through zenity.
TEST(ZenityTest, ColourDialogStartsFromTheColourAndTakesTheChoice)
{
    FakeZenity zenity;
    zenity.Answer("rgb(1,2,3)", 0);
    CHOOSECOLORA cc{};
    cc.rgbResult = 0x123456;
    cc.Flags = CC_RGBINIT;
    ASSERT_TRUE(ChooseColorA(&cc));
    EXPECT_EQ(cc.rgbResult, 0x00030201u);
    EXPECT_EQ(zenity.Arguments(), "--color-selection\n--color=#563412\n");
    zenity.Answer("", 1);  // cancelled
    cc.rgbResult = 0x123456;
    EXPECT_FALSE(ChooseColorA(&cc));
    EXPECT_EQ(cc.rgbResult, 0x123456u);
}

}  // namespace
