// The file-open and file-save dialogs: headless answers, the default
// extension, files that must exist, a name too long for the buffer, and the
// zenity call with a display.
#include "platform/dialogs.h"

#include "tests/support/fake_zenity.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kFilter[] = "Airspace color *.bin\0*.bin\0All files *.*\0*.*\0";

class FileDialogTest : public ::testing::Test {
protected:
    TempFolder folder;
    char name[512] = "proposed.bin";
    OPENFILENAMEA dialog = {};

    void SetUp() override
    {
        dialog.lStructSize = sizeof dialog;
        dialog.lpstrFilter = kFilter;
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = name;
        dialog.nMaxFile = sizeof name;
        dialog.lpstrInitialDir = folder.Path().c_str();
        dialog.lpstrTitle = "Airspace Color";
        dialog.lpstrDefExt = "BIN";
    }
    void TearDown() override { unsetenv("TVL_DIALOG_ANSWER"); }
};

TEST_F(FileDialogTest, HeadlessAnswerLiesInTheInitialFolderAndGetsTheExtension)
{
    setenv("TVL_DIALOG_ANSWER", "colours", 1);
    ASSERT_TRUE(GetSaveFileNameA(&dialog));
    EXPECT_EQ(std::string(name), folder / "colours.BIN");
    EXPECT_EQ(std::string(name + dialog.nFileOffset), "colours.BIN");
    setenv("TVL_DIALOG_ANSWER", (folder / "b.dat").c_str(), 1);
    ASSERT_TRUE(GetSaveFileNameA(&dialog));
    EXPECT_EQ(std::string(name), folder / "b.dat");
}

TEST_F(FileDialogTest, CancelMissingFileAndLongNameLeaveThePathAlone)
{
    unsetenv("TVL_DIALOG_ANSWER");
    EXPECT_FALSE(GetOpenFileNameA(&dialog));
    EXPECT_STREQ(name, "proposed.bin");
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    setenv("TVL_DIALOG_ANSWER", "missing.bin", 1);
    EXPECT_FALSE(GetOpenFileNameA(&dialog));
    EXPECT_STREQ(name, "proposed.bin");
    WriteFileText(folder / "there.bin", "x");
    setenv("TVL_DIALOG_ANSWER", "there.bin", 1);
    ASSERT_TRUE(GetOpenFileNameA(&dialog));
    EXPECT_EQ(std::string(name), folder / "there.bin");
    std::strcpy(name, "proposed.bin");
    dialog.Flags = 0;
    setenv("TVL_DIALOG_ANSWER", std::string(600, 'a').c_str(), 1);
    EXPECT_FALSE(GetSaveFileNameA(&dialog));
    EXPECT_STREQ(name, "proposed.bin");
}

TEST_F(FileDialogTest, WithADisplayZenityChoosesTheFile)
{
    FakeZenity zenity;
    zenity.Answer(folder / "chosen.bin", 0);
    ASSERT_TRUE(GetSaveFileNameA(&dialog));
    EXPECT_EQ(std::string(name), folder / "chosen.bin");
    EXPECT_EQ(zenity.Arguments(), "--file-selection\n--save\n--title=Airspace Color\n--filename=" +
                                      (folder / "proposed.bin") + "\n--file-filter=Airspace color *.bin | *.bin\n"
                                      "--file-filter=All files *.* | *.*\n");
    zenity.Answer("", 1);
    EXPECT_FALSE(GetOpenFileNameA(&dialog));
    EXPECT_EQ(std::string(name), folder / "chosen.bin");
}

}  // namespace
