// What the helper programs share: reading the exchange file the map wrote,
// leaving the reply, and asking the user through zenity when there is a
// display (headless the answer is TVL_DIALOG_ANSWER; unset means cancel).
#pragma once

#include <string>
#include <vector>

// The exchange file's lines without their line ends; false when it cannot
// be read. Lines past the limit are not read.
bool ReadExchangeLines(const std::string& path, std::vector<std::string>* lines, size_t limit = 5000);
// Up to max whole numbers of a line, in order, stopping at the first that is
// not one.
std::vector<long> LineNumbers(const std::string& line, size_t max);
// Writes text as the whole file (through a temporary file and a rename, so
// the map never reads half a reply).
bool WriteReply(const std::string& path, const std::string& text);
bool HasDisplay();
// With a display: runs zenity with args and gives its first output line
// when the user answered OK. Headless, or when zenity cannot run: the
// scripted answer. False means cancelled.
bool AskUser(const std::vector<std::string>& args, std::string* answer);
// Texts of the map are code page 1252; zenity speaks UTF-8.
std::string ToUtf8(const std::string& cp1252);
std::string FromUtf8(const std::string& utf8);
