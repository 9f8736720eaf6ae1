// The weather-radar overlay: 256-pixel tiles of the radar tile service for
// one 10-minute frame, one per tile of the grid, fetched after the map tile
// of the same slot into the radar textures of the bank being filled, kept in
// "<radar folder>/<frame>/z_x_y.png"; and the rain intensity under the
// aircraft, measured from the same pictures for the Prepar3D/FSX link.
#pragma once

#include <cstddef>
#include <cstdint>

struct SpriteSlot;

constexpr int RadarTileSlots = 200;
constexpr int64_t RadarFramePeriod = 600;

// The frame in use (seconds since 1970, a multiple of 600; 0 before the
// first), which the rain is then measured on; and the frame a time belongs
// to: the last whole one before it.
int64_t GetRadarFrameTime();
int64_t LatestRadarFrame(int64_t now);
// The grid job starts a frame: the filling bank's names are emptied, the
// frame taken (held while weather stations run) and its folder made.
void MakeRadarFrameFolder(int displayedBank);
// The radar tile of a grid slot of the filling bank ("z/x/y.png").
void QueueRadarTile(int x, int y, int zoom, int displayedBank, int slot);
// The name queued for a slot of a bank ("" none).
void GetRadarTileName(int bank, int slot, char* out, size_t size);
// Fetch thread: the slot's radar tile from the frame folder or the service
// into the filling bank's radar texture; a tile that cannot be had or does
// not decode leaves the slot clear. 0, or the download's failure.
int FetchRadarTile(int slot);
// The frame moved on (or, with weather stations, differs from the probed one).
bool IsNewRadarFrameDue();

// The radar picture of a grid slot of a bank (null when none).
const SpriteSlot* GetRadarSprite(int bank, int slot);
// Releases every radar texture of both banks.
void ReleaseRadarTextures();
// The links ask for no radar (the simulator reports its own weather).
bool IsRadarSuppressed();

// The aircraft's radar tile and pixel in it, from the frame; y counts up
// from the tile's bottom (the tile's rows counted as the picture stores them).
void SetRadarProbeTile(float pixelX, float pixelY, int tileX, int tileY);
void ResetRadarProbe();
void InitRadarState();
struct RainReading {
    int32_t intensity;  // 0..5, -1 none
    int32_t valid;
};
// The rain under the aircraft, measured every 42nd call; link threads.
void GetRainAtPosition(RainReading* out);
int GetRainIntensity();
// The intensity measured from a radar colour (red, green, blue): 0..5, -1
// for black (no echo), -2 for a colour that is no radar colour.
int RainIntensityOfColour(int red, int green, int blue);
// Set when the intensity changed since it was last taken.
bool TakeRainIntensityChanged();
// A frame time from the simulator side: one in the future or more than 12
// hours back switches the overlay off with a warning.
void CheckRadarFrameAge(int64_t frameTime);
bool IsWeatherStationOn();
// The weather-station state changed: the link sends the overlay state and
// then the rain intensity. TakeRadarStateRequest clears it.
void NotifyRadarStateChanged();
bool TakeRadarStateRequest();
// The text handed to the link's weather observation; nothing fills it.
char* GetWeatherObservationBuffer();

// At exit: every frame folder below the radar folder, with its files.
void ClearRadarCache();
// Deletes every file (not folder) of a folder.
void DeleteFilesInFolder(const char* folder);
// Once a run, after radar tiles could not be downloaded: true once.
bool TakeRadarOfflineNotice();
