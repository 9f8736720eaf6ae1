// The log "Tervalingo.log" in the working folder, written one line at a time
// from any thread.
#include "platform/log.h"

#include "platform/files.h"
#include "platform/threads.h"

#include <cstdarg>
#include <cstdio>

std::atomic<bool> LogDebugMode{false};

namespace {

// Taken by every thread that logs: the GUI thread, the link threads, the
// loaders and the image library's callback.
BusyGate LogGate;

constexpr int MaxLogWaiters = 19;

void AppendLine(const char* text)
{
    FILE* log = fopen("Tervalingo.log", "a");
    if (!log)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[64];
    snprintf(stamp, sizeof stamp, "%d-%2.2d-%2.2d %2.2d:%2.2d:%2.2d.%3.3d", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    fprintf(log, "%s %s\n", stamp, text);
    fclose(log);
}

} // namespace

void WriteLog(const char* text)
{
    // Without DebugMode the gate is still taken, so callers keep one order.
    if (!EnterBusyGate(&LogGate, MaxLogWaiters))
        return;
    if (LogDebugMode.load())
        AppendLine(text ? text : "");
    LeaveBusyGate(&LogGate);
}

void WriteLogF(const char* format, ...)
{
    if (!format || !LogDebugMode.load())
        return;
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    WriteLog(line);
}

bool IsDebugMode()
{
    return LogDebugMode.load();
}
