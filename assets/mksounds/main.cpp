// tvl-mksounds: makes the sound library's sounds in <root>/Sounds at build
// time, "soundNN.wav" for sound NN: clicks and tones synthesised here, the
// spoken call-outs and alerts by espeak-ng when its path is given (without
// it those files are left out and the program stays silent for them).
//
//   tvl-mksounds ROOT [ESPEAK_NG]
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

constexpr int Rate = 22050;
constexpr double Pi = 3.14159265358979;

using Samples = std::vector<int16_t>;

// A sine burst of the given length whose loudness falls off exponentially.
void AddTone(Samples* s, double hz, double seconds, double amplitude, double decayPerSecond)
{
    int n = static_cast<int>(seconds * Rate);
    for (int i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / Rate;
        double attack = std::fmin(1.0, i / 40.0);  // no click at the start
        double v = amplitude * attack * std::exp(-decayPerSecond * t) * std::sin(2 * Pi * hz * t);
        s->push_back(static_cast<int16_t>(std::lround(v * 32767)));
    }
}

void AddSilence(Samples* s, double seconds) { s->insert(s->end(), static_cast<size_t>(seconds * Rate), 0); }

Samples Click()
{
    Samples s;
    AddTone(&s, 2000, 0.015, 0.6, 250);
    return s;
}

Samples Refused()
{
    Samples s;
    AddTone(&s, 330, 0.09, 0.5, 8);
    AddSilence(&s, 0.06);
    AddTone(&s, 330, 0.09, 0.5, 8);
    return s;
}

Samples LinkChime()
{
    Samples s;
    AddTone(&s, 880, 0.15, 0.5, 12);
    AddTone(&s, 660, 0.25, 0.5, 10);
    return s;
}

// One line a sound: its number and either the words spoken or the tone made.
struct SoundEntry {
    int number;
    const char* words;
    Samples (*tone)();
};

const SoundEntry SoundTable[] = {
    {1, "Clear of conflict", nullptr},
    {2, nullptr, Click},
    {3, nullptr, Refused},
    {4, "Terrain, terrain", nullptr},
    {5, "Traffic, traffic", nullptr},
    {6, "Climb, climb", nullptr},
    {7, "Descend, descend", nullptr},
    {8, "Sink rate, sink rate", nullptr},
    {9, "Too low, terrain", nullptr},
    {10, "Don't sink, don't sink", nullptr},
    {11, "Terrain ahead, pull up", nullptr},
    {12, nullptr, LinkChime},
    {13, "Five hundred", nullptr},
    {14, "Two hundred", nullptr},
    {15, "One hundred", nullptr},
    {16, "Fifty", nullptr},
    {17, "Forty", nullptr},
    {18, "Thirty", nullptr},
    {19, "Twenty", nullptr},
    {20, "Ten", nullptr},
};

void Put16(std::FILE* f, uint16_t v) { std::fputc(v & 0xFF, f), std::fputc(v >> 8, f); }
void Put32(std::FILE* f, uint32_t v) { Put16(f, v & 0xFFFF), Put16(f, static_cast<uint16_t>(v >> 16)); }

// 16-bit mono PCM.
bool WriteWave(const std::string& path, const Samples& s)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    uint32_t data = static_cast<uint32_t>(s.size() * 2);
    std::fputs("RIFF", f), Put32(f, 36 + data), std::fputs("WAVE", f);
    std::fputs("fmt ", f), Put32(f, 16), Put16(f, 1), Put16(f, 1), Put32(f, Rate), Put32(f, Rate * 2);
    Put16(f, 2), Put16(f, 16);
    std::fputs("data", f), Put32(f, data);
    for (int16_t v : s)
        Put16(f, static_cast<uint16_t>(v));
    return std::fclose(f) == 0;
}

bool Speak(const std::string& espeak, const char* words, const std::string& path)
{
    std::vector<std::string> args = {espeak, "-v", "en-us", "-s", "165", "-a", "180", "-z", "-w", path, words};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, espeak.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::error_code e;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && std::filesystem::file_size(path, e) > 44;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tvl-mksounds ROOT [ESPEAK_NG]\n");
        return 2;
    }
    std::string folder = std::string(argv[1]) + "/Sounds";
    std::string espeak = argc > 2 ? argv[2] : "";
    std::error_code e;
    std::filesystem::create_directories(folder, e);
    int failed = 0;
    for (const SoundEntry& entry : SoundTable) {
        char name[32];
        std::snprintf(name, sizeof name, "/sound%02d.wav", entry.number);
        std::string path = folder + name;
        std::filesystem::remove(path, e);
        if (entry.tone) {
            failed += !WriteWave(path, entry.tone());
        } else if (!espeak.empty() && !Speak(espeak, entry.words, path)) {
            std::fprintf(stderr, "tvl-mksounds: espeak-ng could not say \"%s\"\n", entry.words);
            std::filesystem::remove(path, e);
        }
    }
    if (espeak.empty())
        std::fprintf(stderr, "tvl-mksounds: no espeak-ng, the spoken sounds are left out\n");
    return failed ? 1 : 0;
}
