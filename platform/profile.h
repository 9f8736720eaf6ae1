// Profile API: INI files read and written with Windows' rules. Sections and
// keys match case-insensitively, values are trimmed and lose one pair of
// surrounding quotes, a missing file/section/key gives the default, and every
// write rewrites the file atomically (temporary file + rename).
#pragma once

#include "platform/win32.h"

// Copies the value (or the default, trailing blanks trimmed) into out, cut to
// size - 1 characters; returns the number of characters copied. A null
// section lists the section names, a null key the keys of the section, each
// NUL-terminated and the list ended by a second NUL.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out, DWORD size,
                               LPCSTR fileName);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName);
// value == nullptr deletes the key; key == nullptr deletes the section.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
// Writes key = value into section of fileName in SystemFolder; nothing while
// the program root is not known.
void WriteIniString(const char* value, const char* fileName, const char* section, const char* key);

// A write batch: writes to fileName change only what the program holds of
// it (reads see them) until EndProfileWriteBatch writes the file once, so a
// writer of hundreds of keys rewrites it once rather than once per key.
void BeginProfileWriteBatch(LPCSTR fileName);
// Writes every file of the batch; FALSE when one could not be written.
BOOL EndProfileWriteBatch();

// For tests: called with the temporary file's path after it is written and
// before it replaces the file.
void SetProfileBeforeRenameHook(void (*hook)(const char* tempPath));
