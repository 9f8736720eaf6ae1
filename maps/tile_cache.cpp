// The tile cache's deletion log.
#include "maps/tile_cache.h"

#include "platform/files.h"

#include <cstdio>
#include <cstring>

// A path of the log is at most this long (the line feed not counted).
static const size_t MaxLoggedPath = 259;

void ProcessDeletionLog()
{
    FILE* log = OpenFile(DeletionLogName, "r");
    if (!log)
        return;
    char line[MaxLoggedPath + 2];
    bool skipping = false;
    while (std::fgets(line, sizeof(line), log)) {
        size_t n = std::strlen(line);
        bool newline = n > 0 && line[n - 1] == '\n';
        if (!newline && !std::feof(log)) {
            // Longer than any path of the log: neither this part nor the
            // rest of the line names a file to delete.
            skipping = true;
            continue;
        }
        if (skipping) {
            skipping = false;
            continue;
        }
        if (newline)
            line[--n] = '\0';
        if (n > 0 && line[n - 1] == '\r')
            line[--n] = '\0';
        if (n == 0 || n > MaxLoggedPath)
            continue;
        NormalizePath(line);
        DeleteFileA(line);
    }
    std::fclose(log);
    DeleteFileA(DeletionLogName);
}
