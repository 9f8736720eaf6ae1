// The sound library binding: load, bind by name, start, play on short
// threads, volume, end. A missing library or export, or a start that fails,
// leaves the program silent; callers go on as if the sound had played.
#include "simlink/sound.h"

#include "platform/log.h"
#include "app/settings.h"
#include "platform/library.h"
#include "platform/threads.h"
#include "simlink/sim_link.h"
#include "simlink/traffic_advisory.h"

#include <cstdio>

std::atomic<uint8_t> SoundReady{0};
std::atomic<int32_t> SoundsPlaying{0};
std::atomic<int32_t> PendingSoundNumber{-1};

typedef int (*XAudio2InitFn)(const char* root);
typedef void (*QRPlaySoundFn)(int number);
typedef void (*EndXAudioFn)();
typedef void (*SetXAudioVolumeFn)(float volume);

// Bound on the GUI thread, read by the playback threads too.
static std::atomic<HMODULE> SoundModule{nullptr};
static std::atomic<XAudio2InitFn> XAudio2Init{nullptr};
static std::atomic<QRPlaySoundFn> QRPlaySound{nullptr};
static std::atomic<EndXAudioFn> EndXAudio{nullptr};
static std::atomic<SetXAudioVolumeFn> SetXAudioVolume{nullptr};
static std::atomic<SetXAudioVolumeFn> SetXAudioVolumeDefault{nullptr};

// A library that never returns from a sound must not hold the program's end.
static const int ShutdownWaitLimitMs = 10000;

static void BindSoundLibrary(HMODULE module)
{
    XAudio2Init = GetProcAddressAs<XAudio2InitFn>(module, "XAudio2Init");
    QRPlaySound = GetProcAddressAs<QRPlaySoundFn>(module, "QRPlaySound");
    EndXAudio = GetProcAddressAs<EndXAudioFn>(module, "EndXAudio");
    SetXAudioVolume = GetProcAddressAs<SetXAudioVolumeFn>(module, "SetXAudioVolume");
    SetXAudioVolumeDefault = GetProcAddressAs<SetXAudioVolumeFn>(module, "SetXAudioVolumeDefault");
}

void InitSound(const char* systemFolder, const char* rootFolder)
{
    if (!SoundReady.load()) {
        char path[600];
        std::snprintf(path, sizeof path, "%s\\PlovikSound.dll", systemFolder ? systemFolder : ".");
        HMODULE module = LoadLibraryA(path);
        if (!module) {
            WriteLogF("Sound library not loaded: %s", GetLibraryErrorText());
        } else {
            SoundModule = module;
            BindSoundLibrary(module);
            XAudio2InitFn start = XAudio2Init.load();
            if (start && start(rootFolder ? rootFolder : ".") == 1)
                SoundReady = 1;
            else
                WriteLog("Sound output not started: the program stays silent");
        }
    }
    SetXAudioVolumeFn setDefault = SetXAudioVolumeDefault.load();
    if (SoundReady.load() && setDefault)
        setDefault(Settings.Volume);
}

// The number travels with the thread, so two sounds started at once each
// play their own (one shared word would let the later replace the earlier).
static void PlaySoundThread(void* argument)
{
    int32_t n = static_cast<int32_t>(reinterpret_cast<intptr_t>(argument));
    if (QRPlaySoundFn play = QRPlaySound.load())
        play(n);
    SoundsPlaying.fetch_sub(1);
}

int32_t PlaySoundNumber(int32_t n)
{
    if (!SimLinkIsConnected() || !SoundReady.load() || Settings.Sound.load() != 1 || !QRPlaySound.load() ||
        SimPaused.load() != 0)
        return 0;
    PendingSoundNumber = n;
    SoundsPlaying.fetch_add(1);
    if (_beginthread(PlaySoundThread, 0, reinterpret_cast<void*>(static_cast<intptr_t>(n))) == 0) {
        SoundsPlaying.fetch_sub(1);
        return 0;
    }
    return 1;
}

void SetSoundVolume(float volume)
{
    if (SetXAudioVolumeFn set = SetXAudioVolume.load())
        set(volume);
}

void ShutdownSound()
{
    EndXAudioFn end = EndXAudio.load();
    if (SoundReady.load() && end) {
        for (int waited = 0; SoundsPlaying.load() > 0 && waited < ShutdownWaitLimitMs; waited += 10)
            Sleep(10);
    }
    if (end)
        end();
    SoundReady = 0;
}
