// Builds the navigation files of simulator folders (navdat.bin, apt.bin,
// fixdat.bin, com.txt, the per-letter airport archives in Default/) and the
// common taxi.txt from the public text formats.
#pragma once

#include <string>
#include <vector>

struct SourceFiles {
    std::string apt;  // required
    std::string nav;  // required
    std::string fix;  // optional
};

// Finds apt.dat, nav.dat and fix.dat (or their earth_ names, plain or
// gzipped, also in Airports/ and Navaids/ subfolders) in folder.
bool FindSourceFiles(const std::string& folder, SourceFiles* files);

struct BuildSummary {
    long airports = 0;
    long navaids = 0;
    long fixes = 0;
    long skipped = 0;
};

// The folder names a package can hold: XPL, FG, MSFS, FSX, P3D, FS9, AFS2.
bool IsKnownNavFolder(const std::string& folder);

// Writes each folder below navdataDir and navdataDir/taxi.txt; false with a
// reason in error when a source cannot be read or a file cannot be written.
bool BuildNavdataFolders(const SourceFiles& sources, const std::string& navdataDir,
                         const std::vector<std::string>& folders, BuildSummary* summary, std::string* error);
