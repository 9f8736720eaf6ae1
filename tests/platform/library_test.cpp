// Run-time libraries: a Windows library name finds the shared object beside
// it whatever the case, exports are found by name, failures say why.
#include "platform/library.h"

#include "platform/sync.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

class LibraryTest : public ::testing::Test {
protected:
    TempFolder folder;

    void Place(const std::string& name)
    {
        MakeFolders(folder / "System");
        std::filesystem::copy_file(TVL_PROBE_LIBRARY, folder / ("System/" + name));
    }
};

TEST_F(LibraryTest, DllNameLoadsTheSharedObjectBesideIt)
{
    Place("libProbe.so");
    std::string path = folder.Path() + "\\System\\Probe.dll";
    HMODULE module = LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr) << GetLibraryErrorText();
    auto answer = GetProcAddressAs<int (*)()>(module, "ProbeAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(LibraryTest, FindsTheLibraryInAnotherCaseAndWithoutThePrefix)
{
    Place("Probe.so");
    std::string path = folder / "system/PROBE.DLL";
    HMODULE module = LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr) << GetLibraryErrorText();
    EXPECT_NE(GetProcAddress(module, "ProbeCount"), nullptr);
    FreeLibrary(module);
}

TEST_F(LibraryTest, SecondLoadSharesTheFirstOnesState)
{
    Place("libProbe.so");
    std::string path = folder / "System/Probe.dll";
    HMODULE first = LoadLibraryA(path.c_str());
    HMODULE second = LoadLibraryA(path.c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first, second);
    auto count = GetProcAddressAs<int (*)()>(first, "ProbeCount");
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(GetProcAddressAs<int (*)()>(second, "ProbeCount")(), 2);
    FreeLibrary(second);
    FreeLibrary(first);
}

TEST_F(LibraryTest, MissingLibraryAndExportFailWithTheirCodes)
{
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA((folder / "System/Absent.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_STRNE(GetLibraryErrorText(), "");
    EXPECT_EQ(LoadLibraryA(""), nullptr);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);

    Place("libProbe.so");
    HMODULE module = LoadLibraryA((folder / "System/Probe.dll").c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(nullptr, "ProbeAnswer"), nullptr);
    EXPECT_EQ(GetProcAddress(module, nullptr), nullptr);
    FreeLibrary(module);
    EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST_F(LibraryTest, NameWithoutFolderIsLookedForInTheWorkingFolderToo)
{
    Place("libProbe.so");
    WorkingFolder here(folder / "System");
    HMODULE module = LoadLibraryA("Probe.dll");
    ASSERT_NE(module, nullptr) << GetLibraryErrorText();
    FreeLibrary(module);
}

TEST_F(LibraryTest, FileThatIsNoLibraryIsRefused)
{
    MakeFolders(folder / "System");
    WriteFileText(folder / "System/libBroken.so", "not an object file");
    EXPECT_EQ(LoadLibraryA((folder / "System/Broken.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
