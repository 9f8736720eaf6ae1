// Registry reads from registry.ini and the shell folders on XDG folders.
#include "platform/registry.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <cstring>

namespace {

class RegistryTest : public ::testing::Test {
protected:
    TempFolder home;

    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        MakeFolders(home / "config/tervalingo");
        WriteFileText(home / "config/tervalingo/registry.ini",
                      "[Software\\Tabrix Software\\Plovik]\nInstallPath=/opt/Plovik\n");
    }
};

TEST_F(RegistryTest, ReadsAValueOfAKeyInTheFile)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tabrix Software\\Plovik", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char value[512];
    DWORD size = sizeof value;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "InstallPath", nullptr, &type, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(value, "/opt/Plovik");
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, TooSmallABufferAsksForMore)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\tabrix software\\plovik", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char value[4];
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "InstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 12u);
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "InstallPath", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 12u);
    RegCloseKey(key);
}

TEST_F(RegistryTest, MissingKeysAndFilesDoNotOpen)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Nobody", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    setenv("XDG_CONFIG_HOME", (home / "nowhere").c_str(), 1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tabrix Software\\Plovik", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_NE(RegOpenKeyExA(nullptr, "x", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_NE(RegQueryValueExA(nullptr, "x", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ShellFoldersAreTheXdgFolders)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            0, KEY_READ, &key),
              ERROR_SUCCESS);
    char value[512];
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "Local AppData", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(value), home / "data");
    // A fresh account has no such folder yet: it is made, as the caller
    // creates its own subfolders there.
    EXPECT_TRUE(std::filesystem::is_directory(home / "data"));
    size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "Fonts", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

} // namespace
