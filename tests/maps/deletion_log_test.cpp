// The deletion log replayed at start-up and shutdown (line endings, foreign
// separators, over-long lines), and the Winsock start.
#include "maps/http_download.h"
#include "maps/tile_cache.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

class DeletionLogTest : public ::testing::Test {
protected:
    TempFolder folder;
    WorkingFolder here{folder.Path()};
};

TEST_F(DeletionLogTest, DeletesEveryListedFileThenTheLog)
{
    MakeFolders(folder / "cache/15");
    ASSERT_TRUE(WriteFileText(folder / "a.png", "x"));
    ASSERT_TRUE(WriteFileText(folder / "cache/15/b.png", "x"));
    ASSERT_TRUE(WriteFileText(folder / "keep.png", "x"));
    // Backslashes as the home platform writes them; a CRLF line; a last
    // line without its line feed; a file already gone.
    ASSERT_TRUE(WriteFileText(folder / "FilesToDelete.log", "a.png\r\ngone.png\n\n" + folder.Path() + "\\cache\\15\\b.png"));
    ProcessDeletionLog();
    EXPECT_FALSE(Exists(folder / "a.png"));
    EXPECT_FALSE(Exists(folder / "cache/15/b.png"));
    EXPECT_TRUE(Exists(folder / "keep.png"));
    EXPECT_FALSE(Exists(folder / "FilesToDelete.log"));
}

TEST_F(DeletionLogTest, MissingLogDoesNothing)
{
    ASSERT_TRUE(WriteFileText(folder / "a.png", "x"));
    ProcessDeletionLog();
    EXPECT_TRUE(Exists(folder / "a.png"));
}

TEST_F(DeletionLogTest, OverlongLineIsSkippedWhole)
{
    // Read in 260-character pieces, the rest of this line would name a file
    // that exists; no piece of it may be taken for a path.
    ASSERT_TRUE(WriteFileText(folder / "victim.png", "x"));
    ASSERT_TRUE(WriteFileText(folder / "after.png", "x"));
    ASSERT_TRUE(WriteFileText(folder / "FilesToDelete.log", std::string(260, 'z') + "victim.png\nafter.png\n"));
    ProcessDeletionLog();
    EXPECT_TRUE(Exists(folder / "victim.png"));
    EXPECT_FALSE(Exists(folder / "after.png"));
    EXPECT_FALSE(Exists(folder / "FilesToDelete.log"));
}

TEST(Winsock, StartSetsTheNetworkUpFlagAndStopClearsIt)
{
    ASSERT_EQ(StartWinsock(), 0);
    EXPECT_TRUE(IsNetworkUp());
    StopWinsock();
    EXPECT_FALSE(IsNetworkUp());
}

}  // namespace
