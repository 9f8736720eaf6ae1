// The tile grid: sizing from the view, the loader thread that lays out the
// bank being filled and starts the fetch threads, the swap in the frame and
// the release of textures that left the grid.
#include "maps/tile_grid.h"

#include "platform/log.h"
#include "app/settings.h"
#include "display/frame_update.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "maps/http_download.h"
#include "maps/local_maps.h"
#include "app/status_message.h"
#include "render/picture_slot.h"
#include "display/map_redraw.h"
#include "display/zoom_animation.h"
#include "maps/terrain_data.h"
#include "maps/tile_cache.h"
#include "maps/tile_sources.h"
#include "maps/tile_stores.h"
#include "maps/tile_threads.h"
#include "maps/weather_radar.h"
#include "navdata/airspaces.h"
#include "platform/threads.h"
#include "platform/tvl_assert.h"
#include "render/snapshot.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cstring>

#include <pthread.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

TileGridBank TileGridBanks[2];
SpriteSlot LocalMapTexture[2][LocalMapTilesPerBank];

namespace {

constexpr int TileCap = 200;
// A grid laid out under the cap has a slot for every cell.
static_assert(TileCap <= TileGridSlotCount);

// threads: written by the GUI thread (swap), read by everyone.
std::atomic<int> DisplayedBank{0};

// The next job, written by the starters on the GUI thread before the loader
// starts and read by the loader.
std::atomic<double> JobLatitude{0.0};
std::atomic<double> JobLongitude{0.0};
std::atomic<int> JobCols{0};
std::atomic<int> JobRows{0};
std::atomic<int> GridZoom{11};
std::atomic<int> JobWantedZoom{11};  // Tile when a starter set the grid zoom
std::atomic<int> ChartRequest{0};  // signed; the chart type is its absolute value

// Loader flags. threads: the GUI thread starts, stops and aborts; the loader
// and fetch threads run. Who waits on them waits on LoaderWake below, and
// who changes them wakes it.
std::atomic<bool> Busy{false};
std::atomic<bool> InJob{false};
std::atomic<bool> StopRequest{false};
std::atomic<bool> AbortRequest{false};
std::atomic<bool> Shutdown{false};
std::atomic<bool> RefreshAllowed{false};
std::atomic<bool> GridComplete{false};
std::atomic<bool> WeatherOn{false};
std::atomic<int> RunningFetches{0};
// Any map or terrain loader is at work. threads: loader threads set it, the
// GUI thread reads it.
std::atomic<uint8_t> LoadingBusy{0};
std::atomic<int> FetchEnabled{1};
std::atomic<int> LastCentreX{-1};
std::atomic<int> LastCentreY{-1};

// The job's state that the fetch threads read.
std::atomic<bool> Overzoomed{false};
std::atomic<float> OverzoomScale{1.0f};
std::atomic<bool> LocalCoverage{false};
std::atomic<int> JobLayer{0};
std::atomic<int> JobType{0};  // the map type the job lays out

// The grid's tile ranges for the stale-texture release at the swap.
std::atomic<int> RangeXStart{0};
std::atomic<int> RangeXEnd{0};
std::atomic<int> RangeYStart{0};
std::atomic<int> RangeYEnd{0};

// A grid none of whose tiles could be had (an online map offline): the
// loader marks it, the swap takes the mark over for the grid shown, and the
// frames say so while that grid is shown. threads: the loader writes
// GridWithoutTiles, the rest is GUI thread only.
std::atomic<bool> GridWithoutTiles{false};
int BlankGridType = 0;        // the type of the shown grid without tiles, 0 none
int UnloadableTypeLogged = 0;
char UnloadableText[StatusMessageSize] = "";  // the message as last shown

// Load time estimate. threads: the loader writes, the frame reads.
std::atomic<double> GridLoadTime{3.0};
double SmoothedTileTime = 0.0;  // loader thread only
int JobsRun = 0;                 // loader thread only

// A starter's zoom for the next job, with the wanted zoom it was chosen from.
void SetJobZoom(int zoom)
{
    JobWantedZoom = Settings.Tile.load();
    GridZoom = zoom;
}

int FillingBank()
{
    return (DisplayedBank.load() + 1) % 2;
}

// Index of host in the bank's list, appended the first time a slot names it.
int HostIndexOf(TileGridBank& bank, const char* host, int serverNumber)
{
    int count = bank.hostCount.load();
    for (int i = 0; i < count; i++)
        if (strcmp(bank.hosts[i].host, host) == 0 && bank.hosts[i].serverNumber == static_cast<uint32_t>(serverNumber))
            return i;
    if (count >= TileGridHostCount)
        return -1;
    bank.hosts[count].serverNumber = static_cast<uint32_t>(serverNumber);
    snprintf(bank.hosts[count].host, sizeof bank.hosts[count].host, "%s", host);
    bank.hostCount = count + 1;
    return count;
}

// The fetch pool: a few threads that take slot indices off a queue, at
// most NrOfThreads fetching at once. threads: the loader queues and waits,
// the pool's threads fetch, and the GUI thread's stop, abort, shutdown and
// swap wake whoever waits. The queue, the pool's size and every wait are
// under FetchLock; RunningFetches (the fetches under way) changes under it
// too. Never destroyed: idle pool threads end with the process.
constexpr int MaxFetchThreads = 16;
std::mutex& FetchLock = *new std::mutex;
std::condition_variable& FetchQueued = *new std::condition_variable;  // the pool's threads wait on it
std::condition_variable& LoaderWake = *new std::condition_variable;   // the loader and the stop wait on it
std::deque<int>& FetchQueue = *new std::deque<int>;
int FetchThreads = 0;

int FetchCap()
{
    int cap = Settings.NrOfThreads.load();
    return cap < 1 ? 1 : cap > MaxFetchThreads ? MaxFetchThreads : cap;
}

// Wakes the loader (and a waiting stop) to look at the flags again.
void WakeLoader()
{
    std::lock_guard<std::mutex> hold(FetchLock);
    LoaderWake.notify_all();
}

void FetchSlot(int slotIndex)
{
    int bankIndex = FillingBank();
    TileGridSlot& slot = TileGridBanks[bankIndex].slots[slotIndex];
    // A job told to end fetches nothing more: a download can take its whole
    // time-out, and the shutdown waits for every fetch.
    bool ending = StopRequest || AbortRequest || Shutdown;
    if (slot.requestPath[0] && !ending) {
        char host[128];
        uint32_t serverNumber = 0;
        GetTileHost(bankIndex, slot.hostIndex, host, sizeof host, &serverNumber);
        LoadTile(slot.fileName, host, static_cast<int>(serverNumber), slot.requestPath, slotIndex, slot.tileY,
                 slot.tileX, GridZoom.load());
    }
    slot.loaded = 1;
}

void FetchThread()
{
    pthread_setname_np(pthread_self(), "tvl-tile-fetch"); // as tools and tests see it
    std::unique_lock<std::mutex> hold(FetchLock);
    for (;;) {
        FetchQueued.wait(hold, [] { return !FetchQueue.empty() && RunningFetches.load() < FetchCap(); });
        int slotIndex = FetchQueue.front();
        FetchQueue.pop_front();
        RunningFetches++;
        hold.unlock();
        FetchSlot(slotIndex);
        hold.lock();
        // The slot is loaded before the count drops: whoever sees no fetch
        // running sees every slot it fetched.
        RunningFetches--;
        LoaderWake.notify_all();
        FetchQueued.notify_one();
    }
}

bool StartFetch(int slotIndex)
{
    std::lock_guard<std::mutex> hold(FetchLock);
    if (FetchThreads < FetchCap()) {
        try {
            std::thread(FetchThread).detach();
            FetchThreads++;
        } catch (...) {
            // The runtime could not start another thread: the pool has enough to go on with.
            if (FetchThreads == 0) {
                TileGridBanks[FillingBank()].slots[slotIndex].loaded = 1;
                return false;
            }
        }
    }
    FetchQueue.push_back(slotIndex);
    FetchQueued.notify_one();
    return true;
}

// Fetches queued and not begun are dropped: the job ends.
void DropQueuedFetches()
{
    std::lock_guard<std::mutex> hold(FetchLock);
    FetchQueue.clear();
}

void WaitForFetches()
{
    {
        std::unique_lock<std::mutex> hold(FetchLock);
        LoaderWake.wait(hold, [] { return FetchQueue.empty() && RunningFetches.load() == 0; });
    }
    CloseInternetHandles();
}

// False when the job must end now: queued fetches are dropped and the
// running ones waited for.
bool WaitForFetchRoom()
{
    if (AbortRequest || StopRequest) {
        DropQueuedFetches();
        WaitForFetches();
        return false;
    }
    return true;
}

// The job's address of tile (x, y) and its builder's map extension.
void AddressOf(int type, int x, int y, int z, int slot, TileAddress* address)
{
    char name[20];
    char extension[8];
    GetCurrentMapName(name, sizeof name);
    if (IsHereMode() && type >= 1 && type <= 3)
        SetCurrentMapExtension("jpg");
    GetCurrentMapExtension(extension, sizeof extension);
    BuildTileAddress(type, x, y, z, slot, name, extension, address);
}

void LayOutSlot(TileGridBank& bank, int slotIndex, int order, int column, int row, int x, int y,
                const TileAddress& address, int bound, int zoom)
{
    TileGridSlot& slot = bank.slots[slotIndex];
    slot.order = order;
    slot.column = column;
    slot.row = row;
    slot.tileX = x;
    slot.tileY = y;
    snprintf(slot.fileName, sizeof slot.fileName, "%s", address.fileName);
    snprintf(slot.requestPath, sizeof slot.requestPath, "%s", address.requestPath);
    slot.hostIndex = address.host[0] ? HostIndexOf(bank, address.host, address.serverNumber) : -1;
    slot.texture = -1;
    slot.loaded = 0;
    bank.tileSize = TileSize.load();
    int type = JobType.load();
    if (Settings.SatMode.load() == type && zoom == Settings.Tile.load()) {
        int found = FindTileTexture(x, y, zoom, type, 2 * bound);
        if (found >= 0 && ClaimTileTexture(found, slotIndex)) {
            slot.texture = found;
            slot.loaded = 1;
        }
    }
}

// Waits until the first `started` slots are loaded, or the job is told to
// end (a stop drops the fetches not yet begun).
void WaitForStartedSlots(TileGridBank& bank, int started)
{
    std::unique_lock<std::mutex> hold(FetchLock);
    LoaderWake.wait(hold, [&bank, started] {
        for (int i = 0; i < started; i++)
            if (bank.slots[i].loaded.load() == 0)
                return Shutdown || StopRequest;
        return true;
    });
    if (Shutdown || StopRequest)
        FetchQueue.clear();
}

void UpdateLoadEstimate(double elapsed, int tiles)
{
    if (tiles <= 0)
        return;
    double perTile = elapsed / tiles;
    if (SmoothedTileTime == 0.0)
        SmoothedTileTime = perTile;
    else if (JobsRun >= 1 && JobsRun <= 8)
        SmoothedTileTime = JobsRun * 0.1 * SmoothedTileTime + (1.0 - JobsRun * 0.1) * perTile;
    else
        SmoothedTileTime = 0.9 * SmoothedTileTime + 0.1 * perTile;
    double estimate = tiles * SmoothedTileTime;
    GridLoadTime = estimate > 2.0 ? 2.0 : estimate;
}

double NowSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A job that ended without a grid to show (aborted, stopped, failed) is as
// if it never ran: the next frame lays the grid out again even where the
// centre has not left its tile, and a zoom step it carried is over.
void ForgetUnshownJob()
{
    LastCentreX = -1;
    LastCentreY = -1;
    SetJobZoom(Settings.Tile.load());
}

void TileLoaderThread(void*)
{
    Busy = true;
    SetLoadingBusy(true);
    AbortRequest = false;
    ClearNetworkFailureFlag();
    if (!StopRequest && !AbortRequest) {
        InJob = true;
        bool done = BuildTileGrid(JobLatitude.load(), JobLongitude.load(), JobCols.load(), JobRows.load());
        InJob = false;
        if (!GridComplete)
            ForgetUnshownJob();
        if (done) {
            Settings.SatMode = CurrentTileMapType.load();
            // Until the frame has swapped the grid in, or a stop.
            std::unique_lock<std::mutex> hold(FetchLock);
            LoaderWake.wait(hold, [] { return !GridComplete || StopRequest; });
        }
    }
    // A zoom step's grid is shown by now, or never will be; before busy
    // clears, so that a step the commands start next keeps its flag.
    EndTileZoomSteps();
    Busy = false;
    WakeLoader(); // a stop waits for this
    SetLoadingBusy(false);
    RequestMapRedraw();
}

// Starts the loader for the centre when it is idle.
bool StartLoaderAt(double latitude, double longitude)
{
    Sleep(1);
    if (Busy)
        return false;
    JobLatitude = latitude;
    JobLongitude = longitude;
    Busy = true;
    if (!StartTileThread(TileLoaderThread, nullptr)) {
        Busy = false;
        return false;
    }
    return true;
}

bool IsTerrainShown()
{
    return Settings.Terrainstate != 0 || Settings.TerrainProfile != 0;
}

bool InRange(int value, int start, int end)
{
    if (start <= end)
        return value >= start && value <= end;
    return value >= start || value <= end;  // the range wraps at the date line
}

// Whether a laid-out grid got no tile at all on the world's rows.
bool HasNoTiles(const TileGridBank& bank)
{
    int world = 1 << GridZoom.load();
    bool onWorld = false;
    TVL_ASSERT(bank.cols * bank.rows < TileCap);
    for (int k = 0; k < bank.cols * bank.rows && k < TileGridSlotCount; k++) {
        const TileGridSlot& slot = bank.slots[k];
        if (slot.tileY < 0 || slot.tileY >= world)
            continue;
        onWorld = true;
        if (slot.texture.load() >= 0)
            return false;
    }
    return onWorld;
}

}  // namespace

// A map chosen that cannot load shows nothing: the screen says why, and
// says it again whenever the message has gone while nothing else is told.
void TellWhenTheMapCannotLoad()
{
    int type = BlankGridType;
    if (type == 0 || !TileMapFlag.load()) {
        // A map that shows now: the word about the one before goes with it.
        if (UnloadableTypeLogged != 0 && std::strcmp(GetStatusMessage(), UnloadableText) == 0)
            ShowStatusMessage("");
        UnloadableTypeLogged = 0;
        return;
    }
    bool first = UnloadableTypeLogged != type;
    if (!first && GetStatusMessage()[0])
        return;
    char name[20] = "";
    if (type == MapTypeSatellite)
        snprintf(name, sizeof name, "SAT");
    else if (type == MapTypeStreet)
        snprintf(name, sizeof name, "OSM");
    else if (type == MapTypeTopo)
        snprintf(name, sizeof name, "OPN TOPO");
    else
        GetCurrentMapName(name, sizeof name);
    snprintf(UnloadableText, sizeof UnloadableText,
             "Map %s cannot load here: no network, and none of its tiles stored", name[0] ? name : "?");
    ShowStatusMessage(UnloadableText);
    if (first)
        WriteLog(UnloadableText);
    UnloadableTypeLogged = type;
}

namespace {

void ReleaseStaleTextures(TileGridBank& old)
{
    int wanted = Settings.Tile.load();
    int maxZoom = GetDisplayedMaxZoom();
    int type = CurrentTileMapType.load();
    for (int i = 0; i < TileTexturePoolSize; i++) {
        const TileTexture& e = TileTexturePool[i];
        if (!e.inUse)
            continue;
        bool zoomKept = e.zoom == wanted || (Overzoomed && e.zoom == maxZoom);
        bool inGrid = e.tileY >= RangeYStart && e.tileY <= RangeYEnd && InRange(e.tileX, RangeXStart, RangeXEnd);
        if (zoomKept && e.mapType == type && inGrid)
            continue;
        for (TileGridSlot& slot : old.slots) {
            if (slot.texture.load() == i) {
                slot.texture = -1;
                slot.loaded = 0;
            }
        }
        FreeTileTexture(i);
    }
}

} // namespace

int GetDisplayedTileBank()
{
    return DisplayedBank.load();
}

void ToggleDisplayedTileBank()
{
    DisplayedBank = FillingBank();
}

void ResetTileGridBanks()
{
    for (TileGridBank& bank : TileGridBanks) {
        bank.cellSize = 256;
        bank.tileScale = 1.0f;
        bank.localMapSet = 0;
        bank.level = 25;
        bank.cols = 0;
        bank.rows = 0;
        bank.tileSize = 256;
        bank.maxZoom = 11;
        bank.hostCount = 0;
        for (TileGridSlot& slot : bank.slots) {
            slot.loaded = 0;
            slot.texture = -1;
        }
    }
}

void ReleaseLocalMapBankTextures()
{
    for (SpriteSlot& slot : LocalMapTexture[DisplayedBank.load()]) {
        if (slot.loaded)
            ReleaseSpriteSlot(&slot);
        slot.loaded = 0;
        slot.texture = nullptr;
    }
}

int GetFillingTileBank()
{
    return FillingBank();
}

void GetTileHost(int bank, int hostIndex, char* out, size_t size, uint32_t* serverNumber)
{
    *serverNumber = 0;
    if (size)
        out[0] = 0;
    if (bank < 0 || bank > 1 || hostIndex < 0 || hostIndex >= TileGridBanks[bank].hostCount.load())
        return;
    snprintf(out, size, "%s", TileGridBanks[bank].hosts[hostIndex].host);
    *serverNumber = TileGridBanks[bank].hosts[hostIndex].serverNumber;
}

bool IsGridWeatherOn()
{
    return WeatherOn;
}

bool IsGridOverzoomed()
{
    return Overzoomed;
}

float GetGridTileScale()
{
    return OverzoomScale;
}

bool HasLocalChartCoverage()
{
    return LocalCoverage;
}

int GetJobChartLayer()
{
    return JobLayer;
}

int GetJobTileType()
{
    return InJob ? JobType.load() : CurrentTileMapType.load();
}

void ComputeGridSize(int viewWidth, int viewHeight, int tileSize, bool trackUp, int* cols, int* rows)
{
    int t = tileSize > 0 ? tileSize : 256;
    int c = viewWidth / (2 * t) * 2 + 3;
    int r = viewHeight / (2 * t) * 2 + 3;
    if (trackUp)
        r = c;
    c += c % 2 == 0 ? 1 : 0;
    r += r % 2 == 0 ? 1 : 0;
    if (c < 3)
        c = 3;
    if (r < 3)
        r = 3;
    if (c * r > TileCap && viewWidth > 0 && viewHeight > 0) {
        if (viewWidth <= viewHeight) {
            c = static_cast<int>(std::sqrt(static_cast<double>(viewWidth) * TileCap / viewHeight));
            r = c * viewHeight / viewWidth;
        } else {
            r = static_cast<int>(std::sqrt(static_cast<double>(viewHeight) * TileCap / viewWidth));
            c = r * viewWidth / viewHeight;
        }
        if (trackUp) {
            if (c <= r) {
                if (r * r >= TileCap)
                    r = c;
                else
                    c = r;
            } else {
                if (c * c >= TileCap)
                    c = r;
                else
                    r = c;
            }
        }
    }
    *cols = c;
    *rows = r;
}

void RequestMapRefresh(double latitude, double longitude, int viewWidth, int viewHeight, int)
{
    MakeServerNonce();
    int type = CurrentTileMapType.load();
    SelectTileHost(type);
    ChartRequest = Settings.PreferedChartType.load();
    if (Busy)
        return;
    Shutdown = false;
    SetServiceCacheRoot(LocalAppDataFolder);
    CreateTileCacheFolders();
    int cols, rows;
    int tile = TileSize.load();
    if (IsStaticMapType(type)) {
        // One static map, plus one more on each side the half view reaches past it.
        int zoom = Settings.Tile.load();
        double px = LonToTilePixelXAtZoom(longitude, zoom, type);
        double py = LatToTilePixelYAtZoom(latitude, zoom, type);
        double left = px - std::floor(px / tile) * tile;
        double top = py - std::floor(py / tile) * tile;
        cols = 1 + (left - viewWidth / 2.0 < 0 ? 1 : 0) + (left + viewWidth / 2.0 > tile ? 1 : 0);
        rows = 1 + (top - viewHeight / 2.0 < 0 ? 1 : 0) + (top + viewHeight / 2.0 > tile ? 1 : 0);
    } else {
        ComputeGridSize(viewWidth, viewHeight, tile, Settings.TrackUp != 0, &cols, &rows);
    }
    JobCols = cols;
    JobRows = rows;
    SetJobZoom(Settings.Tile.load());
    StartLoaderAt(latitude, longitude);
    RefreshAllowed = true;
}

int RefreshMapIfMoved(int left, int top, int right, int bottom, double latitude, double longitude, int mapType)
{
    if (!RefreshAllowed)
        return -1;
    int zoom = GridZoom.load();
    int cx = LonToTileX(longitude, zoom, mapType);
    int cy = LatToTileY(latitude, zoom, mapType);
    // A new radar frame needs a new grid even where the view has not moved.
    bool radarDue = Settings.WeatherState.load() != 0 && IsNewRadarFrameDue();
    if (cx == LastCentreX.load() && cy == LastCentreY.load() && !radarDue)
        return 0;
    const TileGridBank& bank = TileGridBanks[DisplayedBank.load()];
    int t = TileSize.load();
    if (left >= t && right <= bank.cols * t && static_cast<double>(top) >= 1.5 * t && bottom <= bank.rows * t &&
        !radarDue)
        return 0;
    StartLoaderAt(latitude, longitude);
    return 0;
}

void ZoomInAndRefresh(int* started)
{
    Sleep(1);
    if (Busy) {
        *started = 0;
        return;
    }
    int zoom = Settings.Tile.load() + 1;
    if (IsTerrainShown() && zoom < 9)
        zoom = 9;
    SetJobZoom(zoom);
    double lat, lon;
    GetMapCenter(&lat, &lon);
    *started = StartLoaderAt(lat, lon) ? 1 : 0;
}

void ZoomOutAndRefresh(int* started)
{
    Sleep(1);
    if (Busy) {
        *started = 0;
        return;
    }
    int zoom = Settings.Tile.load() - 1;
    if (zoom < 3)
        zoom = 3;
    if (IsTerrainShown() && zoom < 10)
        zoom = 9;
    SetJobZoom(zoom);
    double lat, lon;
    GetMapCenter(&lat, &lon);
    *started = StartLoaderAt(lat, lon) ? 1 : 0;
}

bool RefreshAtZoom(int zoom)
{
    Sleep(1);
    if (Busy)
        return false;
    if (IsTerrainShown() && zoom < 9) {
        SetJobZoom(9);
        return false;
    }
    SetJobZoom(zoom < 4 ? 4 : zoom);
    double lat, lon;
    GetMapCenter(&lat, &lon);
    return StartLoaderAt(lat, lon);
}

int StartTileLoaderThread(int signedChartType)
{
    ChartRequest = signedChartType;
    Sleep(1);
    int request = std::abs(ChartRequest.load());
    int answer = request < 5 ? -request - 1 : request;
    if (Busy)
        return answer;
    double lat, lon;
    GetMapCenter(&lat, &lon);
    StartLoaderAt(lat, lon);
    return answer;
}

void StartTileLoaderThreadPlain()
{
    if (!Busy) {
        double lat, lon;
        GetMapCenter(&lat, &lon);
        StartLoaderAt(lat, lon);
    }
    RefreshAllowed = false;
}

void StopTileLoader(int* out)
{
    StopRequest = true;
    WakeLoader();
    StopTileZoomAnimation();
    {
        std::unique_lock<std::mutex> hold(FetchLock);
        LoaderWake.wait(hold, [] { return !Busy; });
    }
    // The loader has let go of the grid; its threads still return from their
    // last calls, and nothing they touch may go before they have.
    JoinTileThreads();
    StopRequest = false;
    if (out)
        *out = 0;
}

void StopTileLoaderIfRunning()
{
    if (InJob) {
        int word;
        StopTileLoader(&word);
    }
}

bool AbortTileLoader()
{
    if (Busy) {
        AbortRequest = true;
        WakeLoader();
    }
    return Busy;
}

bool IsTileLoaderBusy()
{
    return Busy;
}

void SetLoadingBusy(bool busy) { LoadingBusy = busy ? 1 : 0; }

bool IsLoadingBusy() { return LoadingBusy.load() != 0; }

int GetTileLoaderBusy()
{
    return Busy ? 1 : 0;
}

double GetGridLoadTime()
{
    return GridLoadTime.load();
}

int GetWantedZoom()
{
    return Settings.Tile.load();
}

int GetGridZoom()
{
    return GridZoom.load();
}

void SetGridZoom(int zoom)
{
    SetJobZoom(zoom);
}

void SetTileFetchEnabled(int enabled)
{
    FetchEnabled = enabled;
}

void SetTileChartType(int type)
{
    ChartRequest = type;
}

void ResetTileChartType()
{
    ChartRequest = -Settings.PreferedChartType.load();
}

int GetTileChartType()
{
    return std::abs(ChartRequest.load());
}

int GetRunningFetchCount()
{
    return RunningFetches.load();
}

void SetTileShutdown()
{
    Shutdown = true;
    RefreshAllowed = false;
    WakeLoader();
}

bool IsTileGridComplete()
{
    return GridComplete;
}

void DiscardTileGrid()
{
    GridComplete = false;
    WakeLoader();
}

bool IsCentreInSelectedCatalogueMap(double latitude, double longitude, int* layer)
{
    MapCatalogueRecord selected;
    int index = GetSelectedCatalogueIndex();
    if (!GetCatalogueRecord(index, &selected))
        return false;
    *layer = selected.mapindex;
    if (selected.lat_min < latitude && latitude < selected.lat_max && selected.lon_min < longitude &&
        longitude < selected.lon_max)
        return selected.blocal != 0;
    if (SelectServerMapAtPosition(selected.type)) {
        MapCatalogueRecord found;
        if (!GetCatalogueRecord(GetSelectedCatalogueIndex(), &found))
            return false;
        *layer = found.mapindex;
        return found.blocal != 0;
    }
    if (!SelectServerMapAtPosition(11))
        return false;
    Settings.MapType = 11;
    CurrentTileMapType = 11;
    Settings.PreferedChartType = 11;
    ChartRequest = 11;
    if (IsCatalogueRequestPending()) {
        Settings.MapType = StartTileLoaderThread(11);
        StartTileLoaderThreadPlain();
        ClearCatalogueRequest();
        SetTileZoomEnding(true);
    } else if (TileMapFlag) {
        Settings.MapType = StartTileLoaderThread(11);
    } else {
        RestartMapTiles(11);
    }
    return false;
}

bool BuildTileGrid(double latitude, double longitude, int cols, int rows)
{
    TileGridBank& bank = TileGridBanks[FillingBank()];
    int type = CurrentTileMapType.load();
    JobType = type;
    int layer = JobLayer.load();
    LocalCoverage = type >= MapTypeFirstCatalogue && IsCentreInSelectedCatalogueMap(latitude, longitude, &layer);
    JobLayer = layer;
    WeatherOn = Settings.WeatherState.load() != 0;
    double started = NowSeconds();

    SelectTileHost(type);
    int requested = GridZoom.load();
    // The wanted zoom as the starter saw it: a settings read meanwhile wins.
    int wantedAtStart = JobWantedZoom.load();
    int maxZoom = GetMapMaxZoomAtCenter(type);
    SetDisplayedMaxZoom(maxZoom);
    TileGridBanks[DisplayedBank.load()].maxZoom = maxZoom;
    int zoom = requested;
    if (type < MapTypeFirstCatalogue || zoom <= maxZoom) {
        Overzoomed = false;
        OverzoomScale = 1.0f;
    } else {
        zoom = maxZoom;
        Overzoomed = true;
        OverzoomScale = static_cast<float>(std::ldexp(1.0, requested - maxZoom));
    }
    GridZoom = zoom;

    int cx = LonToTileX(longitude, zoom, type);
    int cy = LatToTileY(latitude, zoom, type);
    LastCentreX = cx;
    LastCentreY = cy;

    cols = cols / 2 * 2 + 1;
    rows = rows / 2 * 2 + 1;
    // Made odd, a grid shrunk to the cap may lie over it again: it loses a
    // row or column pair rather than the whole background.
    while (cols * rows >= TileCap && (cols > 3 || rows > 3)) {
        if (cols >= rows)
            cols -= 2;
        else
            rows -= 2;
    }
    int n = cols * rows;
    if (n >= TileCap) {
        TileMapFlag = 0;
        return false;
    }
    TileMapFlag = 1;
    if (WeatherOn)
        MakeRadarFrameFolder(DisplayedBank.load());
    bank.cols = cols;
    bank.rows = rows;
    bank.cellSize = TileSize.load();
    bank.tileSize = TileSize.load();
    bank.hostCount = 0;

    int world = 1 << zoom;
    int xStart = cx - cols / 2;
    if (xStart < 0)
        xStart += world;
    int xEnd = ((cx + cols / 2) % world + world) % world;
    RangeXStart = xStart;
    RangeXEnd = xEnd;
    RangeYStart = cy - rows / 2;
    RangeYEnd = cy + rows / 2;
    int bound = n + 1 < TileCap ? n + 1 : TileCap;

    bool fetching = FetchEnabled.load() != 0;
    int slotIndex = 0;
    int left = n;
    int startedFetches = 0;
    for (int y = cy - rows / 2, row = 0; y <= cy + rows / 2; y++, row++) {
        int x = xStart;
        for (int column = 0; column < cols; column++, x = (x + 1) % world) {
            if (!fetching) {
                if (Shutdown)
                    return true;
                left--;
                continue;
            }
            TileAddress address{};
            bool onWorld = y >= 0 && y < world;
            if (onWorld)
                AddressOf(type, x, y, zoom, slotIndex, &address);
            if (onWorld && WeatherOn)
                QueueRadarTile(x, y, zoom, DisplayedBank.load(), slotIndex);
            LayOutSlot(bank, slotIndex, left--, column, row, x, y, address, bound, zoom);
            if (!onWorld) {
                // Rows beyond the poles have no tiles: nothing to fetch.
                bank.slots[slotIndex].loaded = 1;
            } else if (!bank.slots[slotIndex].loaded || WeatherOn) {
                // Another map chosen meanwhile: no more of this one is fetched.
                if (!WaitForFetchRoom() || CurrentTileMapType.load() != type) {
                    WaitForFetches();
                    return true;
                }
                if (StartFetch(slotIndex))
                    startedFetches = slotIndex + 1;
            }
            // The grid stays below the cap: no cell shares the last slot.
            TVL_ASSERT(slotIndex < n && n < TileGridSlotCount);
            if (slotIndex < TileGridSlotCount - 1)
                slotIndex++;
        }
    }
    if (fetching && !AbortRequest)
        WaitForStartedSlots(bank, startedFetches);
    // Also when aborted: a fetch still running would fill a slot of the
    // next job's grid with this one's tile.
    if (fetching)
        WaitForFetches();
    if (Shutdown || AbortRequest)
        return true;
    // Another map was chosen meanwhile (its own start was refused while this
    // job ran): this grid is not the map's, and the next frame lays it out.
    if (CurrentTileMapType.load() != type)
        return true;
    if (fetching)
        UpdateLoadEstimate(NowSeconds() - started, cols * rows);
    JobsRun++;

    bank.originX = static_cast<double>(cx - cols / 2) * bank.tileSize;
    bank.originY = static_cast<double>(cy - rows / 2) * bank.tileSize;
    // The wanted zoom becomes the job's, unless the settings changed it meanwhile.
    Settings.Tile.compare_exchange_strong(wantedAtStart, requested);
    if (cols == JobCols.load())
        GridZoom = requested;
    ClearTileZoomAnimationState();
    bank.tileScale = Overzoomed && type >= MapTypeFirstCatalogue ? OverzoomScale.load() : 1.0f;
    GridWithoutTiles = fetching && HasNoTiles(bank);
    RaiseNewTileBankFlag();
    GridComplete = true;
    return true;
}

void SwapTileBanks()
{
    if (!GridComplete)
        return;
    int shown = FillingBank();
    int old = DisplayedBank.load();
    DisplayedBank = shown;
    // Taken before the loader is woken for its next job.
    BlankGridType = GridWithoutTiles ? JobType.load() : 0;
    const TileGridBank& bank = TileGridBanks[shown];
    GridOriginX = bank.originX;
    GridOriginY = bank.originY;
    GridPixelHeight = static_cast<double>(bank.tileSize) * bank.rows;
    TileMapFlag = 1;
    WriteLogF("tile grid %d/%d/%d shown", GridZoom.load(), LastCentreX.load(), LastCentreY.load());
    ClearTileRestartFlag();
    RequestMapRedraw();
    RequestSnapshotRefresh();
    SyncCatalogueSelection();
    GridComplete = false;
    WakeLoader();
    EndTileZoomSteps();
    ReleaseStaleTextures(TileGridBanks[old]);
    TellWhenTheMapCannotLoad();
}

void PixelDeltaToDegrees(double x1, double y1, double x2, double y2, double* dlon, double* dlat)
{
    double world = LonToTilePixelXAtZoom(180.0, Settings.Tile.load(), Settings.SatMode.load());
    if (world <= 0.0)
        return;
    *dlon = (x1 - x2) * 360.0 / world;
    *dlat = (y1 - y2) * 360.0 / world;
}

void PixelOffsetToLatLon(double dx, double dy, double* lon, double* lat, double lon0, double lat0)
{
    int zoom = Settings.Tile.load();
    int type = Settings.SatMode.load();
    double w = std::trunc(LonToTilePixelXAtZoom(lon0 + 1.0, zoom, type)) -
               std::trunc(LonToTilePixelXAtZoom(lon0, zoom, type));
    double h = std::trunc(LatToTilePixelYAtZoom(lat0 + 1.0, zoom, type)) -
               std::trunc(LatToTilePixelYAtZoom(lat0, zoom, type));
    *lon = w != 0.0 ? lon0 + dx / w : lon0;
    *lat = h != 0.0 ? lat0 + dy / h : lat0;
}

void ResetTileGrid()
{
    ResetTileGridBanks();
    for (TileGridBank& bank : TileGridBanks)
        for (TileGridSlot& slot : bank.slots) {
            slot.fileName[0] = '\0';
            slot.requestPath[0] = '\0';
        }
    DisplayedBank = 0;
    JobLatitude = 0.0;
    JobLongitude = 0.0;
    JobCols = 0;
    JobRows = 0;
    GridZoom = 11;
    JobWantedZoom = 11;
    ChartRequest = 0;
    Busy = false;
    InJob = false;
    StopRequest = false;
    AbortRequest = false;
    Shutdown = false;
    RefreshAllowed = false;
    GridComplete = false;
    WeatherOn = false;
    FetchEnabled = 1;
    LastCentreX = -1;
    LastCentreY = -1;
    Overzoomed = false;
    OverzoomScale = 1.0f;
    LocalCoverage = false;
    JobLayer = 0;
    JobType = 0;
    RangeXStart = RangeXEnd = RangeYStart = RangeYEnd = 0;
    GridWithoutTiles = false;
    BlankGridType = 0;
    UnloadableTypeLogged = 0;
    UnloadableText[0] = '\0';
    GridLoadTime = 3.0;
    SmoothedTileTime = 0.0;
    JobsRun = 0;
}
