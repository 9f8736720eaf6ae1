// The weather-radar overlay (see weather_radar.h): frames, the radar tile
// names of the grid's slots, the fetch into the radar textures, the rain
// probe under the aircraft and the clean-up of the frame folders.
//
// threads: the tile loader names the slots of the filling bank before it
// starts their fetch threads; each fetch thread fills only its own slot's
// texture of the filling bank; the frame draws the displayed bank. The probe
// runs on a link thread and reads values the frame sets, all atomic or under
// ProbeLock.
#include "maps/weather_radar.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/helper_dialogs.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"
#include "app/settings.h"
#include "render/picture_slot.h"
#include "maps/http_download.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "maps/tile_sources.h"
#include "platform/files.h"
#include "platform/gpu/d3dx11.h"
#include "platform/messagebox.h"
#include "render/textures.h"
#include "simlink/udp_link.h"

#include <FreeImage.h>
#include <dirent.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

namespace {

constexpr int RadarTileSide = 256;
constexpr int RadarServerNumber = 6;
constexpr int ProbeEvery = 42;
constexpr int FrameCheckEvery = 500;
constexpr int64_t FrameDueAfter = 900;
constexpr int64_t OldestFrame = 43200;

struct RadarColour {
    int red, green, blue;
};
const RadarColour RadarColourTable[15] = {
    {223, 223, 223}, {155, 234, 143}, {88, 255, 66},  {71, 194, 124}, {71, 147, 249},
    {12, 89, 255},   {97, 83, 193},   {255, 147, 163}, {255, 63, 53},  {194, 5, 17},
    {255, 235, 10},  {255, 152, 17},  {168, 76, 6},    {221, 168, 255}, {255, 255, 255}};
const int IntensityOfIndex[15] = {0, 0, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5};

std::atomic<int64_t> RadarFrameTime{0};
std::atomic<int> RadarZoom{0};
// The names of the slots per bank, written by the loader before the fetches
// of its bank start.
std::mutex NameLock;
char Names[2][RadarTileSlots][32];
SpriteSlot RadarTileTexture[2][RadarTileSlots];

// The probe.
std::mutex ProbeLock;
struct Probe {
    int tileX = -1, tileY = -1;
    double pixelX = 0, pixelY = 0;
    int64_t loadedFrame = 0;
    int loadedZoom = -1, loadedX = -1, loadedY = -1;
    FIBITMAP* image = nullptr;
};
Probe RainProbe;
std::atomic<int64_t> ProbedFrame{0};
std::atomic<int> ProbeCalls{0};
std::atomic<int> FrameChecks{0};
std::atomic<int> Intensity{-1};
std::atomic<int> Valid{0};
std::atomic<bool> IntensityChanged{false};
std::atomic<bool> StateRequest{false};
std::atomic<bool> OfflineNotice{false};
std::atomic<bool> OfflineNoticeGiven{false};
char ObservationBuffer[256];

int64_t Now()
{
    return static_cast<int64_t>(time(nullptr));
}

int64_t RoundedDown(int64_t t)
{
    return t - ((t % RadarFramePeriod) + RadarFramePeriod) % RadarFramePeriod;
}

void FrameFolder(int64_t frame, char* out, size_t size)
{
    char radar[512];
    GetRadarFolder(radar, sizeof radar);
    snprintf(out, size, "%s/%lld", radar, static_cast<long long>(frame));
}

bool IsFile(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// The slot's texture from a picture file; false when it does not decode.
bool LoadInto(SpriteSlot* slot, const char* path)
{
    int width = 0, height = 0;
    ID3D11ShaderResourceView* view = LoadTileTexture(path, &width, &height, -1);
    if (!view)
        return false;
    slot->texture = view;
    slot->loaded = 1;
    slot->width = slot->height = RadarTileSide;
    return true;
}

// A clear cell: the transparent picture.
void LoadClear(SpriteSlot* slot)
{
    char path[600];
    FallbackPicturePath(TransparentPicture, path, sizeof path);
    LoadInto(slot, path);
}

// Under ProbeLock: the probe's picture for the frame and tile, loaded when
// it changed; null when there is none.
FIBITMAP* ProbeImage(int64_t frame, int zoom)
{
    Probe& p = RainProbe;
    if (p.image && p.loadedFrame == frame && p.loadedZoom == zoom && p.loadedX == p.tileX && p.loadedY == p.tileY)
        return p.image;
    if (p.image)
        FreeImage_Unload(p.image);
    p.image = nullptr;
    char folder[600], path[700];
    FrameFolder(frame, folder, sizeof folder);
    snprintf(path, sizeof path, "%s/%d_%d_%d.png", folder, zoom, p.tileX, p.tileY);
    if (IsFile(path) && ImageFileFitsTextureLimit(path))
        p.image = FreeImage_Load(FIF_PNG, path, 0);
    p.loadedFrame = frame;
    p.loadedZoom = zoom;
    p.loadedX = p.tileX;
    p.loadedY = p.tileY;
    return p.image;
}

void MeasureRain()
{
    std::lock_guard<std::mutex> hold(ProbeLock);
    int64_t frame = ProbedFrame.load();
    FIBITMAP* image = RainProbe.tileX >= 0 && RainProbe.tileY >= 0 ? ProbeImage(frame, RadarZoom.load()) : nullptr;
    if (!image) {
        Valid = 0;
        return;
    }
    unsigned x = static_cast<unsigned>(RainProbe.pixelX), y = static_cast<unsigned>(RainProbe.pixelY);
    if (x >= FreeImage_GetWidth(image) || y >= FreeImage_GetHeight(image)) {
        Valid = 0;
        return;
    }
    RGBQUAD colour{};
    bool read = FreeImage_GetPixelColor(image, x, y, &colour);
    if (!read && FreeImage_GetBPP(image) <= 8) {
        BYTE index = 0;
        const RGBQUAD* palette = FreeImage_GetPalette(image);
        read = palette && FreeImage_GetPixelIndex(image, x, y, &index);
        if (read)
            colour = palette[index];
    }
    if (!read) {
        Valid = 0;
        return;
    }
    int found = RainIntensityOfColour(colour.rgbRed, colour.rgbGreen, colour.rgbBlue);
    if (found == -2)
        return;  // no radar colour: the last reading stands
    if (found != Intensity.load())
        IntensityChanged = true;
    Intensity = found;
    Valid = 1;
}

} // namespace

int64_t GetRadarFrameTime()
{
    // The frame fetched is the one the rain is measured on.
    int64_t frame = RadarFrameTime.load();
    ProbedFrame = frame;
    return frame;
}

int64_t LatestRadarFrame(int64_t now)
{
    return RoundedDown(now) - RadarFramePeriod;
}

void MakeRadarFrameFolder(int displayedBank)
{
    int filling = displayedBank == 0 ? 1 : 0;
    {
        std::lock_guard<std::mutex> hold(NameLock);
        for (auto& name : Names[filling])
            name[0] = 0;
    }
    if (!Settings.WeatherStationState.load() || RadarFrameTime.load() == 0)
        RadarFrameTime = LatestRadarFrame(Now());
    char folder[600];
    FrameFolder(RadarFrameTime.load(), folder, sizeof folder);
    if (!IsDirectory(folder) && !CreateDirectoryA(folder, nullptr))
        WriteLogF("radar folder %s could not be made", folder);
}

void QueueRadarTile(int x, int y, int zoom, int displayedBank, int slot)
{
    if (slot < 0 || slot >= RadarTileSlots)
        return;
    int filling = displayedBank == 0 ? 1 : 0;
    std::lock_guard<std::mutex> hold(NameLock);
    snprintf(Names[filling][slot], sizeof Names[0][0], "%d/%d/%d.png", zoom, x, y);
    RadarZoom = zoom;
}

void GetRadarTileName(int bank, int slot, char* out, size_t size)
{
    if (size)
        out[0] = 0;
    if (bank < 0 || bank > 1 || slot < 0 || slot >= RadarTileSlots)
        return;
    std::lock_guard<std::mutex> hold(NameLock);
    snprintf(out, size, "%s", Names[bank][slot]);
}

int FetchRadarTile(int slotIndex)
{
    int bank = GetFillingTileBank();
    char name[32];
    GetRadarTileName(bank, slotIndex, name, sizeof name);
    if (!name[0])
        return DownloadFailed;
    int64_t frame = GetRadarFrameTime();
    char local[32];
    snprintf(local, sizeof local, "%s", name);
    for (char* p = local; *p; p++)
        if (*p == '/')
            *p = '_';
    char folder[600], path[700];
    FrameFolder(frame, folder, sizeof folder);
    snprintf(path, sizeof path, "%s/%s", folder, local);
    SpriteSlot& slot = RadarTileTexture[bank][slotIndex];
    ReleaseSpriteSlot(&slot);
    int result = DownloadDone;
    if (!IsFile(path)) {
        char host[256], url[256], request[400];
        GetTileServiceUrl(TileUrl::LuckRainServer, host, sizeof host);
        GetTileServiceUrl(TileUrl::LuckyRainUrl, url, sizeof url);
        snprintf(request, sizeof request, "%s%lld/256/%s", url, static_cast<long long>(frame), name);
        result = DownloadTileToFile(host, request, path, RadarServerNumber);
        if (result != DownloadDone) {
            if (!OfflineNoticeGiven.exchange(true)) {
                WriteLogF("weather radar: %s%s not downloaded (%d); the overlay stays clear", host, request, result);
                OfflineNotice = true;
            }
            LoadClear(&slot);
            return result;
        }
    }
    if (!LoadInto(&slot, path)) {
        // Not a picture: gone, so that the next grid asks for it again.
        WriteLogF("weather radar: %s is no picture and was removed", path);
        remove(path);
        LoadClear(&slot);
    }
    return result;
}

bool IsNewRadarFrameDue()
{
    if (Settings.WeatherStationState.load())
        return ProbedFrame.load() != RadarFrameTime.load();
    if (FrameChecks.fetch_add(1) % FrameCheckEvery != FrameCheckEvery - 1)
        return false;
    return RoundedDown(Now()) - RadarFrameTime.load() > FrameDueAfter;
}

const SpriteSlot* GetRadarSprite(int bank, int slot)
{
    if (bank < 0 || bank > 1 || slot < 0 || slot >= RadarTileSlots)
        return nullptr;
    return &RadarTileTexture[bank][slot];
}

void ReleaseRadarTextures()
{
    for (auto& bank : RadarTileTexture)
        for (SpriteSlot& slot : bank)
            ReleaseSpriteSlot(&slot);
    std::lock_guard<std::mutex> hold(ProbeLock);
    if (RainProbe.image)
        FreeImage_Unload(RainProbe.image);
    RainProbe.image = nullptr;
}

bool IsRadarSuppressed()
{
    return SimWeatherFlag.load() != 0;
}

void SetRadarProbeTile(float pixelX, float pixelY, int tileX, int tileY)
{
    std::lock_guard<std::mutex> hold(ProbeLock);
    RainProbe.tileX = tileX;
    RainProbe.tileY = tileY;
    // y comes up from the tile's bottom, as the picture's rows are counted
    // when read; an edge is kept inside the picture.
    RainProbe.pixelX = pixelX < 0 ? 0 : pixelX > RadarTileSide - 1 ? RadarTileSide - 1 : pixelX;
    RainProbe.pixelY = pixelY < 0 ? 0 : pixelY > RadarTileSide - 1 ? RadarTileSide - 1 : pixelY;
}

void ResetRadarProbe()
{
    std::lock_guard<std::mutex> hold(ProbeLock);
    RainProbe.tileX = -1;
    RainProbe.tileY = -1;
}

void InitRadarState()
{
    ResetRadarProbe();
}

int RainIntensityOfColour(int red, int green, int blue)
{
    if (red == 0 && green == 0 && blue == 0)
        return -1;
    for (int k = 0; k < 15; k++) {
        const RadarColour& c = RadarColourTable[k];
        if (c.red == red && c.green == green && c.blue == blue)
            return IntensityOfIndex[k];
    }
    return -2;
}

void GetRainAtPosition(RainReading* out)
{
    if (!Settings.WeatherStationState.load() || IsRadarSuppressed()) {
        Valid = 0;
        out->valid = 0;
        out->intensity = Intensity.load();
        return;
    }
    if (ProbeCalls.fetch_add(1) > ProbeEvery - 2) {
        ProbeCalls = 0;
        MeasureRain();
    }
    out->intensity = Intensity.load();
    out->valid = Valid.load();
}

int GetRainIntensity()
{
    return Intensity.load();
}

bool TakeRainIntensityChanged()
{
    return IntensityChanged.exchange(false);
}

void CheckRadarFrameAge(int64_t frameTime)
{
    int64_t frame = RoundedDown(frameTime);
    RadarFrameTime = frame;
    int64_t now = RoundedDown(Now());
    if (frame <= now && now - frame <= OldestFrame)
        return;
    if (Settings.WeatherState.load())
        ToggleWeather();
    Settings.WeatherState = 0;
    Settings.WeatherStationState = 0;
    const char* text = GetWarningText(2);
    MessageBoxA(GetMainWindow(), text ? text : "", "TABRIX", MB_TASKMODAL | MB_TOPMOST);
}

bool IsWeatherStationOn()
{
    return Settings.WeatherStationState.load() != 0;
}

void NotifyRadarStateChanged()
{
    StateRequest = true;
}

bool TakeRadarStateRequest()
{
    return StateRequest.exchange(false);
}

char* GetWeatherObservationBuffer()
{
    return ObservationBuffer;
}

void DeleteFilesInFolder(const char* folder)
{
    DIR* dir = opendir(folder);
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        char path[1200];
        snprintf(path, sizeof path, "%s/%s", folder, entry->d_name);
        if (IsFile(path))
            remove(path);
    }
    closedir(dir);
}

void ClearRadarCache()
{
    char radar[512];
    GetRadarFolder(radar, sizeof radar);
    if (!radar[0])
        return;
    DIR* dir = opendir(radar);
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        char path[1200];
        snprintf(path, sizeof path, "%s/%s", radar, entry->d_name);
        struct stat st;
        if (lstat(path, &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        DeleteFilesInFolder(path);
        RemoveDirectoryA(path);
    }
    closedir(dir);
}

bool TakeRadarOfflineNotice()
{
    return OfflineNotice.exchange(false);
}
