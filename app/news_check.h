// Once a day the map asks the system's web server for a news item in the
// display language and shows a newer one than the last seen through the
// news viewer helper. Runs from the settings reader at display start; a
// server that cannot be reached costs no more than a refused connection.
#pragma once

#include "platform/win32.h"

#include <cstddef>

// year x 1000 + day of the year (leap days not counted).
long NewsDayStamp(const SYSTEMTIME& date);
// "V" and the program version's four parts, as the news items name them.
void ProgramVersionWord(char* out, size_t size);
void CheckForNews();
// The check for a given day stamp (CheckForNews takes today's UTC date).
void CheckForNewsOn(long today);
// Asks for the news item and shows it when it is newer (argument unused).
void ShowNews(int unused = 0);
