// Test helpers: a temporary folder removed with everything in it, and a
// guard that restores the working folder.
#pragma once

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // Left in place for a person to look at instead of removed.
    void Keep() { keep_ = true; }
    // Path of name inside the folder.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    bool keep_ = false;
};

// Changes into a folder for the guard's lifetime.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::string& path);
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    std::string previous_;
};

// Whole-file helpers for tests.
std::string ReadFileText(const std::string& path);
bool WriteFileText(const std::string& path, const std::string& text);
void MakeFolders(const std::string& path);
