// A copy of the shipped program root for tests that run the map program:
// the language files, the bitmaps (all but the splash picture), the
// settings file (with DebugMode on, so the log is written) and the effect
// files, without the programs themselves.
#pragma once

#include <string>

// Copies the root into folder and returns the path of its System folder.
std::string CopyProgramRoot(const std::string& folder);
// The demo map package as the map of the copied root: the package folder
// beside the root, its offline catalogue in System, the settings that
// choose it at zoom 10 (so that a background lies under the layers), and
// the user data and tile locks kept in folder.
void UseDemoMapBackground(const std::string& folder, const std::string& system);
// The lines of text that contain what.
int CountLines(const std::string& text, const std::string& what);
