// The log "Tervalingo.log" in the working folder and small shared utilities.
// WriteLog is safe from any thread; lines are written only with DebugMode on.
#pragma once

void WriteLog(const char* text);
// printf-style convenience over WriteLog (the line is cut at 1023 characters).
void WriteLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool IsDebugMode();
int FileExists(const char* path);
float GetSecondsInHour();
// The magnetic variation (degrees, sign as the simulator link gives it) that
// the per-frame update keeps with SetMagneticVariation.
void GetMagneticVariation(float* out);
void SetMagneticVariation(float degrees);
