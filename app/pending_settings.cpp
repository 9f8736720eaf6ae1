// Stand-ins for shell calls of the settings reader and writer, until their
// modules land.
#include "app/pending_settings.h"

#include <sys/stat.h>

char ProgramRoot[512];  // until the real one lands
char SystemFolder[512];  // until the real one lands
char IniFilePath[512];  // until the real one lands
const char VersionText[] = "1.0";  // until the real one lands
bool IsDirectory(const char* path) { struct stat st; return stat(path, &st) == 0 && S_ISDIR(st.st_mode); }  // until the real one lands
void RunConnectCommand(int) {}  // until the real one lands
void StopSimulatorLink() {}  // until the real one lands
void RefreshNearestAirports() {}  // until the real one lands
void LoadAirspaceColourFile(const char*) {}  // until the real one lands
void TakeFilterDialogResult() {}  // until the real one lands
void LoadTrackFile() {}  // until the real one lands
void SaveTrackFile() {}  // until the real one lands
void ResetTrafficMode() {}  // until the real one lands
void CheckForNews() {}  // until the real one lands
