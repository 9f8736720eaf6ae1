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
