// Named mutexes across threads and processes, and named shared memory.
#include "platform/sync.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class SyncTest : public ::testing::Test {
protected:
    TempFolder locks;
    std::string name = "TVL_Mutex" + std::to_string(getpid());

    void SetUp() override { setenv("XDG_RUNTIME_DIR", locks.Path().c_str(), 1); }
};

// Runs body in a child process that reports through a pipe once it is ready,
// then waits for the parent to end it.
pid_t ChildThatHolds(const std::string& name)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
        char ok = WaitForSingleObject(mutex, INFINITE) == WAIT_OBJECT_0 ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1)
            _exit(2);
        for (;;)
            pause();
    }
    close(ready[1]);
    char ok = 'n';
    if (read(ready[0], &ok, 1) != 1 || ok != 'y') {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        child = -1;
    }
    close(ready[0]);
    return child;
}

TEST_F(SyncTest, MutexOfAKilledProcessIsObtainedByTheNextWaiter)
{
    pid_t child = ChildThatHolds(name);
    ASSERT_GT(child, 0);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(mutex, 50), WAIT_TIMEOUT);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(WaitForSingleObject(mutex, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(CloseHandle(mutex));
}

TEST_F(SyncTest, TheOwnerMayWaitAgainAndMustReleaseAsOften)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    std::atomic<DWORD> other{WAIT_FAILED};
    auto tryOther = [&] {
        std::thread([&] { other = WaitForSingleObject(mutex, 20); if (other == WAIT_OBJECT_0) ReleaseMutex(mutex); }).join();
        return other.load();
    };
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(tryOther(), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    EXPECT_EQ(tryOther(), WAIT_OBJECT_0);
    CloseHandle(mutex);
}

TEST_F(SyncTest, OnlyTheOwningThreadReleases)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);
    BOOL released = TRUE;
    std::thread([&] { released = ReleaseMutex(mutex); }).join();
    EXPECT_FALSE(released);
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST_F(SyncTest, SecondHandleInTheProcessSharesTheMutex)
{
    HANDLE first = CreateMutexA(nullptr, FALSE, name.c_str());
    HANDLE second = CreateMutexA(nullptr, TRUE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    // Ownership is not given to a handle that opened an existing mutex.
    EXPECT_FALSE(ReleaseMutex(second));
    ASSERT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    DWORD fromThread = WAIT_FAILED;
    std::thread([&] { fromThread = WaitForSingleObject(second, 10); }).join();
    EXPECT_EQ(fromThread, WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(second));
    CloseHandle(first);
    CloseHandle(second);
}

TEST_F(SyncTest, MutexIsFreeAgainOnceEveryHandleIsClosed)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    CloseHandle(mutex);
    mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(mutex);
}

TEST_F(SyncTest, UnknownHandlesAreRefused)
{
    int notAHandle = 0;
    EXPECT_EQ(WaitForSingleObject(&notAHandle, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(ReleaseMutex(&notAHandle));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_TRUE(CloseHandle(mutex));
    EXPECT_FALSE(CloseHandle(mutex));
}

mode_t ModeOf(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(SyncTest, NewLockFilesAreTheUsersAlone)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(ModeOf(locks / ("tvl-mutex-" + name + ".lock")), 0600u);
    EXPECT_EQ(ModeOf(locks / ("tvl-mutex-" + name + ".open")), 0600u);
    EXPECT_EQ(ModeOf(locks / "tvl-mutex.guard"), 0600u);
    CloseHandle(mutex);
}

TEST_F(SyncTest, AnExistingLockFileKeepsItsMode)
{
    std::string lock = locks / ("tvl-mutex-" + name + ".lock");
    ASSERT_TRUE(WriteFileText(lock, ""));
    chmod(lock.c_str(), 0640);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_EQ(ModeOf(lock), 0640u);
    CloseHandle(mutex);
}

// Someone who can write the lock folder plants a link to a file of ours, or a
// FIFO that would hold the open: the mutex is refused and nothing changes.
TEST_F(SyncTest, APlantedLinkOrFifoIsRefusedAndLeftAlone)
{
    TempFolder elsewhere;
    std::string victim = elsewhere / "settings.ini";
    ASSERT_TRUE(WriteFileText(victim, "keep"));
    chmod(victim.c_str(), 0600);
    ASSERT_EQ(symlink(victim.c_str(), (locks / ("tvl-mutex-" + name + ".lock")).c_str()), 0);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ModeOf(victim), 0600u);
    EXPECT_EQ(ReadFileText(victim), "keep");

    std::string fifoName = name + "f";
    ASSERT_EQ(mkfifo((locks / ("tvl-mutex-" + fifoName + ".open")).c_str(), 0600), 0);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, fifoName.c_str()), nullptr);
}

// Without a runtime folder the locks go to a folder of the user's own below
// the temporary folder, never into the shared one itself.
TEST_F(SyncTest, WithoutARuntimeFolderLocksLiveInAPrivateFolder)
{
    unsetenv("XDG_RUNTIME_DIR");
    TempFolder temp;
    setenv("TMPDIR", temp.Path().c_str(), 1);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    std::string own = temp / ("tvl-" + std::to_string(geteuid()));
    EXPECT_EQ(ModeOf(own), 0700u);
    EXPECT_EQ(ModeOf(own + "/tvl-mutex-" + name + ".lock"), 0600u);
    CloseHandle(mutex);

    // A folder of that name that others may write is not used.
    std::string otherName = name + "x";
    chmod(own.c_str(), 0777);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, otherName.c_str()), nullptr);
    chmod(own.c_str(), 0700);
    unsetenv("TMPDIR");
}

TEST_F(SyncTest, NamedMappingIsSharedWithAnotherProcess)
{
    std::string mappingName = "TVLFileMappingObject" + std::to_string(getpid());
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 256, mappingName.c_str());
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    char* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 256));
    ASSERT_NE(view, nullptr);
    strcpy(view, "17");
    pid_t child = fork();
    if (child == 0) {
        HANDLE other = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, mappingName.c_str());
        char* seen = static_cast<char*>(MapViewOfFile(other, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        bool same = seen && strcmp(seen, "17") == 0;
        if (seen)
            strcpy(seen, "answer");
        _exit(same ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_STREQ(view, "answer");
    HANDLE again = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 256, mappingName.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    CloseHandle(again);
    CloseHandle(mapping);
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, mappingName.c_str()), nullptr);
}

TEST_F(SyncTest, MappingRefusesViewsOutsideIt)
{
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 256, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 4096), nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 4096, 1), nullptr);
    EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, "x"), nullptr);
    CloseHandle(mapping);
}

} // namespace
