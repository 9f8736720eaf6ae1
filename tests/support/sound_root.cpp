// Sound test roots and the disk audio driver's output.
#include "tests/support/sound_root.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

std::string MakeSoundRoot(const std::string& folder, const std::vector<std::pair<int, int>>& sounds)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path shipped = TVL_ROOT_DIR;
    fs::create_directories(fs::path(folder) / "System", error);
    fs::create_directories(fs::path(folder) / "Sounds", error);
    fs::copy_file(shipped / "System" / "libPlovikSound.so", fs::path(folder) / "System" / "libPlovikSound.so",
                  fs::copy_options::overwrite_existing, error);
    for (const auto& [number, from] : sounds) {
        char to[32], source[32];
        std::snprintf(to, sizeof to, "sound%02d.wav", number);
        std::snprintf(source, sizeof source, "sound%02d.wav", from);
        fs::copy_file(shipped / "Sounds" / source, fs::path(folder) / "Sounds" / to,
                      fs::copy_options::overwrite_existing, error);
    }
    return folder + "/System";
}

void UseDiskAudio(const std::string& file)
{
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
}

std::vector<int16_t> ReadDiskAudio(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                          (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    return samples;
}

int LoudSamples(const std::vector<int16_t>& samples, int threshold)
{
    int count = 0;
    for (int16_t s : samples)
        count += s > threshold || s < -threshold;
    return count;
}
