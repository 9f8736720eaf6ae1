// The family's sound library on SDL2 audio. Sounds are numbered WAV files in
// the program root's "Sounds" folder ("sound05.wav" is sound 5), loaded once
// at start and mixed into one output device; a play call returns when its
// sound has been heard. Diagnostics go to standard error: the library has no
// log of its own and is silent rather than failing.
//
// Threads: any number of players (one short thread per sound) call
// QRPlaySound at once; SDL's audio thread mixes; start, volume and end come
// from the program's main thread. The voices are guarded by the device lock
// (held by SDL around the mix), start and end by StateLock, and a player
// waits for its voice on WaitLock, which nothing holds while taking another.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#define PLOVIK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int MaxSoundNumber = 63;
constexpr int VoiceCount = 8;
constexpr int OutputRate = 22050;
// A player gives up waiting this long after its sound should have ended
// (a stalled device must not keep the thread for ever).
constexpr int WaitMarginMs = 2000;

struct Clip {
    std::vector<int16_t> samples;  // output format: mono, OutputRate
    bool missingReported = false;
};

struct Voice {
    const int16_t* data = nullptr;
    size_t length = 0;
    size_t position = 0;
    std::atomic<uint64_t> id{0};  // 0: free
};

std::mutex StateLock;
std::condition_variable PlayersGone;
bool Ready = false;
int Players = 0;
SDL_AudioDeviceID Device = 0;
std::string SoundFolder;
Clip Clips[MaxSoundNumber + 1];
uint64_t NextVoiceId = 1;

Voice Voices[VoiceCount];
std::atomic<float> Volume{1.0f};
std::atomic<bool> Ending{false};

std::mutex WaitLock;
std::condition_variable VoiceEnded;

__attribute__((format(printf, 1, 2))) void Report(const char* format, ...)
{
    char line[600];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "PlovikSound: %s\n", line);
}

void MixInto(void*, Uint8* stream, int bytes)
{
    auto* out = reinterpret_cast<int16_t*>(stream);
    int count = bytes / static_cast<int>(sizeof(int16_t));
    float volume = Volume.load(std::memory_order_relaxed);
    bool ended = false;
    for (int i = 0; i < count; ++i) {
        int32_t sum = 0;
        for (Voice& v : Voices) {
            if (v.id.load(std::memory_order_relaxed) == 0)
                continue;
            sum += v.data[v.position++];
            if (v.position >= v.length) {
                v.id.store(0);
                ended = true;
            }
        }
        float scaled = std::round(static_cast<float>(sum) * volume);
        out[i] = static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
    if (ended) {
        { std::lock_guard<std::mutex> g(WaitLock); }
        VoiceEnded.notify_all();
    }
}

// One WAV file converted to the output format; empty when it cannot be read.
std::vector<int16_t> LoadClip(const std::string& path)
{
    SDL_AudioSpec wav;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(path.c_str(), &wav, &buffer, &length)) {
        Report("cannot read %s: %s", path.c_str(), SDL_GetError());
        return {};
    }
    std::vector<int16_t> samples;
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, wav.format, wav.channels, wav.freq, AUDIO_S16SYS, 1, OutputRate) >= 0 &&
        length > 0) {
        std::vector<Uint8> work(static_cast<size_t>(length) * static_cast<size_t>(cvt.len_mult));
        std::copy(buffer, buffer + length, work.begin());
        cvt.buf = work.data();
        cvt.len = static_cast<int>(length);
        if (SDL_ConvertAudio(&cvt) == 0) {
            samples.resize(static_cast<size_t>(cvt.len_cvt) / sizeof(int16_t));
            std::copy_n(reinterpret_cast<const int16_t*>(work.data()), samples.size(), samples.begin());
        }
    }
    SDL_FreeWAV(buffer);
    if (samples.empty())
        Report("cannot convert %s", path.c_str());
    return samples;
}

std::string ClipPath(int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "sound%02d.wav", number);
    return SoundFolder + "/" + name;
}

void LoadClips()
{
    for (int n = 1; n <= MaxSoundNumber; ++n) {
        Clips[n] = Clip{};
        std::string path = ClipPath(n);
        if (SDL_RWops* probe = SDL_RWFromFile(path.c_str(), "rb")) {
            SDL_RWclose(probe);
            Clips[n].samples = LoadClip(path);
        }
    }
}

std::string FolderOf(const char* root)
{
    std::string folder = root ? root : ".";
    std::replace(folder.begin(), folder.end(), '\\', '/');
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder + "/Sounds";
}

// Takes a free voice for the clip; 0 when all are busy or the end has begun.
uint64_t StartVoice(const Clip& clip)
{
    uint64_t id = 0;
    SDL_LockAudioDevice(Device);
    if (!Ending.load()) {
        for (Voice& v : Voices) {
            if (v.id.load() != 0)
                continue;
            v.data = clip.samples.data();
            v.length = clip.samples.size();
            v.position = 0;
            id = NextVoiceId++;
            v.id.store(id);
            break;
        }
    }
    SDL_UnlockAudioDevice(Device);
    return id;
}

bool IsVoicePlaying(uint64_t id)
{
    for (const Voice& v : Voices)
        if (v.id.load() == id)
            return true;
    return false;
}

}  // namespace

// 1 when the output device runs; the sounds that exist are loaded.
PLOVIK_EXPORT int XAudio2Init(const char* root)
{
    std::lock_guard<std::mutex> g(StateLock);
    if (Ready)
        return 1;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        Report("no audio: %s", SDL_GetError());
        return 0;
    }
    SDL_AudioSpec want{};
    want.freq = OutputRate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 512;
    want.callback = MixInto;
    SDL_AudioSpec have{};
    Device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (Device == 0) {
        Report("no audio device: %s", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    SoundFolder = FolderOf(root);
    LoadClips();
    Ending = false;
    Ready = true;
    SDL_PauseAudioDevice(Device, 0);
    return 1;
}

// Plays sound n and returns once it has been heard (or at once when there is
// no such sound or sound is not started).
PLOVIK_EXPORT void QRPlaySound(int n)
{
    const Clip* clip = nullptr;
    {
        std::lock_guard<std::mutex> g(StateLock);
        if (!Ready || n < 1 || n > MaxSoundNumber)
            return;
        Clip& c = Clips[n];
        if (c.samples.empty()) {
            if (!c.missingReported)
                Report("no sound %d: %s is missing", n, ClipPath(n).c_str());
            c.missingReported = true;
            return;
        }
        clip = &c;
        ++Players;
    }
    uint64_t id = StartVoice(*clip);
    if (id != 0) {
        auto heard = std::chrono::milliseconds(static_cast<int64_t>(clip->samples.size()) * 1000 / OutputRate);
        auto deadline = std::chrono::steady_clock::now() + heard + std::chrono::milliseconds(WaitMarginMs);
        std::unique_lock<std::mutex> l(WaitLock);
        VoiceEnded.wait_until(l, deadline, [id] { return Ending.load() || !IsVoicePlaying(id); });
    }
    {
        std::lock_guard<std::mutex> g(StateLock);
        --Players;
    }
    PlayersGone.notify_all();
}

// Stops the output; players still waiting are let go first.
PLOVIK_EXPORT void EndXAudio()
{
    std::unique_lock<std::mutex> l(StateLock);
    if (!Ready)
        return;
    Ready = false;
    Ending = true;
    SDL_LockAudioDevice(Device);
    for (Voice& v : Voices)
        v.id.store(0);
    SDL_UnlockAudioDevice(Device);
    { std::lock_guard<std::mutex> g(WaitLock); }
    VoiceEnded.notify_all();
    PlayersGone.wait_for(l, std::chrono::milliseconds(WaitMarginMs), [] { return Players == 0; });
    SDL_CloseAudioDevice(Device);
    Device = 0;
    for (Clip& c : Clips)
        c = Clip{};
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// Volume 0..1; a value outside is brought into it, one that is not a number ignored.
PLOVIK_EXPORT void SetXAudioVolume(float volume)
{
    if (std::isnan(volume))
        return;
    Volume.store(std::clamp(volume, 0.0f, 1.0f));
}

PLOVIK_EXPORT void SetXAudioVolumeDefault(float volume)
{
    SetXAudioVolume(volume);
}
