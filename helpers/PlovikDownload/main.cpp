// The navigation-data downloader of the family. Instead of downloading, it
// builds the package of a simulator folder from navigation data at hand in
// the public text formats, and the same program installs it again:
//   PlovikDownload                 reads System/install.ini, writes the package
//                                  Navdata/<X>pak.exe and its installer Navdata/<X>pak
//   <X>pak                         unpacks <X>pak.exe beside itself, then removes itself
//   PlovikDownload --build SOURCE NAVDATA FOLDER...
//                                  writes the folders straight into NAVDATA
#include "build_progress.h"
#include "navdata/zip_entry.h"
#include "navdata/zip_writer.h"
#include "navdata_builder.h"
#include "platform/files.h"
#include "platform/profile.h"

#include <minizip/unzip.h>
#include <csignal>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string OwnExecutable()
{
    std::error_code ignored;
    return fs::read_symlink("/proc/self/exe", ignored).string();
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void PrintSummary(const std::string& folder, const std::string& source, const BuildSummary& s)
{
    std::printf("PlovikDownload: %s from %s: %ld airports, %ld navaids, %ld fixes, %ld airspaces, %ld airway "
                "segments, %ld procedures, %ld entries skipped\n",
                folder.c_str(), source.c_str(), s.airports, s.navaids, s.fixes, s.airspaces, s.airwaySegments,
                s.procedures, s.skipped);
    if (!s.warning.empty())
        std::printf("PlovikDownload: %s\n", s.warning.c_str());
}

// Where navigation data in the public formats may be found, best first.
bool FindSources(const std::string& navdataDir, SourceFiles* files, std::string* found)
{
    std::vector<std::string> candidates;
    if (const char* own = std::getenv("TVL_NAVDATA_SOURCE"))
        candidates.push_back(own);
    if (const char* fgRoot = std::getenv("FG_ROOT"))
        candidates.push_back(fgRoot);
    candidates.push_back("/usr/share/games/flightgear");
    candidates.push_back("/usr/share/flightgear");
    candidates.push_back(navdataDir + "/Source");  // the small set shipped with the program
    for (const std::string& folder : candidates) {
        if (FindSourceFiles(folder, files)) {
            *found = folder;
            return true;
        }
    }
    return false;
}

int BuildFolders(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: PlovikDownload --build SOURCE NAVDATA FOLDER...\n");
        return 2;
    }
    SourceFiles files;
    if (!FindSourceFiles(argv[2], &files)) {
        std::fprintf(stderr, "PlovikDownload: no apt.dat and nav.dat in %s\n", argv[2]);
        return 1;
    }
    std::vector<std::string> folders(argv + 4, argv + argc);
    for (const std::string& folder : folders) {
        if (!IsKnownNavFolder(folder)) {
            std::fprintf(stderr, "PlovikDownload: unknown folder %s\n", folder.c_str());
            return 2;
        }
    }
    BuildSummary summary;
    std::string error;
    if (!BuildNavdataFolders(files, argv[3], folders, &summary, &error)) {
        std::fprintf(stderr, "PlovikDownload: %s\n", error.c_str());
        return 1;
    }
    PrintSummary(folders.front(), argv[2], summary);
    return 0;
}

// A termination signal ends the build with nothing half made left behind: a
// thread of its own takes the signal, closes the window, removes the
// leftovers and ends the process. Called before any other thread starts.
void EndCleanlyOnSignals(const std::vector<std::string>& leftovers)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals, leftovers] {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0)
            return;
        if (pid_t window = ProgressWindowProcess(); window > 0)
            kill(window, SIGTERM);
        for (const std::string& path : leftovers) {
            std::error_code ignored;
            // The build may still be adding to a folder as it goes.
            for (int tries = 0; tries < 3 && fs::exists(path, ignored); ++tries)
                fs::remove_all(path, ignored);
        }
        std::fprintf(stderr, "PlovikDownload: ended by signal %d, nothing installed\n", signal);
        _exit(128 + signal);
    }).detach();
}

// Every file below staging as an entry of the package, '/'-separated.
bool WritePackage(const fs::path& staging, const std::string& package)
{
    std::vector<ZipWriterEntry> entries;
    for (const auto& item : fs::recursive_directory_iterator(staging)) {
        if (!item.is_regular_file())
            continue;
        std::ifstream in(item.path(), std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        entries.push_back({fs::relative(item.path(), staging).generic_string(), std::move(data)});
    }
    return WriteZipArchive(package.c_str(), entries);
}

// The downloader's own run: the request in install.ini, the package and its
// installer beside it.
int Download()
{
    char downloadPath[1024];
    char filename[256];
    GetPrivateProfileStringA("Tervalingo", "DownloadPath", "", downloadPath, sizeof(downloadPath), "./install.ini");
    GetPrivateProfileStringA("Tervalingo", "Filename", "", filename, sizeof(filename), "./install.ini");
    NormalizePath(downloadPath);
    std::string stem = filename;
    if (stem.size() > 4 && Lower(stem.substr(stem.size() - 4)) == ".exe")
        stem.resize(stem.size() - 4);
    std::string folder = stem.size() > 3 && Lower(stem.substr(stem.size() - 3)) == "pak" ? stem.substr(0, stem.size() - 3) : "";
    if (!IsKnownNavFolder(folder) || downloadPath[0] == '\0') {
        std::fprintf(stderr, "PlovikDownload: install.ini asks for no known package (%s)\n", filename);
        return 1;
    }
    std::string package = downloadPath;
    std::string navdataDir = fs::path(package).parent_path().string();
    SourceFiles files;
    std::string source;
    if (!FindSources(navdataDir, &files, &source)) {
        std::fprintf(stderr, "PlovikDownload: no navigation data in the public formats found\n");
        return 1;
    }
    std::string staging = navdataDir + "/." + stem + "-staging";
    EndCleanlyOnSignals({staging, package + ".part"});
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    fs::create_directories(staging, ignored);
    BuildSummary summary;
    std::string error;
    // taxi.txt and Navdata.db serve every simulator: a package for one
    // brings them only where they are missing.
    BuildOptions options;
    options.taxi = !FileExists((navdataDir + "/taxi.txt").c_str());
    options.procedures = !FileExists((navdataDir + "/Navdata.db").c_str());
    bool ok;
    {
        BuildProgress progress("Navigation data for " + folder);
        options.progress = [&progress](int percent, const char* stage) { progress.Report(percent, stage); };
        ok = BuildNavdataFolders(files, staging, {folder}, &summary, &error, options);
        if (ok) {
            progress.Report(99, "Packing");
            ok = WritePackage(staging, package);
        }
    }
    fs::remove_all(staging, ignored);
    std::string installer = navdataDir + "/" + stem;
    ok = ok && fs::copy_file(OwnExecutable(), installer, fs::copy_options::overwrite_existing, ignored);
    ok = ok && chmod(installer.c_str(), 0755) == 0;
    if (!ok) {
        std::fprintf(stderr, "PlovikDownload: %s\n", error.empty() ? "cannot write the package" : error.c_str());
        fs::remove(package, ignored);
        return 1;
    }
    PrintSummary(folder, source, summary);
    return 0;
}

// The names of a package's entries.
std::vector<std::string> EntryNames(const std::string& package)
{
    std::vector<std::string> names;
    unzFile zip = unzOpen64(package.c_str());
    if (zip == nullptr)
        return names;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof(name), nullptr, 0, nullptr, 0) == UNZ_OK)
            names.push_back(name);
    }
    unzClose(zip);
    return names;
}

// Whether an entry belongs to the package's own simulator folder ("XPL/..."
// for XPLpak).
bool IsOwnEntry(const std::string& name, const std::string& installer)
{
    std::string stem = Lower(installer);
    if (stem.size() <= 3 || stem.compare(stem.size() - 3, 3, "pak") != 0)
        return false;
    std::string folder = stem.substr(0, stem.size() - 3) + "/";
    return Lower(name).compare(0, folder.size(), folder) == 0;
}

// The package's own run: unpack beside it; no entry may land outside, each
// file is written beside the old one and renamed into place, and a file of
// no simulator's own folder (taxi.txt ...) that is there already stays.
int Install(const std::string& self)
{
    fs::path folder = fs::path(self).parent_path();
    std::string installer = fs::path(self).filename().string();
    std::string package = (folder / (installer + ".exe")).string();
    std::vector<std::string> names = EntryNames(package);
    if (names.empty()) {
        std::fprintf(stderr, "%s: no package at %s\n", fs::path(self).filename().c_str(), package.c_str());
        return 1;
    }
    int failures = 0;
    for (const std::string& name : names) {
        if (name.empty() || name.back() == '/')
            continue;  // a folder entry
        std::vector<char> data;
        size_t size = 0;
        if (!IsContainedEntryName(name.c_str()) || !ReadZipEntry(package.c_str(), name.c_str(), &data, &size)) {
            std::fprintf(stderr, "%s: entry %s refused\n", fs::path(self).filename().c_str(), name.c_str());
            ++failures;
            continue;
        }
        fs::path target = folder / name;
        if (!IsOwnEntry(name, installer) && FileExists(target.c_str())) {
            std::printf("%s: %s is there already and stays\n", installer.c_str(), name.c_str());
            continue;
        }
        std::error_code ignored;
        fs::create_directories(target.parent_path(), ignored);
        if (!ReplaceFileContents(target.c_str(), data.data(), size)) {
            std::fprintf(stderr, "%s: %s cannot be written\n", installer.c_str(), target.c_str());
            ++failures;
        }
    }
    unlink(self.c_str());
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--build") == 0)
        return BuildFolders(argc, argv);
    std::string self = OwnExecutable();
    std::string name = Lower(fs::path(self).filename().string());
    if (name.size() > 3 && name.compare(name.size() - 3, 3, "pak") == 0)
        return Install(self);
    return Download();
}
