// Writing zip archives of in-memory entries (deflated), for the airport
// archives that the navigation-data builder makes.
#pragma once

#include <string>
#include <vector>

struct ZipWriterEntry {
    std::string name;  // '/' separated, inside the archive's own folder
    std::string data;
};

// Writes the archive anew, beside the old one and renamed into place only
// when whole; false (the old archive kept) when it cannot be written or an
// entry name could leave its folder (empty, absolute, or with a ".." part).
bool WriteZipArchive(const char* path, const std::vector<ZipWriterEntry>& entries);

// An archive written entry by entry, for archives too large to gather in
// memory first. Close always frees the stream; false when any step failed.
struct ZipStream;
ZipStream* OpenZipStream(const char* path);
bool AddZipStreamEntry(ZipStream* stream, const char* name, const std::string& data);
bool CloseZipStream(ZipStream* stream);

// True for a relative name without ".." parts.
bool IsContainedEntryName(const char* name);
