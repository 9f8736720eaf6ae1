// The three machine-wide tile mutexes "TVL_Mutex0" to "TVL_Mutex2", shared by
// every running copy of the program: 0 while a tile becomes a texture, 2 while
// a download connection opens. Any thread may lock and unlock.
#pragma once

constexpr int TileLockCount = 3;

void CreateTileMutexes();
// Waits without a time limit; false for an index out of range or a mutex
// that could not be created.
bool LockTileMutex(int index);
void UnlockTileMutex(int index);
