// Entries of zip archives read whole into memory through minizip, and the
// one shared ZipEntryBuffer that the airport and chart readers use in turn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads the entry `name` (found ignoring case) of the archive at `path` into
// out, followed by one NUL byte that size does not count. False when the
// archive or the entry cannot be read, the name could leave its folder
// (".." parts, a leading '/' or '\'), or the entry is larger than the limit.
bool ReadZipEntry(const char* path, const char* name, std::vector<char>* out, size_t* size);

// The largest entry read into memory.
constexpr size_t ZipEntryLimit = 64u * 1024 * 1024;

// A read position over an entry's bytes.
struct ZipEntryCursor {
    const char* data = nullptr;
    size_t size = 0;
    size_t position = 0;
};

// Next line at the cursor into destination (max + 1 bytes): false at the end
// or when no line feed follows (a last line without one is not returned).
// A line of max characters or more gives its first max; a carriage return
// before the line feed is dropped.
bool ReadEntryLine(ZipEntryCursor* cursor, char* destination, size_t max);

// The shared buffer: GUI thread only, one user at a time, who frees it
// before the next load. Other threads read entries with ReadZipEntry.
bool LoadZipEntry(const char* path, const char* name);
bool ReadZipEntryLine(char* destination, size_t max);
void GetZipEntryBuffer(const char** data, size_t* size);
void FreeZipEntry();
