// Builds the navigation files of simulator folders (navdat.bin, apt.bin,
// fixdat.bin, com.txt, the per-letter airport archives in Default/, and when
// their sources are found Airspace.txt with its index and the airway files)
// and the common taxi.txt from the public text formats.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct SourceFiles {
    std::string apt;  // required
    std::string nav;  // required
    std::string fix;  // optional
    std::vector<std::string> openAir;  // optional: OpenAir airspace files
    std::string awy;  // optional
    std::string cifp;  // optional: the folder of per-airport procedure files
};

// Finds apt.dat, nav.dat and fix.dat (or their earth_ names, plain or
// gzipped, also in Airports/ and Navaids/ subfolders) in folder, with
// awy.dat beside them, the OpenAir files ("*.openair", "openair*.txt",
// "*_asp.txt", also in an Airspaces/ subfolder) and the CIFP folder of
// procedures.
bool FindSourceFiles(const std::string& folder, SourceFiles* files);

struct BuildSummary {
    long airports = 0;
    long navaids = 0;
    long fixes = 0;
    long airspaces = 0;
    long airwaySegments = 0;
    long procedures = 0;
    long skipped = 0;
    std::string warning;  // a source left out, the build went on
};

// The folder names a package can hold: XPL, FG, MSFS, FSX, P3D, FS9, AFS2.
bool IsKnownNavFolder(const std::string& folder);

// What a build writes besides its folders, and whom it tells how far it is.
struct BuildOptions {
    // taxi.txt and Navdata.db serve every simulator.
    bool taxi = true;
    bool procedures = true;
    // Called as the build goes on with the percentage done and what it does.
    std::function<void(int percent, const char* stage)> progress;
};

// Writes each folder below navdataDir and, as the options say,
// navdataDir/taxi.txt and the procedure database navdataDir/Navdata.db (the
// runways of every airport, the procedures of those with a CIFP file). Each
// file is written beside the old one and renamed into place when whole.
// False with a reason in error when a source cannot be read or a file cannot
// be written.
bool BuildNavdataFolders(const SourceFiles& sources, const std::string& navdataDir,
                         const std::vector<std::string>& folders, BuildSummary* summary, std::string* error,
                         const BuildOptions& options = {});
