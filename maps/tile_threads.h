// The tile loader and fetch threads, started joinable so that stopping the
// loader can wait for every one of them to have returned before the tile
// textures, the tile stores and the image library are released.
#pragma once

// Starts start(arg) on a new thread; false when none could be started.
bool StartTileThread(void (*start)(void*), void* arg);
// Joins every tile thread started so far, including those that the joined
// ones start meanwhile. Never called from a tile thread.
void JoinTileThreads();
// Tile threads started and not yet joined (finished or not).
int CountTileThreads();
