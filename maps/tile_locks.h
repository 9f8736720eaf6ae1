// The three machine-wide tile mutexes "TVL_Mutex0" to "TVL_Mutex2", shared by
// every running copy of the program: 0 while a tile becomes a texture, 2 while
// a download connection opens. Any thread may lock and unlock.
#pragma once

constexpr int TileLockCount = 3;

// The mutexes by index. Every copy of the program fetches one tile at a time
// under TileMutexFetch and opens one HTTPS download at a time under
// TileMutexHttps; the middle one is created with the others but never taken.
enum TileMutex : int {
    TileMutexFetch = 0,
    TileMutexUnused = 1,
    TileMutexHttps = 2,
};

void CreateTileMutexes();
// Waits without a time limit; false for a mutex out of range or one that
// could not be created.
bool LockTileMutex(TileMutex mutex);
void UnlockTileMutex(TileMutex mutex);
