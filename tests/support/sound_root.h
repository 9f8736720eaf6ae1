// Sound tests: a program root holding the built sound library and chosen
// sounds, and SDL's "disk" audio driver whose output file shows what was heard.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Copies the built library into folder/System and, for each pair, the built
// sound of the second number into folder/Sounds as the first number's file.
// Returns the System folder.
std::string MakeSoundRoot(const std::string& folder, const std::vector<std::pair<int, int>>& sounds);
// Sends this process's sound to file (signed 16-bit samples).
void UseDiskAudio(const std::string& file);
std::vector<int16_t> ReadDiskAudio(const std::string& file);
// Samples louder than threshold.
int LoudSamples(const std::vector<int16_t>& samples, int threshold = 1000);
