// The program root and the paths below it, found at every display start, the
// one writer of keys into INI files of the System folder, the display
// language preset from the locale, and small shell services beside them.
#pragma once

#include "platform/files.h"
#include "platform/profile.h"

#include <cstddef>
#include <cstdint>

// LocateProgramRoot writes ProgramRoot, SystemFolder, IniFileName and
// IniFilePath (platform/files.h) on the GUI thread at display start; every
// module reads them afterwards.
// Display names by UseSimulator (0 is empty).
extern const char SimulatorNames[9][20];
extern const char VersionText[];
// The PDF chart viewer's status line.
extern char ChartStatusText[256];

// Finds the program root: the working folder up to its last component named
// "System" (any case); else the key "Path" of ./Plovik.ini or ./Korvane.ini;
// else the registry value InstallPath (without it the program ends).
void LocateProgramRoot();
// The root of folder: the part before its last component equal to "system"
// ignoring case; false when it has none.
bool RootFromWorkingFolder(const char* folder, char* root, size_t size);
// Settings.Language := the system locale's language ("de" of "de-DE"), or
// "en" when the locale name has no '-'.
void SetLanguageFromLocale();
void SetMainWindowTitle();
// The zoom factor of the current local-map chart level.
float GetChartLevelScale();
// ChartStatusText := the page line ([General] 4 with page and PDFPages).
void FormatPdfPageLine(int32_t page);
// ChartStatusText := [General] 5.
void FormatPdfNoPageLine();
