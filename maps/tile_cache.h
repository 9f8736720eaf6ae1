// The tile cache's housekeeping: the deletion log of files to remove at the
// next start or shutdown, and the purge of the MapQuest cache.
#pragma once

// The log "FilesToDelete.log" in the working folder, one path a line.
inline constexpr const char DeletionLogName[] = "FilesToDelete.log";

// Deletes every file the log names, then the log; a missing log does nothing.
// Lines longer than 259 characters are skipped whole, never cut into a
// shorter path.
void ProcessDeletionLog();
// In MapQuest mode with 10001 or more cached tiles, removes them; then the
// cache's own clean-up.
void PurgeMapQuestCache();
