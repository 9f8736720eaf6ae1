// Frame pacing: the frame timer that measures each frame and keeps the
// frame rate, and the limiter that sleeps after Present so the frame period
// stays near a multiple of the frame time learnt over the first 500 frames.
// GUI thread only.
#pragma once

#include <cstdint>

// Frames counted in the limiter's learning phase; 0 restarts the learning.
extern int FrameLimiterCount;
extern double AverageFrameTime;  // seconds
extern int32_t SleepMs;
extern float FrameTime;           // the last measured frame time, seconds
extern double FramesPerSecond;    // smoothed

// The limiter starts learning again (the argument is not used).
void ResetFrameLimiterCount(int unused = 0);
// The sleep of this frame in milliseconds, updating the learnt average.
int32_t NextFrameSleep(float frameTime, int cpuUsage, bool terrainTileWaiting);
// NextFrameSleep with CPU_usage and Sleep.
void RunFrameLimiter(bool terrainTileWaiting);
// The real milliseconds the last RunFrameLimiter spent asleep: benchmarks
// take it out of a frame's time, so that they time the frame's own work.
double FrameLimiterSleptMs();

// Measures the time since the last call; true when the frame rate was
// updated. AccountFrameTimeAt takes the seconds within the hour.
bool AccountFrameTime(float* frameTime);
bool AccountFrameTimeAt(float now, int cpuUsage, float* frameTime);
// The frame timer starts anew (display start).
void StartFrameStatistics();
// The seconds within the current hour of the system clock, with milliseconds.
float GetSecondsInHour();
