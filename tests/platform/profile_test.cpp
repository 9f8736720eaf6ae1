// The profile API against Windows' rules: look-up, cutting, defaults,
// writes that keep the rest of the file, atomic replacement, other writers.
#include "platform/profile.h"
#include "platform/sync.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class ProfileTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string ini = folder / "Test.ini";

    std::string Get(const char* section, const char* key, const char* def = "DEF", DWORD size = 256)
    {
        char out[256];
        GetPrivateProfileStringA(section, key, def, out, size, ini.c_str());
        return out;
    }
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(Get("Main", "Key"), "DEF");
    WriteFileText(ini, "[Main]\nKey=1\n");
    EXPECT_EQ(Get("Other", "Key"), "DEF");
    EXPECT_EQ(Get("Main", "Missing"), "DEF");
    EXPECT_EQ(Get("Main", "Missing", nullptr), "");
}

TEST_F(ProfileTest, DefaultLosesTrailingBlanksOnly)
{
    EXPECT_EQ(Get("Main", "Key", "  ab c   "), "  ab c");
    EXPECT_EQ(Get("Main", "Key", "        "), "");
}

TEST_F(ProfileTest, SectionsAndKeysMatchIgnoringCase)
{
    WriteFileText(ini, "[Zorizeruverovu Plovik]\nUseSimulator=4\n");
    EXPECT_EQ(Get("zorizeruverovu PLOVIK", "usesimulator"), "4");
}

TEST_F(ProfileTest, ValuesAreTrimmedAndLoseOnePairOfQuotes)
{
    WriteFileText(ini, "[S]\n  a  =   spaced value \t \n"
                       "b=\"quoted\"\n"
                       "c='single'\n"
                       "d=\"\"twice\"\"\n"
                       "e=\"mixed'\n"
                       "f=\"\n"
                       "g=\n");
    EXPECT_EQ(Get("S", "a"), "spaced value");
    EXPECT_EQ(Get("S", "b"), "quoted");
    EXPECT_EQ(Get("S", "c"), "single");
    EXPECT_EQ(Get("S", "d"), "\"twice\"");
    EXPECT_EQ(Get("S", "e"), "\"mixed'");
    EXPECT_EQ(Get("S", "f"), "\"");
    EXPECT_EQ(Get("S", "g"), "");
}

TEST_F(ProfileTest, ResultIsCutToTheCallersBuffer)
{
    WriteFileText(ini, "[S]\nk=abcdefgh\n");
    char out[5] = "xxxx";
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", out, 5, ini.c_str()), 4u);
    EXPECT_STREQ(out, "abcd");
    EXPECT_EQ(GetPrivateProfileStringA("S", "none", "0123456789", out, 5, ini.c_str()), 4u);
    EXPECT_STREQ(out, "0123");
    char one[1] = {'x'};
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", one, 1, ini.c_str()), 0u);
    EXPECT_EQ(one[0], '\0');
}

TEST_F(ProfileTest, FirstDuplicateKeyWins)
{
    WriteFileText(ini, "[S]\nk=first\nK=second\n[T]\nk=other\n");
    EXPECT_EQ(Get("S", "k"), "first");
    EXPECT_EQ(Get("T", "k"), "other");
}

TEST_F(ProfileTest, KeysBeforeAnySectionAreNotInOne)
{
    WriteFileText(ini, "k=loose\n[S]\nx=1\n");
    EXPECT_EQ(Get("S", "k"), "DEF");
}

TEST_F(ProfileTest, ListsSectionNamesAndKeyNames)
{
    WriteFileText(ini, "[One]\na=1\n; note\nb=2\n[Two]\n");
    char out[64];
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", out, sizeof out, ini.c_str());
    EXPECT_EQ(std::string(out, n + 1), std::string("One\0Two\0\0", 9));
    n = GetPrivateProfileStringA("one", nullptr, "", out, sizeof out, ini.c_str());
    EXPECT_EQ(std::string(out, n + 1), std::string("a\0b\0\0", 5));
    char small[7];
    n = GetPrivateProfileStringA(nullptr, nullptr, "", small, sizeof small, ini.c_str());
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(std::string(small, 7), std::string("One\0T\0\0", 7));
}

TEST_F(ProfileTest, IntegersFollowTheRuntimeConversion)
{
    WriteFileText(ini, "[S]\na=42\nb= -7 \nc=0x1F\nd=12abc\ne=abc\nf=\n");
    EXPECT_EQ(GetPrivateProfileIntA("S", "a", 5, ini.c_str()), 42u);
    EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntA("S", "b", 5, ini.c_str())), -7);
    EXPECT_EQ(GetPrivateProfileIntA("S", "c", 5, ini.c_str()), 31u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "d", 5, ini.c_str()), 12u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "e", 5, ini.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "f", 5, ini.c_str()), 5u);
    EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntA("S", "missing", -3, ini.c_str())), -3);
}

TEST_F(ProfileTest, WriteCreatesFileAndSection)
{
    EXPECT_TRUE(WritePrivateProfileStringA("Main", "Key", "v1", ini.c_str()));
    EXPECT_EQ(ReadFileText(ini), "[Main]\nKey=v1\n");
    EXPECT_TRUE(WritePrivateProfileStringA("Second", "Other", "v2", ini.c_str()));
    EXPECT_EQ(Get("second", "other"), "v2");
    EXPECT_EQ(Get("Main", "Key"), "v1");
}

TEST_F(ProfileTest, WriteKeepsEveryOtherLineAndComment)
{
    const std::string before = "; settings\n"
                               "[Main]\n"
                               "Path=C:\\x\n"
                               "; keep me\n"
                               "Key=old\n"
                               "Tail=1\n"
                               "\n"
                               "[Other]\n"
                               "Key=other\n";
    WriteFileText(ini, before);
    EXPECT_TRUE(WritePrivateProfileStringA("MAIN", "key", "new", ini.c_str()));
    std::string expected = before;
    expected.replace(expected.find("Key=old"), 7, "key=new");
    EXPECT_EQ(ReadFileText(ini), expected);

    EXPECT_TRUE(WritePrivateProfileStringA("Main", "Added", "2", ini.c_str()));
    expected.insert(expected.find("\n\n[Other]") + 1, "Added=2\n");
    EXPECT_EQ(ReadFileText(ini), expected);
}

TEST_F(ProfileTest, NullValueDeletesKeyAndNullKeyDeletesSection)
{
    WriteFileText(ini, "[A]\nx=1\ny=2\n[B]\nz=3\n[C]\nw=4\n");
    EXPECT_TRUE(WritePrivateProfileStringA("a", "X", nullptr, ini.c_str()));
    EXPECT_EQ(ReadFileText(ini), "[A]\ny=2\n[B]\nz=3\n[C]\nw=4\n");
    EXPECT_TRUE(WritePrivateProfileStringA("B", nullptr, nullptr, ini.c_str()));
    EXPECT_EQ(ReadFileText(ini), "[A]\ny=2\n[C]\nw=4\n");
    EXPECT_TRUE(WritePrivateProfileStringA("None", "k", nullptr, ini.c_str()));
}

TEST_F(ProfileTest, WrittenLineBreaksCannotSplitTheFile)
{
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "a\n[Evil]\nx=1", ini.c_str()));
    EXPECT_EQ(Get("Evil", "x"), "DEF");
    EXPECT_EQ(Get("S", "k"), "a [Evil] x=1");
}

TEST_F(ProfileTest, KeepsWindowsLineEnds)
{
    WriteFileText(ini, "[S]\r\nk=1\r\n");
    EXPECT_EQ(Get("S", "k"), "1");
    EXPECT_TRUE(WritePrivateProfileStringA("S", "j", "2", ini.c_str()));
    EXPECT_EQ(ReadFileText(ini), "[S]\r\nk=1\r\nj=2\r\n");
}

TEST_F(ProfileTest, FindsAFileSpeltInAnotherCaseAndBackslashes)
{
    MakeFolders(folder / "System");
    WriteFileText(folder / "System/Plovik.ini", "[S]\nk=found\n");
    std::string spelt = folder.Path() + "\\system\\PLOVIK.INI";
    char out[32];
    GetPrivateProfileStringA("S", "k", "", out, sizeof out, spelt.c_str());
    EXPECT_STREQ(out, "found");
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "again", spelt.c_str()));
    EXPECT_EQ(ReadFileText(folder / "System/Plovik.ini"), "[S]\nk=again\n");
}

TEST_F(ProfileTest, WriteIntoAMissingFolderFails)
{
    std::string bad = folder / "no/such/Test.ini";
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", bad.c_str()));
}

TEST_F(ProfileTest, NoticesAChangeByAnotherWriterOfTheSameSize)
{
    WriteFileText(ini, "[S]\nk=1\n");
    EXPECT_EQ(Get("S", "k"), "1");
    WriteFileText(ini, "[S]\nk=2\n");
    EXPECT_EQ(Get("S", "k"), "2");
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "3", ini.c_str()));
    WriteFileText(ini, "[S]\nk=4\n");
    EXPECT_EQ(Get("S", "k"), "4");
}

TEST_F(ProfileTest, InterruptedWriteLeavesTheOldFileWhole)
{
    const std::string before = "[S]\nk=old\nother=kept\n";
    WriteFileText(ini, before);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SetProfileBeforeRenameHook([](const char*) { _exit(3); });
        WritePrivateProfileStringA("S", "k", "new and much longer value", ini.c_str());
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(ReadFileText(ini), before);
    EXPECT_EQ(Get("S", "k"), "old");
}

TEST_F(ProfileTest, AReadOnlyFileIsNotWritten)
{
    const std::string before = "[S]\nk=old\n";
    WriteFileText(ini, before);
    chmod(ini.c_str(), 0444);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "new", ini.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(WritePrivateProfileStringA("S", nullptr, nullptr, ini.c_str()));
    EXPECT_EQ(ReadFileText(ini), before);
    EXPECT_EQ(Get("S", "k"), "old");
    chmod(ini.c_str(), 0644);
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "new", ini.c_str()));
    EXPECT_EQ(Get("S", "k"), "new");
}

TEST_F(ProfileTest, ReaderSeesOnlyWholeFilesWhileAnotherProcessWrites)
{
    WriteFileText(ini, "[Head]\nfirst=1\n[S]\nvalue=short\n[Tail]\nlast=yes\n");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int i = 0; i < 300; i++) {
            const char* value = i % 2 ? "short" : "a much longer value that moves the tail";
            if (!WritePrivateProfileStringA("S", "value", value, ini.c_str()))
                _exit(1);
        }
        _exit(0);
    }
    int bad = 0;
    int status = 0;
    int reads = 0;
    while (waitpid(child, &status, WNOHANG) == 0 || reads < 10) {
        std::string value = Get("S", "value");
        if (value != "short" && value != "a much longer value that moves the tail")
            bad++;
        if (Get("Tail", "last") != "yes" || Get("Head", "first") != "1")
            bad++;
        reads++;
    }
    EXPECT_EQ(bad, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Get("S", "value"), "short");
}

TEST_F(ProfileTest, ThreadsWritingAtOnceLoseNoKey)
{
    std::thread a([this] {
        for (int i = 0; i < 100; i++)
            WritePrivateProfileStringA("A", ("k" + std::to_string(i)).c_str(), "a", ini.c_str());
    });
    std::thread b([this] {
        for (int i = 0; i < 100; i++)
            WritePrivateProfileStringA("B", ("k" + std::to_string(i)).c_str(), "b", ini.c_str());
    });
    a.join();
    b.join();
    for (int i = 0; i < 100; i++) {
        std::string key = "k" + std::to_string(i);
        EXPECT_EQ(Get("A", key.c_str()), "a");
        EXPECT_EQ(Get("B", key.c_str()), "b");
    }
}

// A writer of many keys rewrites the file once: the writes are held, reads
// see them, and the file changes only when the batch ends, under whatever
// name the file was written.
int Renames = 0;

TEST_F(ProfileTest, WritesOfABatchReachTheFileOnceAtItsEnd)
{
    ASSERT_TRUE(WritePrivateProfileStringA("S", "kept", "1", ini.c_str()));
    Renames = 0;
    SetProfileBeforeRenameHook([](const char*) { Renames++; });
    BeginProfileWriteBatch(ini.c_str());
    for (int i = 0; i < 50; i++)
        WritePrivateProfileStringA("S", ("k" + std::to_string(i)).c_str(), std::to_string(i).c_str(), ini.c_str());
    WorkingFolder inFolder(folder.Path());
    WritePrivateProfileStringA("T", "relative", "yes", "./Test.ini");
    EXPECT_EQ(Get("S", "k49"), "49");
    EXPECT_EQ(Get("T", "relative"), "yes");
    EXPECT_EQ(Renames, 0);
    EXPECT_EQ(ReadFileText(ini), "[S]\nkept=1\n");
    EXPECT_TRUE(EndProfileWriteBatch());
    EXPECT_EQ(Renames, 1);
    SetProfileBeforeRenameHook(nullptr);
    std::string text = ReadFileText(ini);
    EXPECT_NE(text.find("kept=1\nk0=0\n"), std::string::npos);
    EXPECT_NE(text.find("k49=49\n"), std::string::npos);
    EXPECT_NE(text.find("[T]\nrelative=yes\n"), std::string::npos);
    // After the batch every write goes to the file at once again.
    WritePrivateProfileStringA("S", "after", "1", ini.c_str());
    EXPECT_NE(ReadFileText(ini).find("after=1"), std::string::npos);
}

}  // namespace
