// What the helper programs share: reading the exchange file the map wrote,
// leaving the reply, and asking the user (CanAskUser, AskUser: zenity when
// there is a display, headless TVL_DIALOG_ANSWER; unset means cancel).
#pragma once

#include "platform/ask_user.h"

#include <string>
#include <vector>

// The exchange file's lines without their line ends; false when it cannot
// be read. Lines past the limit are not read.
bool ReadExchangeLines(const std::string& path, std::vector<std::string>* lines, size_t limit = 5000);
// Up to max whole numbers of a line, in order, stopping at the first that is
// not one.
std::vector<long> LineNumbers(const std::string& line, size_t max);
// The settings dialogs' exchange file: count whole numbers on its line 2,
// in order; false when the file cannot be read or holds fewer.
bool ReadExchangeNumbers(const std::string& path, size_t count, std::vector<long>* numbers);
// Writes text as the whole file (through a temporary file and a rename, so
// the map never reads half a reply).
bool WriteReply(const std::string& path, const std::string& text);
