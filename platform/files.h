// Files, folders and paths: POSIX behind the Win32 file names the system uses,
// plus path normalisation (backslashes) and case-insensitive lookup.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <cstdio>
#include <functional>

#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define FILE_ATTRIBUTE_READONLY 0x1u
#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_NORMAL 0x80u

DWORD GetFileAttributesA(LPCSTR path);
BOOL DeleteFileA(LPCSTR path);
BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists);
BOOL MoveFileA(LPCSTR from, LPCSTR to);
BOOL CreateDirectoryA(LPCSTR path, void* securityAttributes);
BOOL RemoveDirectoryA(LPCSTR path);
DWORD GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size);
DWORD GetCurrentDirectoryA(DWORD size, LPSTR out);
BOOL SetCurrentDirectoryA(LPCSTR path);
// Drive numbers of the runtime (1 = A:, 3 = C:): one file system, always C:.
int _getdrive();
int _chdrive(int drive);

// The program's root folder, built with '/' and without a trailing '/';
// the program root module finds it at display start (GUI thread), every
// module reads it afterwards.
extern char ProgramRoot[512];
// Its "System" folder, as the program root module found it.
extern char SystemFolder[512];
// The settings file: its name, and its path in the System folder, set with
// the two above.
extern char IniFileName[64];
extern char IniFilePath[512];

// In place: every backslash becomes '/'. Returns path.
char* NormalizePath(char* path);
// Normalises path into out (size bytes) and, when the exact path is missing,
// finds each component case-insensitively. The case of the input is never
// lowered: components found on disk take the disk's spelling, the rest stay
// as given (so a new file lands in a folder spelt in another case). Returns
// true when the resolved path exists.
bool ResolvePath(const char* path, char* out, size_t size);
// fopen after ResolvePath, so data files spelt in another case are found.
FILE* OpenFile(const char* path, const char* mode);
// Opens path for binary reading and stores its length in bytes; 0, or -1
// with length 0 when it cannot be opened (a folder cannot).
int GetFileLength(const char* path, uint32_t* length);
// 1 when path reports attributes (a file, or a folder although its length
// cannot be read), else 0.
int FileExists(const char* path);
// True when path, looked up as ResolvePath does, is a folder.
bool IsDirectory(const char* path);
// Replaces the whole file at path (taken as given; through a symbolic link
// the file it names is replaced) by size bytes: written to a temporary file
// beside it, flushed to the disk, and renamed into place only when all of it
// was written, so that a failed write (a full disk) or a crash keeps the old
// file whole and leaves no temporary behind. A file marked read-only is
// refused as Windows refuses to write it (ERROR_ACCESS_DENIED) and stays as
// it was; a replaced file keeps its mode. A full disk sets ERROR_DISK_FULL.
// beforeRename, when given, runs on the finished temporary file (tests).
bool ReplaceFileContents(const char* path, const void* data, size_t size,
                         void (*beforeRename)(const char* tempPath) = nullptr);
// The same for a writer that prints: print writes into a stream held in
// memory and returns false when it has nothing fit to write, which writes
// nothing.
bool ReplaceFileByPrinting(const char* path, const std::function<bool(FILE*)>& print);
// Puts a file that a library or a tool finished at tempPath (beside path)
// in path's place: flushed, then renamed. False removes the temporary and
// keeps path as it was.
bool CommitReplacementFile(const char* tempPath, const char* path);
// For tests, a full disk: every file the functions above write takes at most
// bytes bytes (negative: no limit) and the rest fails; with flushFails the
// flush fails too, as a full disk shows on file systems that find room for
// the data only then.
void SetFullDiskForTests(long long bytes, bool flushFails = false);
