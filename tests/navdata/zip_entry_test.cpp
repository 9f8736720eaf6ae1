// Zip entries into memory and the line reader over them.
#include "navdata/zip_entry.h"

#include "nav_fixtures.h"

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ZipEntries : public ::testing::Test {
  protected:
    void TearDown() override { FreeZipEntry(); }
    std::string Archive(const std::vector<ZipWriterEntry>& entries)
    {
        root.WriteZip("Navdata/MSFS/Default/E.zip", entries);
        return root.Path("Navdata/MSFS/Default/E.zip");
    }
    TempNavRoot root;
};

TEST_F(ZipEntries, EntryIsFoundIgnoringCaseAndEndsWithANul)
{
    std::string path = Archive({{"E/EDDH.txt", "1 53 EDDH\n"}, {"E/EDHL.txt", "1 53 EDHL\n"}});
    ASSERT_TRUE(LoadZipEntry(path.c_str(), "e/eddh.TXT"));
    const char* data;
    size_t size;
    GetZipEntryBuffer(&data, &size);
    ASSERT_EQ(size, 10u);
    EXPECT_EQ(std::string(data, size), "1 53 EDDH\n");
    EXPECT_EQ(data[size], '\0');
}

TEST_F(ZipEntries, MissingArchiveOrEntryFails)
{
    std::string path = Archive({{"E/EDDH.txt", "x\n"}});
    EXPECT_FALSE(LoadZipEntry(path.c_str(), "E/EDHL.txt"));
    EXPECT_FALSE(LoadZipEntry((root.root() + "/nothing.zip").c_str(), "E/EDDH.txt"));
    EXPECT_FALSE(ReadZipEntryLine(nullptr, 10));  // nothing loaded: no line
}

// A FIFO in the archive's place would hold the open for ever.
TEST_F(ZipEntries, AnArchiveThatIsNoPlainFileIsRefusedAtOnce)
{
    std::string path = root.Path("Navdata/MSFS/Default/E.zip");
    Archive({{"E/EDDH.txt", "x\n"}});
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(LoadZipEntry(path.c_str(), "E/EDDH.txt"));
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    EXPECT_FALSE(LoadZipEntry(path.c_str(), "E/EDDH.txt"));
}

TEST_F(ZipEntries, NamesThatLeaveTheirFolderAreRefused)
{
    EXPECT_FALSE(WriteZipArchive(root.Path("bad.zip").c_str(), {{"../E/EDDH.txt", "x\n"}}));
    EXPECT_FALSE(WriteZipArchive(root.Path("bad.zip").c_str(), {{"/E/EDDH.txt", "x\n"}}));
    std::string path = Archive({{"E/EDDH.txt", "x\n"}});
    EXPECT_FALSE(LoadZipEntry(path.c_str(), "E/../E/EDDH.txt"));
    EXPECT_FALSE(LoadZipEntry(path.c_str(), "\\E\\EDDH.txt"));
    EXPECT_TRUE(IsContainedEntryName("E/..x/EDDH.txt"));
}

TEST_F(ZipEntries, CutArchiveIsRefusedWithoutReadingPastIt)
{
    std::string big(200000, 'A');
    for (size_t i = 0; i < big.size(); i += 97)
        big[i] = static_cast<char>('0' + i % 10);
    std::string path = Archive({{"E/EDDH.txt", big}});
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path.c_str(), &bytes));
    for (size_t cut : {bytes.size() - 10, bytes.size() / 2, size_t{30}}) {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
        root.WriteBytes("cut.zip", part);
        EXPECT_FALSE(LoadZipEntry(root.Path("cut.zip").c_str(), "E/EDDH.txt")) << cut;
    }
}

TEST_F(ZipEntries, DamagedDataFailsItsCheck)
{
    std::string path = Archive({{"E/EDDH.txt", std::string(5000, 'Q')}});
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path.c_str(), &bytes));
    bytes[40] ^= 0x55;  // inside the deflated data of the one entry
    root.WriteBytes("bad.zip", bytes);
    EXPECT_FALSE(LoadZipEntry(root.Path("bad.zip").c_str(), "E/EDDH.txt"));
}

TEST(ZipEntryLines, LinesFollowTheLineFeeds)
{
    std::string text = "first\r\nsecond\n\nend\rX\nlast without feed";
    ZipEntryCursor cursor{text.data(), text.size(), 0};
    char line[211];
    ASSERT_TRUE(ReadEntryLine(&cursor, line, 210));
    EXPECT_STREQ(line, "first");
    ASSERT_TRUE(ReadEntryLine(&cursor, line, 210));
    EXPECT_STREQ(line, "second");  // no carriage return: nothing dropped
    ASSERT_TRUE(ReadEntryLine(&cursor, line, 210));
    EXPECT_STREQ(line, "");
    ASSERT_TRUE(ReadEntryLine(&cursor, line, 210));
    EXPECT_STREQ(line, "end\rX");
    EXPECT_FALSE(ReadEntryLine(&cursor, line, 210));
}

TEST(ZipEntryLines, LongLineGivesItsFirstMaxCharacters)
{
    std::string text = std::string(300, 'a') + "\nnext\n";
    ZipEntryCursor cursor{text.data(), text.size(), 0};
    char line[211];
    ASSERT_TRUE(ReadEntryLine(&cursor, line, 210));
    EXPECT_EQ(std::string(line), std::string(210, 'a'));
    ASSERT_TRUE(ReadEntryLine(&cursor, line, 210));
    EXPECT_STREQ(line, "next");
}

}  // namespace
