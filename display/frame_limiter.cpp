// The frame timer and the frame limiter.
#include "display/frame_limiter.h"

#include "app/settings.h"
#include "platform/threads.h"

#include <chrono>

int FrameLimiterCount = 0;
double AverageFrameTime = 0.01;
int32_t SleepMs = 19;
float FrameTime = 0;
double FramesPerSecond = 0;

static float LastFrameClock = 0;
static int LastCpuUsage = 0;
static double SleptMs = 0;

void ResetFrameLimiterCount(int)
{
    FrameLimiterCount = 0;
}

// The factor of the learnt frame time, the floor and the cap of the sleep by
// CPU_usage 1 and 2.
static int32_t SleepFor(double factor, float frameTime, int32_t floor)
{
    double ms = (factor * AverageFrameTime - frameTime) * 500;
    if (!(ms >= floor + 1))  // also a NaN frame time
        return floor;
    return ms >= 50 ? 50 : static_cast<int32_t>(ms);
}

int32_t NextFrameSleep(float frameTime, int cpuUsage, bool terrainTileWaiting)
{
    if (FrameLimiterCount <= 500 || cpuUsage == 0 || terrainTileWaiting) {
        AverageFrameTime = 0.95 * AverageFrameTime + 0.05 * frameTime;
        SleepMs = 1;
        ++FrameLimiterCount;
    } else if (cpuUsage == 1) {
        SleepMs = SleepFor(2.0, frameTime, 4);
    } else {
        SleepMs = SleepFor(4.0, frameTime, 10);
    }
    return SleepMs;
}

void RunFrameLimiter(bool terrainTileWaiting)
{
    int32_t ms = NextFrameSleep(FrameTime, Settings.CPU_usage, terrainTileWaiting);
    SleptMs = 0;
    if (ms <= 0)
        return;
    auto before = std::chrono::steady_clock::now();
    Sleep(static_cast<DWORD>(ms));
    SleptMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
}

double FrameLimiterSleptMs()
{
    return SleptMs;
}

bool AccountFrameTimeAt(float now, int cpuUsage, float* frameTime)
{
    float t = now - LastFrameClock;
    FrameTime = t;
    if (frameTime)
        *frameTime = t;
    if (t >= 0 && cpuUsage == LastCpuUsage) {
        LastFrameClock += t;
        if (t > 0 && t < 1.0f) {
            FramesPerSecond = 0.999 * FramesPerSecond + 0.001 / t;
            return true;
        }
        return false;
    }
    // The hour wrapped or CPU_usage changed: the next frame measures from 0.
    LastFrameClock = 0;
    LastCpuUsage = cpuUsage;
    return false;
}

bool AccountFrameTime(float* frameTime)
{
    return AccountFrameTimeAt(GetSecondsInHour(), Settings.CPU_usage, frameTime);
}

void StartFrameStatistics()
{
    LastFrameClock = GetSecondsInHour();
    LastCpuUsage = Settings.CPU_usage;
}

float GetSecondsInHour()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    return static_cast<float>(now.wMinute * 60 + now.wSecond) + static_cast<float>(now.wMilliseconds) / 1000.0f;
}
