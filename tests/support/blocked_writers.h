// Test helper for writers that share one file behind a busy flag: the file
// is a pipe nobody reads yet, so the first writer blocks while it holds the
// flag and the others pile up behind it.
#pragma once

#include <functional>
#include <string>

struct BlockedWritersOutcome {
    int droppedEarly = 0; // writers that returned while the first one blocked
    int linesRead = 0;    // lines that came through once the pipe was read
};

// Makes pipePath a named pipe, lets one holder call write(-1) and then
// `writers` threads call write(i); counts the writers that give up while the
// holder blocks (waiting until `expectedDrops` did), then reads the pipe until
// every waiting writer got through. Removes the pipe at the end.
BlockedWritersOutcome RunBlockedWriters(const std::string& pipePath, int writers, int expectedDrops,
                                        const std::function<void(int)>& write);
