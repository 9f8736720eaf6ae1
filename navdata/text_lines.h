// Text lines shared by the map program, the proxy and the navigation-data
// builder: lines of any length from files, line ends, stored names.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// Next line of f without its line end ("\n", "\r\n"); false at the end of the
// file. A last line without a line feed is returned.
bool ReadTextLine(FILE* f, std::string* line);

// Drops a trailing "\n" and then a trailing "\r" in place.
void StripLineEnd(char* line);

// Turns every '_' into a blank in place (names are stored with underscores).
void UnderscoresToBlanks(char* text);
// Turns every blank and tab into '_' in place.
void BlanksToUnderscores(char* text);

// The next blank-separated word of *rest, which moves past it; empty at the end.
std::string_view TakeWord(std::string_view* rest);
// A whole word as a number (a leading '+' allowed); false for anything else
// and for doubles that are not finite.
bool ParseNumber(std::string_view word, double* out);
bool ParseNumber(std::string_view word, int* out);

// Copies at most size - 1 bytes of text and terminates.
void CopyText(char* out, size_t size, const char* text);

// snprintf that refuses to cut: false and an empty text when the result did
// not fit, so a path cut short never names another file.
bool FormatText(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
