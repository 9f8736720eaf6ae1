// A PNG screenshot read back for pixel checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb; // 0xRRGGBB, top row first
    uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

bool LoadPicture(const std::string& path, Picture* out);
class Child;
// The map program from the shipped root run headless on a copied root's
// System folder, ended after exitFrames frames with a screenshot of frame
// shotFrame read back (width 0 when none came); TVL_KEEP_SCREENSHOTS=1 keeps
// a copy in /tmp.
Picture RunMapProgramForScreenshot(Child* program, const std::string& system, const std::string& shot,
                                   int shotFrame, int exitFrames);
// The map program run headless on a copied root's System folder with an
// event script (written to folder/script.txt) that takes its own shots; true
// when it started and ended with 0. TVL_KEEP_SCREENSHOTS=1 keeps a copy of
// the folder's pictures in /tmp, their names after keepPrefix.
bool RunMapProgramWithScript(Child* program, const std::string& system, const std::string& folder,
                             const std::string& script, const std::string& keepPrefix);
// The environment of a headless run: dummy video and audio, one monitor of
// 1920 x 1080, the runtime folder in the test's folder, no event script.
void UseHeadlessEnvironment(const std::string& runtimeFolder);

// With TVL_KEEP_SCREENSHOTS=1 set, the pictures a test takes are kept in
// /tmp to look at: whether they are, where one named name goes, and copies
// of one picture or of every PNG in a folder (their names after prefix).
bool KeepingScreenshots();
std::string KeptScreenshotPath(const std::string& name);
void KeepScreenshot(const std::string& path, const std::string& keptName = "");
void KeepScreenshotsOf(const std::string& folder, const std::string& prefix = "");

// The largest difference of one channel between two 0xRRGGBB colours.
int ChannelDistance(uint32_t a, uint32_t b);
// Share of pixels of two pictures of one size that differ by more than the
// tolerance in some channel.
double DifferingShare(const Picture& a, const Picture& b, int tolerance);
// Checks that the screenshot at shotPath matches tests/e2e/<name>.png of the
// source tree (under 0.5 % of pixels off by more than 16); with
// TVL_UPDATE_REFERENCES set it becomes the new reference instead.
void ExpectMatchesReference(const std::string& shotPath, const char* name);

class Child;
// Runs the built map program in system (its working folder, output to
// output) until it ends 10 frames after frame `frames`, of which it writes
// the screenshot shot; the picture, empty when none was written.
Picture RunForScreenshot(Child* program, const std::string& system, const std::string& shot,
                         const std::string& output, int frames);
