// The settings dialogs that run as small helper programs beside the map: the
// map writes an exchange file (first line: the centre of the main window),
// starts the helper and waits for it, then applies the reply file the helper
// left ("<exchange>.res"). Also the weather overlay switch and the manual.
// GUI thread only: the map waits while a helper runs.
#pragma once

#include <cstddef>
#include <cstdio>

// The one starter: topmost off while the helper runs, started in the System
// folder, waited for without a limit, topmost restored. A helper that cannot
// start ends the wait at once.
void RunHelperProgram(const char* program, const char* parameters);
// False while a helper runs (the frame is not drawn meanwhile).
bool IsHelperIdle();
// "x y\n": the centre of the main window's normal rectangle.
void WriteWindowCentre(FILE* file);
// The reply's first line, cut at the line feed, at most size - 1 characters;
// out is left as it was when the file is missing.
void ReadHelperReply(const char* path, char* out, size_t size);

// Exchange writers (true when the file was written) and reply appliers. An
// applier takes the reply's numbers in order, stops at the first that is
// missing or not a number, and leaves a setting whose number is missing or
// out of its range unchanged; it returns how many settings it took.
bool WriteSymbolSizeExchange(const char* path);
int ApplySymbolSizeReply(const char* reply);
bool WriteVolumeExchange(const char* path);
int ApplyVolumeReply(const char* reply);
bool WriteCpuUsageExchange(const char* path);
int ApplyCpuUsageReply(const char* reply);
bool WriteRunwayFilterExchange(const char* path);
int ApplyRunwayFilterReply(const char* reply);
bool WriteGpwsThresholdExchange(const char* path);
// The thresholds the GPWS helper wrote into the settings file.
void ReadGpwsThresholds();
bool WriteWeatherNoticeExchange(const char* path);
int ApplyWeatherNoticeReply(const char* reply);

// The dialog commands.
void RunSymbolSizeDialog();
void RunVolumeDialog();
void RunCpuUsageDialog();
void RunRunwayFilterDialog();
void RunGpwsThresholdDialog();
// A runway filter reply still lying in the System folder is taken in (the
// settings writer calls it before it saves).
void TakeFilterDialogResult();

// Weather overlay on or off; switching on shows the notice until the user
// confirms it (never with MSFS).
void ToggleWeather();
// The manual of the display language in the desktop's PDF viewer, or a
// warning when it is not installed.
void OpenManual();
