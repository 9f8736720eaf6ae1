// Reading a PNG screenshot into RGB pixels.
#include "tests/support/screenshot.h"

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <filesystem>

Picture RunMapProgramForScreenshot(Child* program, const std::string& system, const std::string& shot,
                                   int shotFrame, int exitFrames)
{
    setenv("TVL_EXIT_AFTER_FRAMES", std::to_string(exitFrames).c_str(), 1);
    setenv("TVL_SCREENSHOT_FRAME", std::to_string(shotFrame).c_str(), 1);
    setenv("TVL_SCREENSHOT", shot.c_str(), 1);
    Picture p;
    std::string output = std::filesystem::path(system).parent_path().string() + "/program.out";
    EXPECT_TRUE(program->Start({std::string(TVL_ROOT_DIR) + "/System/tervalingo"}, output, system));
    EXPECT_EQ(program->Wait(ProgramRunLimit), 0);
    EXPECT_TRUE(LoadPicture(shot, &p)) << shot;
    KeepScreenshot(shot);
    return p;
}

bool RunMapProgramWithScript(Child* program, const std::string& system, const std::string& folder,
                             const std::string& script, const std::string& keepPrefix)
{
    unsetenv("TVL_SCREENSHOT");
    unsetenv("TVL_EXIT_AFTER_FRAMES");
    std::string path = folder + "/script.txt";
    std::ofstream(path) << script;
    setenv("TVL_EVENT_SCRIPT", path.c_str(), 1);
    std::string output = folder + "/program.out";
    bool started = program->Start({std::string(TVL_ROOT_DIR) + "/System/tervalingo"}, output, system);
    unsetenv("TVL_EVENT_SCRIPT");
    EXPECT_TRUE(started);
    if (!started)
        return false;
    int code = program->Wait(ProgramRunLimit);
    EXPECT_EQ(code, 0) << ReadFileText(output);
    KeepScreenshotsOf(folder, keepPrefix);
    return code == 0;
}

bool KeepingScreenshots()
{
    return std::getenv("TVL_KEEP_SCREENSHOTS") != nullptr;
}

std::string KeptScreenshotPath(const std::string& name)
{
    return "/tmp/" + name;
}

void KeepScreenshot(const std::string& path, const std::string& keptName)
{
    if (!KeepingScreenshots())
        return;
    std::error_code ignored;
    std::string name = keptName.empty() ? std::filesystem::path(path).filename().string() : keptName;
    std::filesystem::copy_file(path, KeptScreenshotPath(name), std::filesystem::copy_options::overwrite_existing,
                               ignored);
}

void KeepScreenshotsOf(const std::string& folder, const std::string& prefix)
{
    if (!KeepingScreenshots())
        return;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        if (entry.path().extension() == ".png")
            KeepScreenshot(entry.path().string(), prefix + entry.path().filename().string());
}

void UseHeadlessEnvironment(const std::string& runtimeFolder)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("TVL_MONITORS", "1920x1080", 1);
    setenv("XDG_RUNTIME_DIR", runtimeFolder.c_str(), 1);
    unsetenv("TVL_EVENT_SCRIPT");
}

int ChannelDistance(uint32_t a, uint32_t b)
{
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8)
        d = std::max(d, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return d;
}

double DifferingShare(const Picture& a, const Picture& b, int tolerance)
{
    size_t differing = 0;
    for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i)
        differing += ChannelDistance(a.rgb[i], b.rgb[i]) > tolerance;
    return a.rgb.empty() ? 0.0 : static_cast<double>(differing) / static_cast<double>(a.rgb.size());
}

bool LoadPicture(const std::string& path, Picture* out)
{
    FIBITMAP* dib = FreeImage_Load(FIF_PNG, path.c_str(), PNG_DEFAULT);
    if (!dib)
        return false;
    FIBITMAP* rgb = FreeImage_ConvertTo24Bits(dib);
    FreeImage_Unload(dib);
    if (!rgb)
        return false;
    out->width = static_cast<int>(FreeImage_GetWidth(rgb));
    out->height = static_cast<int>(FreeImage_GetHeight(rgb));
    out->rgb.resize(static_cast<size_t>(out->width) * out->height);
    for (int y = 0; y < out->height; ++y) {
        const BYTE* line = FreeImage_GetScanLine(rgb, out->height - 1 - y);
        for (int x = 0; x < out->width; ++x) {
            const BYTE* p = line + 3 * x;
            out->rgb[static_cast<size_t>(y) * out->width + x] =
                p[FI_RGBA_RED] << 16 | p[FI_RGBA_GREEN] << 8 | p[FI_RGBA_BLUE];
        }
    }
    FreeImage_Unload(rgb);
    return true;
}

Picture RunForScreenshot(Child* program, const std::string& system, const std::string& shot,
                         const std::string& output, int frames)
{
    setenv("TVL_EXIT_AFTER_FRAMES", std::to_string(frames + 10).c_str(), 1);
    setenv("TVL_SCREENSHOT_FRAME", std::to_string(frames).c_str(), 1);
    setenv("TVL_SCREENSHOT", shot.c_str(), 1);
    Picture p;
    EXPECT_TRUE(program->Start({std::string(TVL_ROOT_DIR) + "/System/tervalingo"}, output, system));
    EXPECT_EQ(program->Wait(ProgramRunLimit), 0);
    EXPECT_TRUE(LoadPicture(shot, &p)) << shot;
    return p;
}

void ExpectMatchesReference(const std::string& shotPath, const char* name)
{
    std::string reference = std::string(TVL_SOURCE_DIR) + "/tests/e2e/" + name + ".png";
    if (std::getenv("TVL_UPDATE_REFERENCES")) {
        std::filesystem::copy_file(shotPath, reference, std::filesystem::copy_options::overwrite_existing);
        return;
    }
    Picture shot, expected;
    ASSERT_TRUE(LoadPicture(shotPath, &shot)) << shotPath;
    ASSERT_TRUE(LoadPicture(reference, &expected)) << reference;
    ASSERT_EQ(shot.width, expected.width);
    ASSERT_EQ(shot.height, expected.height);
    double share = DifferingShare(shot, expected, 16);
    EXPECT_LT(share, 0.005) << "differs from " << reference;
    if (share >= 0.005) {
        // Kept for a look after the test's temporary folder is gone.
        std::string kept = std::string(TVL_BINARY_DIR) + "/tests/failed-shots";
        std::error_code ignored;
        std::filesystem::create_directories(kept, ignored);
        kept += std::string("/") + name + ".png";
        std::filesystem::copy_file(shotPath, kept, std::filesystem::copy_options::overwrite_existing, ignored);
        ADD_FAILURE() << "the picture taken is kept as " << kept;
    }
}
