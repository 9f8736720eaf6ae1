// The machine-wide tile mutexes.
#include "maps/tile_locks.h"

#include "platform/sync.h"

#include <atomic>
#include <cstdio>

// Created on the GUI thread before any loader starts; read by loader threads.
static std::atomic<HANDLE> TileLocks[TileLockCount];

// Live for the whole process: a second call keeps the handles it has, so a
// loader never finds its mutex swapped.
void CreateTileMutexes()
{
    for (int i = 0; i < TileLockCount; ++i) {
        if (TileLocks[i].load())
            continue;
        char name[32];
        std::snprintf(name, sizeof(name), "TVL_Mutex%d", i);
        TileLocks[i] = CreateMutexA(nullptr, FALSE, name);
    }
}

bool LockTileMutex(TileMutex mutex)
{
    const int index = mutex;
    if (index < 0 || index >= TileLockCount || !TileLocks[index].load())
        return false;
    return WaitForSingleObject(TileLocks[index].load(), INFINITE) == WAIT_OBJECT_0;
}

void UnlockTileMutex(TileMutex mutex)
{
    const int index = mutex;
    if (index >= 0 && index < TileLockCount && TileLocks[index].load())
        ReleaseMutex(TileLocks[index].load());
}
