// Terrain elevation data (see terrain_data.h). The window is loaded into the
// hidden bank of terrain textures one slot a frame while the displayed bank
// stays on screen; the banks swap once all 15 textures are made.
#include "maps/terrain_data.h"

#include "app/settings.h"
#include "navdata/map_centre.h"
#include "render/picture_slot.h"
#include "maps/airport_charts.h"
#include "maps/http_download.h"
#include "maps/terrain_awareness.h"
#include "maps/tile_sources.h"
#include "maps/tile_stores.h"
#include "navdata/nav_tables.h"
#include "platform/files.h"
#include "platform/tvl_assert.h"
#include "platform/window.h"
#include "render/textures.h"
#include "maps/tile_grid.h"

#include <FreeImage.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

uint8_t* ElevationGrids[kElevationGridCount];

namespace {

int32_t AltitudeGrid[kAltitudeGridCells];
bool AltitudeGridLoaded = false;
int32_t MsaValue = 0;

constexpr int kNoWork = kTerrainSlots; // the upload index when the set is whole
static_assert(kNoWork <= kElevationGridCount, "every upload slot has an elevation grid");
constexpr size_t kTileTextSize = 512;
// A terrain picture larger than this is no tile of ours; refused before the
// pixels are decoded.
constexpr unsigned kLargestTerrainImage = 4 * kElevationGridSide;

// The set being loaded; the displayed set keeps only its edges.
struct TerrainSet {
    double west = 0, north = 0;
    char path[kTerrainSlots][kTileTextSize] = {};
    char name[kTerrainSlots][kTileTextSize] = {};
};
TerrainSet Loading;
double ShownWest = 0, ShownNorth = 0;

// Two banks of textures: ActiveBank names the displayed one.
SpriteSlot TerrainTexture[2][kTerrainSlots];
int ActiveBank = 0;
int UploadIndex = 0;
bool TileWaiting = false; // the slot of UploadIndex is loaded, its texture not made
bool SetReady = false;
bool TerrainActive = false;
bool FoldersFound = false;
float StoredHeightAboveGround = 0;
float StoredTrack = 0;

int FillingBank() { return ActiveBank ? 0 : 1; }

void TerrainPath(char* out, size_t size, const char* below)
{
    int n = snprintf(out, size, "%s/Terrain%s", TerrainFolder, below);
    if (n < 0 || static_cast<size_t>(n) >= size)
        out[0] = 0;
}

bool IsFolder(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const char* path)
{
    if (!path[0])
        return false;
    if (IsFolder(path))
        return true;
    CreateDirectoryA(path, nullptr);
    return IsFolder(path);
}

uint8_t* SlotGrid(int slot)
{
    if (!ElevationGrids[slot])
        ElevationGrids[slot] = static_cast<uint8_t*>(calloc(kElevationGridBytes, 1));
    return ElevationGrids[slot];
}

// Copies the scan lines of a greyscale picture into the slot, at most
// 1200 x 1200 (FreeImage's line 0 is the bottom, the grid's row 0 the south).
int CopyImage(FIBITMAP* image, int slot)
{
    if (!image)
        return 0;
    FIBITMAP* grey = image;
    if (FreeImage_GetBPP(image) != 8 || FreeImage_GetColorType(image) != FIC_MINISBLACK) {
        grey = FreeImage_ConvertToGreyscale(image);
        FreeImage_Unload(image);
        if (!grey)
            return 0;
    }
    uint8_t* grid = ElevationGrids[slot];
    unsigned width = FreeImage_GetWidth(grey), height = FreeImage_GetHeight(grey);
    unsigned w = width < kElevationGridSide ? width : kElevationGridSide;
    unsigned h = height < kElevationGridSide ? height : kElevationGridSide;
    for (unsigned y = 0; y < h; y++)
        memcpy(grid + static_cast<size_t>(y) * kElevationGridSide, FreeImage_GetScanLine(grey, static_cast<int>(y)), w);
    FreeImage_Unload(grey);
    return 1;
}

bool HeaderFits(FIBITMAP* header)
{
    if (!header)
        return false;
    bool fits = FreeImage_GetWidth(header) <= kLargestTerrainImage && FreeImage_GetHeight(header) <= kLargestTerrainImage;
    FreeImage_Unload(header);
    return fits;
}

bool ValidSlot(int slot) { return slot >= 0 && slot < kElevationGridCount; }

// The window round the map centre: 15 tile names, west and north edges.
bool NameWindow(double lat, double lon)
{
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90 || std::fabs(lon) > 360)
        return false;
    int lon0 = static_cast<int>(lon);
    if (lon <= 0)
        lon0 -= 1;
    int lat0 = static_cast<int>(lat);
    if (lat <= 0)
        lat0 -= 1;
    for (int row = 0; row < kTerrainRows; row++)
        for (int column = 0; column < kTerrainColumns; column++) {
            int slot = row * kTerrainColumns + column;
            TerrainTileName(lat0 + 1 - row, lon0 - 2 + column, Loading.path[slot], kTileTextSize, Loading.name[slot],
                            kTileTextSize);
        }
    Loading.west = lon0 - 2;
    Loading.north = lat0 + 2;
    return true;
}

void LoadTerrainTiles()
{
    if (UploadIndex == 0) {
        if (!NameWindow(MapCenter.latitude.load(), MapCenter.longitude.load()))
            return;
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        SetLoadingBusy(true);
    }
    if (TileWaiting)
        return;
    int slot = UploadIndex;
    if (LoadTerrainTile(Loading.path[slot], Loading.name[slot], slot) < 1) {
        TerrainBlankTilePath(Loading.path[slot], kTileTextSize);
        LoadTerrainTile(Loading.path[slot], Loading.name[slot], slot);
    }
    TileWaiting = true;
}

void ReleaseBank(int bank)
{
    for (SpriteSlot& slot : TerrainTexture[bank])
        ReleaseSpriteSlot(&slot);
}

void SwapTerrainBanks()
{
    SetReady = false;
    UploadIndex = kNoWork;
    ActiveBank = !ActiveBank;
    ShownWest = Loading.west;
    ShownNorth = Loading.north;
    TerrainActive = true;
    ReleaseBank(FillingBank());
    SetLoadingBusy(false);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

// Whether the map centre has left the middle cell of the displayed window.
bool LeftMiddleCell(double lat, double lon)
{
    if (!std::isfinite(lat) || !std::isfinite(lon))
        return false;
    return lon < ShownWest + 2 || lon > ShownWest + 3 || lat > ShownNorth - 1 || lat < ShownNorth - 2;
}

// The cell across the nearer edge: fraction of the degree from the value's
// whole part, the nearer edge below or above.
int NearerNeighbour(int index, double value)
{
    double f = value - std::trunc(value);
    if (f >= 0)
        return f <= 0.5 ? index - 1 : index + 1;
    return f < -0.5 ? index - 1 : index + 1;
}

} // namespace

double TerrainByteToFeet(uint8_t b) { return b * kTerrainFeetPerStep - kTerrainByteOffsetFeet; }

uint8_t TerrainFeetToByte(double feet)
{
    double b = std::round((feet + kTerrainByteOffsetFeet) / kTerrainFeetPerStep);
    if (!(b > 0))
        return 0;
    return b >= 255 ? 255 : static_cast<uint8_t>(b);
}

// Column c = lon + 179 and row r = lat + 91 leave the degree west of 179 W
// (column -1) and the one north of 89 N (row 180) outside the grid: the first
// is the same cell as the degree east of 180 (column 359), the second shares
// the northernmost row.
bool AltitudeGridCell(double lat, double lon, int* column, int* row)
{
    *column = *row = -1;
    if (!std::isfinite(lat) || !std::isfinite(lon))
        return false;
    double wrapped = std::fmod(lon, 360.0);
    if (wrapped < -180)
        wrapped += 360;
    else if (wrapped >= 180)
        wrapped -= 360;
    int c = static_cast<int>(std::floor(wrapped)) + 179;
    if (c < 0)
        c += kAltitudeGridColumns;
    double r = std::floor(lat) + 91;
    if (r < 0)
        r = 0;
    if (r > kAltitudeGridRows - 1)
        r = kAltitudeGridRows - 1;
    *column = c;
    *row = static_cast<int>(r);
    TVL_ASSERT(*column >= 0 && *column < kAltitudeGridColumns);
    return true;
}

bool LoadAltitudeGrid()
{
    char path[600];
    TerrainPath(path, sizeof path, "/altdat.bin");
    FILE* file = OpenFile(path, "rb");
    if (!file) {
        ShowFileNotFound(path);
        return false;
    }
    uint8_t bytes[4];
    static int32_t values[kAltitudeGridCells];
    size_t n = 0;
    for (; n < kAltitudeGridCells && fread(bytes, 1, 4, file) == 4; n++)
        values[n] = static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                                         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
    fclose(file);
    // A short file is no grid: the zeros stay and it is tried again.
    if (n != kAltitudeGridCells) {
        ShowFileNotFound(path);
        return false;
    }
    memcpy(AltitudeGrid, values, sizeof AltitudeGrid);
    AltitudeGridLoaded = true;
    return true;
}

bool IsAltitudeGridLoaded() { return AltitudeGridLoaded; }

int32_t GetTerrainElevation(double lat, double lon)
{
    if (!AltitudeGridLoaded)
        LoadAltitudeGrid();
    int c = 0, r = 0;
    if (!AltitudeGridCell(lat, lon, &c, &r)) {
        MsaValue = 0;
        return 0;
    }
    int nc = NearerNeighbour(c, lon), nr = NearerNeighbour(r, lat);
    if (nc < 0)
        nc = kAltitudeGridColumns - 1;
    if (nc >= kAltitudeGridColumns)
        nc = 0;
    if (nr < 0)
        nr = kAltitudeGridRows - 1;
    if (nr >= kAltitudeGridRows)
        nr = 0;
    int32_t across = AltitudeGrid[nc * kAltitudeGridRows + nr];
    int32_t north = AltitudeGrid[c * kAltitudeGridRows + nr];
    int32_t east = AltitudeGrid[nc * kAltitudeGridRows + r];
    int32_t msa = across > north ? across : north;
    MsaValue = msa > east ? msa : east;
    return AltitudeGrid[c * kAltitudeGridRows + r];
}

int32_t GetMsaElevation() { return MsaValue; }

void TerrainBlankTilePath(char* path, size_t size) { TerrainPath(path, size, "/999999.jpg"); }

void TerrainTileName(int lat, int lon, char* path, size_t pathSize, char* name, size_t nameSize)
{
    if (lat < -90 || lat > 89 || lon < -720 || lon > 720) {
        TerrainBlankTilePath(path, pathSize);
        snprintf(name, nameSize, "999999.jpg");
        return;
    }
    if (lon < -180)
        lon += 360;
    else if (lon > 180)
        lon -= 360;
    char ns = lat >= 0 ? 'N' : 'S';
    char ew = lon >= 0 ? 'E' : 'W';
    int la = std::abs(lat), lo = std::abs(lon);
    snprintf(name, nameSize, "%c%2.2d%c%3.3d.jpg", ns, la, ew, lo);
    char below[64];
    snprintf(below, sizeof below, "/%c%2.2d/%s", ns, la, name);
    TerrainPath(path, pathSize, below);
}

bool CreateTerrainFolders()
{
    if (!MakeFolder(TerrainFolder))
        return false;
    char path[600];
    TerrainPath(path, sizeof path, "");
    if (!MakeFolder(path))
        return false;
    for (int lat = -90; lat <= 89; lat++) {
        char band[16];
        snprintf(band, sizeof band, "/%c%02d", lat < 0 ? 'S' : 'N', std::abs(lat));
        TerrainPath(path, sizeof path, band);
        if (!MakeFolder(path))
            return false;
    }
    FoldersFound = true;
    return true;
}

bool IsTerrainDataAvailable()
{
    if (!FoldersFound) {
        char path[600], resolved[600];
        TerrainPath(path, sizeof path, "");
        FoldersFound = ResolvePath(path, resolved, sizeof resolved) && IsFolder(resolved);
    }
    return FoldersFound;
}

int LoadTerrainImageFile(const char* path, int slot)
{
    if (!path || !ValidSlot(slot) || !SlotGrid(slot))
        return 0;
    char resolved[600];
    if (!ResolvePath(path, resolved, sizeof resolved))
        return 0;
    if (!HeaderFits(FreeImage_Load(FIF_JPEG, resolved, FIF_LOAD_NOPIXELS)))
        return 0;
    return CopyImage(FreeImage_Load(FIF_JPEG, resolved, JPEG_GREYSCALE), slot);
}

int LoadTerrainImageMemory(const uint8_t* data, size_t size, int slot)
{
    if (!data || size == 0 || size > 0x7FFFFFFF || !ValidSlot(slot) || !SlotGrid(slot))
        return 0;
    FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size));
    if (!memory)
        return 0;
    int result = 0;
    if (HeaderFits(FreeImage_LoadFromMemory(FIF_JPEG, memory, FIF_LOAD_NOPIXELS))) {
        FreeImage_SeekMemory(memory, 0, SEEK_SET);
        result = CopyImage(FreeImage_LoadFromMemory(FIF_JPEG, memory, JPEG_GREYSCALE), slot);
    }
    FreeImage_CloseMemory(memory);
    return result;
}

int LoadTerrainTile(const char* path, const char* name, int slot)
{
    if (!ValidSlot(slot) || !SlotGrid(slot))
        return -1;
    if (!path || !strstr(path, ".jpg"))
        return 0;
    if (strstr(path, "999999.jpg")) {
        // Without the blank tile the slot would keep another cell's terrain.
        if (!LoadTerrainImageFile(path, slot))
            memset(ElevationGrids[slot], 0, kElevationGridBytes);
        return 1;
    }
    if (!name || strlen(name) < 5 || (name[0] != 'N' && name[0] != 'S'))
        return 0;
    char band[4] = {name[0], name[1], name[2], 0};
    int longitude = atoi(name + 4);
    if (name[3] == 'W')
        longitude = -longitude;
    uint8_t* blob = nullptr;
    uint32_t size = 0;
    if (ReadTerrainTileFromDb(band, longitude, &blob, &size) == 1) {
        int loaded = LoadTerrainImageMemory(blob, size, slot);
        free(blob);
        if (loaded)
            return 1;
    }
    if (LoadTerrainImageFile(path, slot))
        return 1;
    char table[32], id[16] = "", val[16] = "", request[160];
    snprintf(table, sizeof table, "terrain_%c%.2s", name[0] == 'S' ? 'S' : 'N', name + 1);
    GetServerNonce(id, val);
    snprintf(request, sizeof request, "/Terrain1/terrain.php?table=%s&longitude=%d&id=%s&val=%s ", table, longitude,
             id, val);
    int got = DownloadTerrainToFile(GetMakerServerHost(), request, path);
    if (got < 0)
        return got;
    return LoadTerrainImageFile(path, slot) ? 1 : -1;
}

void UpdateTerrain(double, double heightAboveGround, double, double track)
{
    ReadTerrainSettings();
    StoredHeightAboveGround = static_cast<float>(heightAboveGround);
    StoredTrack = static_cast<float>(track);
    if (UploadIndex < kNoWork)
        LoadTerrainTiles();
    if (UploadIndex == kNoWork && LeftMiddleCell(MapCenter.latitude.load(), MapCenter.longitude.load()))
        UploadIndex = 0;
    if (SetReady)
        SwapTerrainBanks();
}

void UploadNextTerrainTile()
{
    if (UploadIndex >= kNoWork || !TileWaiting)
        return;
    SpriteSlot& slot = TerrainTexture[FillingBank()][UploadIndex];
    ReleaseSpriteSlot(&slot);
    uint8_t ok = 0;
    int width = 0, height = 0;
    slot.texture = CreateElevationTexture(ElevationGrids[UploadIndex], kElevationGridSide, &ok, &width, &height);
    slot.loaded = slot.texture && ok ? 1 : 0;
    slot.width = width;
    slot.height = height;
    TileWaiting = false;
    if (++UploadIndex >= kNoWork)
        SetReady = true;
}

bool IsTerrainTileWaiting() { return TileWaiting; }

void RestartTerrainUpload()
{
    if (Settings.Terrainstate) {
        UploadIndex = 0;
        TileWaiting = false;
    }
}

// West of the window, x is negative and would still index the western
// column's grid: a position outside the window has no byte.
uint8_t GetTerrainElevationByte(double lat, double lon, double north, double west)
{
    double fx = (lon - west) * kElevationGridSide, fy = (north - lat) * kElevationGridSide;
    if (!(fx >= 0) || !(fy >= 0) || fx >= kTerrainColumns * kElevationGridSide ||
        fy >= kTerrainRows * kElevationGridSide)
        return 0;
    int x = static_cast<int>(fx), y = static_cast<int>(fy);
    int column = x / kElevationGridSide, row = y / kElevationGridSide;
    x -= column * kElevationGridSide;
    y -= row * kElevationGridSide;
    const uint8_t* grid = ElevationGrids[row * kTerrainColumns + column];
    if (!grid)
        return 0;
    return grid[static_cast<size_t>(kElevationGridSide - 1 - y) * kElevationGridSide + x];
}

uint8_t GetDisplayedTerrainByte(double lat, double lon)
{
    return GetTerrainElevationByte(lat, lon, ShownNorth, ShownWest);
}

bool IsTerrainActive() { return TerrainActive; }

void GetDisplayedTerrainWindow(double* west, double* north)
{
    *west = ShownWest;
    *north = ShownNorth;
}

const SpriteSlot* GetDisplayedTerrainTexture(int tile)
{
    if (tile < 0 || tile >= kTerrainSlots)
        return nullptr;
    const SpriteSlot& slot = TerrainTexture[ActiveBank][tile];
    return slot.loaded && slot.texture ? &slot : nullptr;
}

float GetTerrainHeightAboveGround() { return StoredHeightAboveGround; }
float GetTerrainTrack() { return StoredTrack; }
int GetTerrainUploadIndex() { return UploadIndex; }

void ShutdownTerrain()
{
    SaveTerrainSettings();
    ReleaseBank(0);
    ReleaseBank(1);
    FreeObstacles();
    AltitudeGridLoaded = false;
    UploadIndex = 0;
    TileWaiting = false;
    SetReady = false;
    TerrainActive = false;
    FoldersFound = false; // the next start looks for the folders anew
    ForgetTerrainSettings();
}

void FreeTerrainImageBuffers()
{
    for (uint8_t*& grid : ElevationGrids) {
        free(grid);
        grid = nullptr;
    }
}

void ResetTerrainData()
{
    memset(AltitudeGrid, 0, sizeof AltitudeGrid);
    AltitudeGridLoaded = false;
    MsaValue = 0;
    FoldersFound = false;
}
