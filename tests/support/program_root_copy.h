// A copy of the shipped program root for tests that run the map program:
// the language files, the bitmaps (all but the splash picture), the
// settings file (with DebugMode on, so the log is written) and the effect
// files, without the programs themselves.
#pragma once

#include <string>

// Copies the root into folder and returns the path of its System folder.
std::string CopyProgramRoot(const std::string& folder);
// The lines of text that contain what.
int CountLines(const std::string& text, const std::string& what);
