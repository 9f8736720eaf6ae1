// The log "Tervalingo.log" in the working folder, written one line at a time
// from any thread, and small utilities many modules share.
#include "app/log.h"

#include "app/settings.h"
#include "platform/files.h"
#include "platform/threads.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {

// Written and read by every thread that logs: the GUI thread, the link
// threads, the loaders and the image library's callback.
std::atomic<bool> LogBusy{false};
std::atomic<int> LogWaiters{0};
// Written by the per-frame update on the GUI thread, read by any thread.
std::atomic<float> MagneticVariation{0.0f};

constexpr int MaxLogWaiters = 19;

// Takes the busy flag, waiting with at most MaxLogWaiters others; false
// when too many already wait and the caller must drop its line.
bool TakeLog()
{
    if (!LogBusy.exchange(true))
        return true;
    if (LogWaiters.fetch_add(1) + 1 > MaxLogWaiters) {
        LogWaiters.fetch_sub(1);
        return false;
    }
    while (LogBusy.exchange(true))
        Sleep(1);
    LogWaiters.fetch_sub(1);
    return true;
}

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
    if (!TakeLog())
        return;
    if (Settings.DebugMode.load())
        AppendLine(text ? text : "");
    LogBusy.store(false);
}

void WriteLogF(const char* format, ...)
{
    if (!format || !Settings.DebugMode.load())
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
    return Settings.DebugMode.load();
}

int FileExists(const char* path)
{
    // Whatever reports attributes exists: a folder too, although its length
    // cannot be read.
    return path && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

float GetSecondsInHour()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    return static_cast<float>(now.wMinute * 60 + now.wSecond) + static_cast<float>(now.wMilliseconds) / 1000.0f;
}

void GetMagneticVariation(float* out)
{
    if (out)
        *out = MagneticVariation.load();
}

void SetMagneticVariation(float degrees)
{
    MagneticVariation.store(degrees);
}
