// Files and paths: normalising, case-insensitive look-up that never lowers a
// path, and the Win32 file calls' results on success and failure.
#include "platform/files.h"

#include "platform/sync.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class FilesTest : public ::testing::Test {
protected:
    TempFolder folder;

    std::string Resolve(const std::string& path, bool* found = nullptr)
    {
        char out[PATH_MAX];
        bool hit = ResolvePath(path.c_str(), out, sizeof out);
        if (found)
            *found = hit;
        return out;
    }
};

TEST(NormalizePathTest, TurnsEveryBackslashIntoSlash)
{
    char path[] = "..\\Languages\\language_de.ini";
    EXPECT_STREQ(NormalizePath(path), "../Languages/language_de.ini");
    EXPECT_EQ(NormalizePath(nullptr), nullptr);
}

TEST_F(FilesTest, ResolvesEachComponentInMixedCase)
{
    MakeFolders(folder / "Plovik/System");
    MakeFolders(folder / "Plovik/Bitmaps");
    WriteFileText(folder / "Plovik/Bitmaps/Arial_14.fnt", "x");
    bool found = false;
    std::string got = Resolve(folder.Path() + "\\PLOVIK\\system\\..\\bitmaps\\arial_14.FNT", &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(got, folder / "Plovik/System/../Bitmaps/Arial_14.fnt");
}

TEST_F(FilesTest, KeepsTheGivenCaseOfWhatIsMissing)
{
    MakeFolders(folder / "Data");
    bool found = true;
    std::string got = Resolve(folder.Path() + "/DATA/New File.TXT", &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(got, folder / "Data/New File.TXT");
    got = Resolve(folder.Path() + "/Nowhere/Sub/X.txt", &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(got, folder / "Nowhere/Sub/X.txt");
}

TEST_F(FilesTest, PrefersTheExactSpelling)
{
    MakeFolders(folder / "maps");
    MakeFolders(folder / "MAPS");
    EXPECT_EQ(Resolve(folder / "MAPS"), folder / "MAPS");
    EXPECT_EQ(Resolve(folder / "maps"), folder / "maps");
}

TEST_F(FilesTest, ResolvesRelativePaths)
{
    MakeFolders(folder / "System");
    WorkingFolder here(folder / "System");
    WriteFileText(folder / "Plovik.ini", "x");
    EXPECT_EQ(Resolve("..\\plovik.INI"), "../Plovik.ini");
    EXPECT_EQ(Resolve(".\\"), "./");
}

TEST_F(FilesTest, ResolveCutsToTheCallersBuffer)
{
    char out[8];
    EXPECT_FALSE(ResolvePath("/a/very/long/path/that/does/not/fit", out, sizeof out));
    EXPECT_EQ(strlen(out), 7u);
    EXPECT_FALSE(ResolvePath(nullptr, out, sizeof out));
    EXPECT_STREQ(out, "");
}

TEST_F(FilesTest, OpenFileFindsDataSpeltInAnotherCase)
{
    MakeFolders(folder / "Navdata/MSFS");
    WriteFileText(folder / "Navdata/MSFS/apt.bin", "data");
    FILE* file = OpenFile((folder.Path() + "\\NAVDATA\\msfs\\APT.BIN").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    char text[8] = {};
    EXPECT_EQ(fread(text, 1, sizeof text, file), 4u);
    fclose(file);
    EXPECT_STREQ(text, "data");
}

TEST_F(FilesTest, AttributesTellFilesFoldersAndMissingPaths)
{
    WriteFileText(folder / "a.txt", "x");
    EXPECT_EQ(GetFileAttributesA((folder / "A.TXT").c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(folder.Path().c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA((folder / "missing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, CopyAndMoveRespectExistingTargets)
{
    WriteFileText(folder / "a.txt", "alpha");
    WriteFileText(folder / "b.txt", "beta");
    EXPECT_FALSE(CopyFileA((folder / "a.txt").c_str(), (folder / "b.txt").c_str(), TRUE));
    EXPECT_EQ(ReadFileText(folder / "b.txt"), "beta");
    EXPECT_TRUE(CopyFileA((folder / "a.txt").c_str(), (folder / "b.txt").c_str(), FALSE));
    EXPECT_EQ(ReadFileText(folder / "b.txt"), "alpha");
    EXPECT_FALSE(CopyFileA((folder / "a.txt").c_str(), (folder / "A.TXT").c_str(), FALSE));
    EXPECT_EQ(ReadFileText(folder / "a.txt"), "alpha");

    EXPECT_FALSE(MoveFileA((folder / "a.txt").c_str(), (folder / "b.txt").c_str()));
    EXPECT_TRUE(MoveFileA((folder / "a.txt").c_str(), (folder / "c.txt").c_str()));
    EXPECT_EQ(ReadFileText(folder / "c.txt"), "alpha");
    EXPECT_EQ(GetFileAttributesA((folder / "a.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FilesTest, ReplacingAFileRenamesANewOneOverItKeepingItsMode)
{
    std::string path = folder / "wpl.bin";
    std::string other = folder / "other-name";
    ASSERT_TRUE(WriteFileText(path, "old contents"));
    chmod(path.c_str(), 0640);
    ASSERT_EQ(link(path.c_str(), other.c_str()), 0);
    EXPECT_TRUE(ReplaceFileContents(path.c_str(), "new", 3));
    EXPECT_EQ(ReadFileText(path), "new");
    // Written beside and renamed over, never into the old file.
    EXPECT_EQ(ReadFileText(other), "old contents");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    EXPECT_TRUE(ReplaceFileContents((folder / "fresh").c_str(), "", 0));
    EXPECT_EQ(ReadFileText(folder / "fresh"), "");
}

TEST_F(FilesTest, AReadOnlyFileIsNotReplaced)
{
    std::string path = folder / "wpl.bin";
    ASSERT_TRUE(WriteFileText(path, "kept"));
    chmod(path.c_str(), 0444);
    EXPECT_FALSE(ReplaceFileContents(path.c_str(), "lost", 4));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadFileText(path), "kept");
    EXPECT_FALSE(ReplaceFileContents(folder.Path().c_str(), "x", 1));
    EXPECT_FALSE(ReplaceFileContents((folder / "missing/x").c_str(), "x", 1));
    // Nothing is left behind by the refusals.
    EXPECT_EQ(GetFileAttributesA((folder / "wpl.bin.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Names in the folder, for what a failed write may leave behind.
std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(FilesTest, AFullDiskKeepsTheOldFileWholeAndLeavesNoTemporary)
{
    std::string path = folder / "track.bin";
    ASSERT_TRUE(WriteFileText(path, "the old track"));
    std::string bigger(48008, 'n');
    SetFullDiskForTests(40960);
    EXPECT_FALSE(ReplaceFileContents(path.c_str(), bigger.data(), bigger.size()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_FALSE(ReplaceFileByPrinting(path.c_str(), [&bigger](FILE* f) { return fputs(bigger.c_str(), f) >= 0; }));
    EXPECT_EQ(ReadFileText(path), "the old track");
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"track.bin"});
    // What fits is written as before.
    EXPECT_TRUE(ReplaceFileContents(path.c_str(), "short", 5));
    EXPECT_EQ(ReadFileText(path), "short");
    // A disk that finds no room only at the flush.
    SetFullDiskForTests(-1, true);
    EXPECT_FALSE(ReplaceFileContents(path.c_str(), "flushed", 7));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(ReadFileText(path), "short");
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"track.bin"});
    SetFullDiskForTests(-1);
    EXPECT_TRUE(ReplaceFileContents(path.c_str(), bigger.data(), bigger.size()));
    EXPECT_EQ(ReadFileText(path), bigger);
}

TEST_F(FilesTest, PrintedFilesReplaceTheOldOneOnlyWhenThePrinterSucceeds)
{
    std::string path = folder / "size.txt";
    ASSERT_TRUE(WriteFileText(path, "old"));
    EXPECT_TRUE(ReplaceFileByPrinting(path.c_str(), [](FILE* f) { return fprintf(f, "%d %d\n", 320, 240) > 0; }));
    EXPECT_EQ(ReadFileText(path), "320 240\n");
    EXPECT_FALSE(ReplaceFileByPrinting(path.c_str(), [](FILE* f) {
        fputs("half", f);
        return false;
    }));
    EXPECT_EQ(ReadFileText(path), "320 240\n");
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"size.txt"});
}

TEST_F(FilesTest, AWriteThroughALinkReplacesTheFileItNamesAndKeepsTheLink)
{
    MakeFolders(folder / "elsewhere");
    std::string target = folder / "elsewhere/Plovik.ini";
    std::string link = folder / "Plovik.ini";
    ASSERT_TRUE(WriteFileText(target, "[old]\n"));
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_TRUE(ReplaceFileContents(link.c_str(), "[new]\n", 6));
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFileText(target), "[new]\n");
}

TEST_F(FilesTest, AFileAToolFinishedIsPutInPlaceOrTakenAway)
{
    std::string path = folder / "pdf.png";
    std::string part = folder / "pdf.png.part.png";
    ASSERT_TRUE(WriteFileText(path, "old picture"));
    ASSERT_TRUE(WriteFileText(part, "new picture"));
    EXPECT_TRUE(CommitReplacementFile(part.c_str(), path.c_str()));
    EXPECT_EQ(ReadFileText(path), "new picture");
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"pdf.png"});
    // A part with nowhere to go is removed; the file stays.
    ASSERT_TRUE(WriteFileText(part, "stray"));
    EXPECT_FALSE(CommitReplacementFile(part.c_str(), (folder / "missing/pdf.png").c_str()));
    EXPECT_FALSE(CommitReplacementFile((folder / "never-made").c_str(), path.c_str()));
    EXPECT_EQ(ReadFileText(path), "new picture");
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"pdf.png"});
}

TEST_F(FilesTest, DeleteRemovesFilesButNotFolders)
{
    WriteFileText(folder / "gone.txt", "x");
    EXPECT_TRUE(DeleteFileA((folder / "GONE.txt").c_str()));
    EXPECT_FALSE(DeleteFileA((folder / "gone.txt").c_str()));
    MakeFolders(folder / "sub");
    EXPECT_FALSE(DeleteFileA((folder / "sub").c_str()));
    EXPECT_EQ(GetFileAttributesA((folder / "sub").c_str()), FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FilesTest, FoldersAreCreatedOnceAndRemovedWhenEmpty)
{
    std::string sub = folder / "New";
    EXPECT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA((folder / "NEW").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    WriteFileText(sub + "/f", "x");
    EXPECT_FALSE(RemoveDirectoryA(sub.c_str()));
    DeleteFileA((sub + "/f").c_str());
    EXPECT_TRUE(RemoveDirectoryA(sub.c_str()));
}

TEST_F(FilesTest, ModuleFileNameIsTheRunningProgram)
{
    char path[PATH_MAX];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(strlen(path), n);
    EXPECT_NE(std::string(path).find("test_platform"), std::string::npos);
    char small[5];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 5u);
    EXPECT_EQ(strlen(small), 4u);
}

TEST_F(FilesTest, CurrentFolderFollowsSetAndReportsTheSizeNeeded)
{
    MakeFolders(folder / "System");
    char before[PATH_MAX];
    ASSERT_GT(GetCurrentDirectoryA(sizeof before, before), 0u);
    EXPECT_TRUE(SetCurrentDirectoryA((folder.Path() + "\\system").c_str()));
    char here[PATH_MAX];
    DWORD n = GetCurrentDirectoryA(sizeof here, here);
    EXPECT_EQ(std::string(here), folder / "System");
    EXPECT_EQ(GetCurrentDirectoryA(3, here), n + 1);
    EXPECT_FALSE(SetCurrentDirectoryA((folder / "missing").c_str()));
    EXPECT_TRUE(SetCurrentDirectoryA(before));
}

TEST_F(FilesTest, FileExistsForFilesAndFolders)
{
    WorkingFolder here(folder.Path());
    WriteFileText(folder / "file.txt", "");
    mkdir("sub", 0755);
    EXPECT_EQ(FileExists("file.txt"), 1);
    EXPECT_EQ(FileExists(".\\FILE.TXT"), 1);
    EXPECT_EQ(FileExists("sub"), 1);
    EXPECT_EQ(FileExists("missing"), 0);
    EXPECT_EQ(FileExists(nullptr), 0);
}

TEST_F(FilesTest, IsDirectoryOnlyForFolders)
{
    std::string root = folder / "Maps/Plovik";
    MakeFolders(root + "/System");
    WriteFileText(root + "/System/QRDLX30_11.fxo", "effect");
    EXPECT_TRUE(IsDirectory(root.c_str()));
    EXPECT_TRUE(IsDirectory((folder / "maps\\PLOVIK").c_str()));
    EXPECT_FALSE(IsDirectory((root + "/System/QRDLX30_11.fxo").c_str()));
    EXPECT_FALSE(IsDirectory((folder / "missing").c_str()));
    EXPECT_FALSE(IsDirectory(nullptr));
}

} // namespace
