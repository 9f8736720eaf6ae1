// Text lines shared by the map program, the proxy and the navigation-data
// builder: lines of any length from files, line ends, stored names.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Next line of f without its line end ("\n", "\r\n"); false at the end of the
// file. A last line without a line feed is returned.
bool ReadTextLine(FILE* f, std::string* line);

// Drops a trailing "\n" and then a trailing "\r" in place.
void StripLineEnd(char* line);

// Turns every '_' into a blank in place (names are stored with underscores).
void UnderscoresToBlanks(char* text);
// Turns every blank and tab into '_' in place.
void BlanksToUnderscores(char* text);

// Copies at most size - 1 bytes of text and terminates.
void CopyText(char* out, size_t size, const char* text);

// snprintf that refuses to cut: false and an empty text when the result did
// not fit, so a path cut short never names another file.
bool FormatText(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
