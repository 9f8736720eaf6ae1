// The text-entry dialog: the template it writes (layout, alignment, code
// page), and the answers: OK with the text cut to the buffer, cancel and the
// close box leaving it alone.
#include "app/text_entry_dialog.h"

#include "platform/messagebox.h"
#include "platform/window.h"
#include "tests/support/fake_zenity.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

WORD WordAt(const uint8_t* p, size_t offset)
{
    return static_cast<WORD>(p[offset] | (p[offset + 1] << 8));
}

DWORD DwordAt(const uint8_t* p, size_t offset)
{
    return WordAt(p, offset) | (static_cast<DWORD>(WordAt(p, offset + 2)) << 16);
}

class TextEntryTemplateTest : public ::testing::Test {
protected:
    std::vector<uint8_t> block = std::vector<uint8_t>(TextEntryBlockSize, 0xCC);
    DialogTemplateWriter w = MakeDialogTemplateWriter(block.data(), block.size());
};

TEST_F(TextEntryTemplateTest, HeaderHoldsStyleSizeTitleAndFont)
{
    uint8_t* end = WriteDialogHeader(&w, "Ab\xE9\x80", 0x90C808C4u, 4, "MS Sans Serif", 8, 0, 0, 169, 47);
    const uint8_t* p = block.data();
    EXPECT_EQ(DwordAt(p, 0), 0x90C808C4u);
    EXPECT_EQ(DwordAt(p, 4), 0u);
    EXPECT_EQ(WordAt(p, 8), 4);
    EXPECT_EQ(WordAt(p, 14), 169);
    EXPECT_EQ(WordAt(p, 16), 47);
    EXPECT_EQ(WordAt(p, 18), 0);  // no menu
    EXPECT_EQ(WordAt(p, 20), 0);  // standard class
    // The title from code page 1252: e acute and the euro sign.
    EXPECT_EQ(WordAt(p, 22), 'A');
    EXPECT_EQ(WordAt(p, 26), 0x00E9);
    EXPECT_EQ(WordAt(p, 28), 0x20AC);
    EXPECT_EQ(WordAt(p, 30), 0);
    EXPECT_EQ(WordAt(p, 32), 8);  // point size
    EXPECT_EQ(WordAt(p, 34), 'M');
    EXPECT_EQ(end - p, 34 + 2 * 14);
    EXPECT_FALSE(w.cut);
}

TEST_F(TextEntryTemplateTest, ItemsStartAndEndOnFourByteBoundaries)
{
    WriteDialogHeader(&w, "T", 0x90C808C4u, 4, "MS Sans Serif", 8, 0, 0, 169, 47);
    for (const char* text : {"", "O", "OK", "Cancel", "ICAO code:"}) {
        uint8_t* start = w.position;
        uint8_t* end = WriteDialogItem(&w, DialogButtonAtom, 1, text, 0x50010001u, 114, 7, 48, 15);
        size_t offset = static_cast<size_t>(start - block.data());
        size_t itemStart = (offset + 3) / 4 * 4;
        EXPECT_EQ((end - block.data()) % 4, 0) << text;
        EXPECT_EQ(DwordAt(block.data(), itemStart), 0x50010001u);
        EXPECT_EQ(WordAt(block.data(), itemStart + 16), 1);       // id
        EXPECT_EQ(WordAt(block.data(), itemStart + 18), 0xFFFF);  // class by atom
        EXPECT_EQ(WordAt(block.data(), itemStart + 20), DialogButtonAtom);
        EXPECT_EQ(WordAt(block.data(), static_cast<size_t>(end - block.data()) - 2), 0);  // no creation data
    }
}

TEST_F(TextEntryTemplateTest, LongTextsAreCutAndNeverPassTheBlock)
{
    std::string longText(5000, 'x');
    WriteDialogHeader(&w, longText.c_str(), 0x90C808C4u, 4, "MS Sans Serif", 8, 0, 0, 169, 47);
    EXPECT_TRUE(w.cut);
    for (int i = 0; i < 20; ++i)
        WriteDialogItem(&w, DialogStaticAtom, 201, longText.c_str(), 0x50000000u, 10, 9, 54, 16);
    EXPECT_LE(w.position, block.data() + block.size());
    // A block too small even for the header is never overrun either.
    std::vector<uint8_t> tiny(12, 0);
    DialogTemplateWriter small = MakeDialogTemplateWriter(tiny.data(), tiny.size());
    WriteDialogHeader(&small, "Title", 0x90C808C4u, 4, "MS Sans Serif", 8, 0, 0, 169, 47);
    EXPECT_TRUE(small.cut);
    EXPECT_LE(small.position, tiny.data() + tiny.size());
}

class TextEntryDialogTest : public ::testing::Test {
protected:
    void TearDown() override { unsetenv("TVL_DIALOG_ANSWER"); }
};

TEST_F(TextEntryDialogTest, OkGivesTheEnteredText)
{
    setenv("TVL_DIALOG_ANSWER", "eddh", 1);
    char text[20] = "old";
    EXPECT_EQ(RunTextEntryDialog(nullptr, "ICAO code:", "Zorizeruverovu", text, sizeof(text)), IDOK);
    EXPECT_STREQ(text, "eddh");
}

TEST_F(TextEntryDialogTest, CancelKeepsTheBuffer)
{
    unsetenv("TVL_DIALOG_ANSWER");
    char text[20] = "old";
    EXPECT_EQ(RunTextEntryDialog(nullptr, "ICAO code:", "Zorizeruverovu", text, sizeof(text)), IDCANCEL);
    EXPECT_STREQ(text, "old");
}

TEST_F(TextEntryDialogTest, LongOrForeignAnswersAreCutToTheField)
{
    setenv("TVL_DIALOG_ANSWER", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", 1);
    char text[20] = {};
    char guard[8] = "guard";
    ASSERT_EQ(RunTextEntryDialog(nullptr, "ICAO code:", "Zorizeruverovu", text, sizeof(text)), IDOK);
    EXPECT_STREQ(text, "ABCDEFGHIJKLMNOPQRS");
    EXPECT_STREQ(guard, "guard");
    // UTF-8 from the user: what code page 1252 has stays, the rest is '?'.
    setenv("TVL_DIALOG_ANSWER", "\xC3\x9C\xE2\x82\xAC\xF0\x9D\x84\x9E" "x", 1);
    char small[4] = {};
    ASSERT_EQ(RunTextEntryDialog(nullptr, "?", "T", small, sizeof(small)), IDOK);
    EXPECT_STREQ(small, "\xDC\x80?");
}

// The close box ends the dialog as cancel does.
INT_PTR ClosingProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    TextEntryDialogProc(dialog, message, wParam, lParam);
    if (message == WM_INITDIALOG)
        TextEntryDialogProc(dialog, WM_CLOSE, 0, 0);
    return 0;
}

TEST_F(TextEntryDialogTest, CloseBoxIsCancel)
{
    setenv("TVL_DIALOG_ANSWER", "EDDH", 1);
    HGLOBAL block = GlobalAlloc(GHND, TextEntryBlockSize);
    auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
    DialogTemplateWriter w = MakeDialogTemplateWriter(bytes, TextEntryBlockSize);
    WriteDialogHeader(&w, "T", 0x90C808C4u, 2, "MS Sans Serif", 8, 0, 0, 169, 47);
    WriteDialogItem(&w, DialogButtonAtom, IDOK, "OK", 0x50010001u, 114, 7, 48, 15);
    WriteDialogItem(&w, DialogEditAtom, TextEntryFieldId, "", 0x50810000u, 10, 26, 99, 13);
    char text[20] = "old";
    struct {
        char* text;
        int size;
    } request{text, sizeof(text)};
    INT_PTR result = DialogBoxIndirectParamA(nullptr, reinterpret_cast<const DLGTEMPLATE*>(bytes), nullptr,
                                             ClosingProcedure, reinterpret_cast<LPARAM>(&request));
    GlobalUnlock(block);
    GlobalFree(block);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_STREQ(text, "old");
}

TEST(TextEntryWithDisplayTest, AsksThroughZenityInTheUsersEncoding)
{
    FakeZenity zenity;
    zenity.Answer("LFPG", 0);
    char text[20] = "";
    ASSERT_EQ(RunTextEntryDialog(nullptr, "Code a\xE9roport:", "Zorizeruverovu", text, sizeof(text)), IDOK);
    EXPECT_STREQ(text, "LFPG");
    EXPECT_EQ(zenity.Arguments(), "--entry\n--title=Zorizeruverovu\n--text=Code a\xC3\xA9roport:\n");
    zenity.Answer("", 1);
    EXPECT_EQ(RunTextEntryDialog(nullptr, "?", "T", text, sizeof(text)), IDCANCEL);
    EXPECT_STREQ(text, "LFPG");
}

}  // namespace
