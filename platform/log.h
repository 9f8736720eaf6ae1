// The log "Tervalingo.log" in the working folder.
// WriteLog is safe from any thread; lines are written only with DebugMode on.
#pragma once

#include <atomic>

// The DebugMode setting (the settings' field refers to it), kept here so that
// every layer can log. threads: set by the GUI thread, read by every writer.
extern std::atomic<bool> LogDebugMode;

void WriteLog(const char* text);
// printf-style convenience over WriteLog (the line is cut at 1023 characters).
void WriteLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool IsDebugMode();
