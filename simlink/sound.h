// The sound library binding: the family's sound library "PlovikSound" loaded
// by name from the System folder and bound by its five exports, sounds played
// by number on a short thread each so that no caller waits for a sound, the
// volume, and the end of sound output. PlaySoundNumber may be called from any
// thread (the X-Plane link plays its link event); the rest from the GUI thread.
#pragma once

#include <atomic>
#include <cstdint>

// The numbers the callers play; what each sounds like is the library's.
enum : int32_t {
    SoundConflictEnded = 1,
    SoundClick = 2,
    SoundRefused = 3,
    SoundTerrain = 4,
    SoundTrafficAlert = 5,
    SoundTrafficClimb = 6,
    SoundTrafficDescend = 7,
    SoundSinkRate = 8,
    SoundTooLowTerrain = 9,
    SoundDontSink = 10,
    SoundPullUp = 11,
    SoundLinkEvent = 12,
    SoundCallout500 = 13,  // then 200, 100, 50, 40, 30, 20 and 10 ft up to 20
    SoundCallout10 = 20,
};

// The library is loaded and its start answered 1; set only by InitSound,
// cleared only by ShutdownSound.
extern std::atomic<uint8_t> SoundReady;
// Playback threads inside the library's play call.
extern std::atomic<int32_t> SoundsPlaying;
// The number last handed to a playback thread (-1 before the first).
extern std::atomic<int32_t> PendingSoundNumber;

// Loads and starts the library once (systemFolder holds it, rootFolder is
// handed to its start), then sets its default volume from Volume.
void InitSound(const char* systemFolder, const char* rootFolder);
// 1 when a playback thread was started; 0, playing nothing, unless a
// simulator is connected, sound is started and on, and the simulator is not
// paused.
int32_t PlaySoundNumber(int32_t n);
void SetSoundVolume(float volume);
// Waits for the sounds still playing, then ends sound output.
void ShutdownSound();
