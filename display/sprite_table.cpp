// The sprite table: which picture each slot holds, loading and releasing
// them, and the display's start-up and shutdown around them.
#include "display/sprite_table.h"

#include "app/frame_driver.h"
#include "app/language.h"
#include "app/layout_tables.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/program_root.h"
#include "platform/win32.h"
#include "maps/terrain_data.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/chart_view.h"
#include "display/draw_helpers.h"
#include "display/frame_limiter.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/onscreen_keyboard.h"
#include "display/screen_buttons.h"
#include "display/softkey_pages.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "display/sprite_draw.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "render/bitmap_fonts.h"
#include "render/device.h"
#include "render/system_text.h"
#include "render/textures.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

SpriteSlot SpriteTable[SpriteSlotCount];
LabelCell LabelCellGrid[16];

static uint8_t SplashShown = 0;
static const char SplashBuildText[] = "(build " __DATE__ ")";
static char AboutYearLine[64] = "";

// Files by slot; null where a slot holds none. The slots that follow the
// monitor's aspect are named by AspectFileName.
static const char* const SlotFiles[SpriteSlotCount] = {
    nullptr, "Light.png", nullptr, "Aircraft3.png", "wpt.png",
    "tc00.bmp", "tc01.bmp", "tc02.bmp", "tc03.bmp", "tc04.bmp", "tc05.bmp",
    "tc06.bmp", "tc07.bmp", "tc08.bmp", "tc09.bmp", "tc10.bmp", "tc11.bmp",
    "Arrow2.png", "SoftkeyA2.png", "WV2.png", "Rosea.png", "TWR.png", "vor.png", "ndb.png", "apt.png",
    "G500_Knob.png", nullptr, "ARP.png", "Airports.png",
    nullptr, nullptr, nullptr, nullptr, nullptr,
    "Fix.png", "Oval.png", nullptr, "Legende1.png", "Legende2.png", "North1.png", nullptr, nullptr,
    "Rose1a.png", "G500_4X3_Keyboard.png", "key_yellow.png", "key_red.png", "key_green.png",
    "vline.png", "hline.png", "dot.png", "Lightb.png", "ndb32.png", "Marker64.png", "vorrose.png",
    "vor32.png", "vor-dme.png", "vortac.png", "DME.png", "aptup.png", "Arial_121_00.png", "Arial_16_00.png",
    "SoftkeyB2.png", "VOR_128.png", "G500_L.png", "G500_R.png", "page_s.png", "page_us.png",
    "obs1a.png", "obs2a.png", "obs3a.png", "obs4a.png", "aptp.png", "apt2.png", "apt3.png", "vor_512.png",
    nullptr, "Parking.png", "SoftkeyA1.png", "SoftkeyB1.png", "arrow1.png",
    "Aircraft2.png", "Heli.png", "Aircraft4.png", "Aircraft5.png", "Aircraft6.png", "Aircraft7.png",
};

// The bezel pictures by layout: 16:9, 16:10, anything else 4:3.
static const char* AspectFileName(int slot, int aspectRatio)
{
    static const char* const Bezel[3] = {"G500_16x9.png", "G500_16x10.png", "G500_4x3.png"};
    static const char* const Bulb[3] = {"G500_16x9_Bulb.png", "G500_16x10_Bulb.png", "G500_4x3_Bulb.png"};
    static const char* const TranA[3] = {"G500_16X9_TranA.png", "G500_16X10_TranA.png", "G500_4X3_TranA.png"};
    static const char* const Tran[3] = {"G500_16X9_Tran.png", "G500_16X10_Tran.png", "G500_4X3_Tran.png"};
    int k = aspectRatio == 1 ? 0 : aspectRatio == 2 ? 1 : 2;
    switch (slot) {
    case SpriteBezel: return Bezel[k];
    case SpriteBezelLamp: return Bulb[k];
    case SpriteTransparencyScaleLower: return TranA[k];
    case SpriteTransparencyScale: return Tran[k];
    default: return nullptr;
    }
}

const char* SpriteFileName(int slot, int aspectRatio)
{
    if (slot < 0 || slot >= SpriteSlotCount)
        return nullptr;
    const char* aspect = AspectFileName(slot, aspectRatio);
    return aspect ? aspect : SlotFiles[slot];
}

SpriteSlot* GetSpriteSlot(int slot)
{
    return slot >= 0 && slot < SpriteSlotCount ? &SpriteTable[slot] : nullptr;
}

// Folder, file name and extension of a path, each cut to its buffer.
static void SplitPath(const char* path, char* name, size_t nameSize, char* ext, size_t extSize)
{
    const char* slash = std::strrchr(path, '/');
    const char* back = std::strrchr(path, '\\');
    const char* base = slash > back ? slash : back;
    base = base ? base + 1 : path;
    const char* dot = std::strrchr(base, '.');
    size_t nameLen = dot ? static_cast<size_t>(dot - base) : std::strlen(base);
    std::snprintf(name, nameSize, "%.*s", static_cast<int>(nameLen), base);
    std::snprintf(ext, extSize, "%s", dot ? dot : "");
}

// The message box for a picture that did not load.
static void WarnBitmapNotLoaded(const char* path)
{
    if (!path)
        return;
    char name[100], ext[10], text[100];
    SplitPath(path, name, sizeof(name), ext, sizeof(ext));
    // The text comes from the language file: it is formatted only when it
    // takes exactly the two strings.
    FormatLanguageText(text, sizeof(text), LanguageSection::Error, 9, "%s%s", name, ext);
    MessageBoxA(GetMainWindow(), text, "Zorizeruverovu", MB_ICONWARNING | MB_TASKMODAL | MB_TOPMOST);
}

ID3D11ShaderResourceView* LoadBitmapOrWarn(const char* path, uint8_t* ok, int* width, int* height, int slot)
{
    ID3D11ShaderResourceView* view = LoadTexture(path, ok, width, height, slot);
    if (view || !path)
        return view;
    WarnBitmapNotLoaded(path);
    return nullptr;
}

// "<root>/bitmaps/<file>", found whatever the case of the folder.
static void BitmapPath(const char* root, const char* file, char* out, size_t size)
{
    char wanted[512];
    if (std::snprintf(wanted, sizeof wanted, "%s/bitmaps/%s", root, file) >= static_cast<int>(sizeof wanted)) {
        if (size)
            out[0] = 0;
        return;
    }
    if (!ResolvePath(wanted, out, size))
        std::snprintf(out, size, "%s", wanted);
}

// The font pages also stay in the renderer's texture slots 5 and 0.
static int KeepSlotOf(int slot)
{
    return slot == SpriteFontPage121 ? 5 : slot == SpriteFontPage16 ? 0 : -1;
}

// The slots' pictures decoded ahead on a few threads, while the splash is
// shown or at the start of the table's load; the load takes them in slot
// order, so its warnings and slots come out as from one picture at a time.
// GUI thread (the decoding threads are joined before anyone reads them).
struct PreloadedPicture {
    std::string path; // what was decoded; empty when nothing waits
    ID3D11ShaderResourceView* view = nullptr;
    int width = 0, height = 0;
};
static PreloadedPicture Preloaded[SpriteSlotCount];

static void ReleasePreloadedPictures()
{
    for (PreloadedPicture& p : Preloaded) {
        if (p.view)
            p.view->Release();
        p = PreloadedPicture{};
    }
}

static void PreloadSlotPictures(const char* root, int aspectRatio)
{
    ReleasePreloadedPictures();
    std::vector<int> slots;
    for (int slot = 0; slot < SpriteSlotCount; ++slot) {
        const char* file = SpriteFileName(slot, aspectRatio);
        if (!file)
            continue;
        char path[512];
        BitmapPath(root, file, path, sizeof path);
        Preloaded[slot].path = path;
        slots.push_back(slot);
    }
    std::atomic<size_t> next{0};
    auto decode = [&slots, &next] {
        for (size_t i; (i = next.fetch_add(1)) < slots.size();) {
            PreloadedPicture& p = Preloaded[slots[i]];
            p.view = DecodePictureFile(p.path.c_str(), &p.width, &p.height);
        }
    };
    std::vector<std::thread> helpers;
    unsigned wanted = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    for (unsigned t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(decode);
        } catch (...) {
            break; // fewer threads: the rest decode here
        }
    }
    decode();
    for (std::thread& t : helpers)
        t.join();
}

// The picture of a slot: decoded ahead, or loaded now.
static ID3D11ShaderResourceView* TakeSlotPicture(int slot, const char* path, int* w, int* h)
{
    PreloadedPicture& p = Preloaded[slot];
    if (p.path.empty() || p.path != path) {
        uint8_t ok = 0;
        ID3D11ShaderResourceView* view = LoadBitmapOrWarn(path, &ok, w, h, KeepSlotOf(slot));
        if (!ok && view) {
            view->Release();
            view = nullptr;
        }
        return view;
    }
    ID3D11ShaderResourceView* view = p.view;
    *w = p.width;
    *h = p.height;
    p = PreloadedPicture{};
    if (!view)
        WarnBitmapNotLoaded(path);
    else
        KeepTextureInSlot(view, KeepSlotOf(slot));
    return view;
}

static void LoadSlot(const char* root, int slot, int aspectRatio)
{
    const char* file = SpriteFileName(slot, aspectRatio);
    if (!file)
        return;
    SpriteSlot& s = SpriteTable[slot];
    ReleaseSpriteSlot(&s);
    char path[512];
    BitmapPath(root, file, path, sizeof path);
    int w = 0, h = 0;
    ID3D11ShaderResourceView* view = TakeSlotPicture(slot, path, &w, &h);
    if (!view)
        return;
    s.texture = view;
    s.width = w;
    s.height = h;
    s.loaded = 1;
}

static void SetSlotFlags()
{
    for (SpriteSlot& s : SpriteTable) {
        s.visible = s.loaded;
        s.dimmable = s.loaded;
    }
    // The keyboard shows its pictures only while it is open.
    for (int slot = SpriteKeyboard; slot <= SpriteKeyGreen; ++slot)
        SpriteTable[slot].visible = 0;
    static const int FullBrightness[] = {0, 1, 17, 25, 26, 40, 41, 43, 44, 45, 46, 74, 75};
    for (int slot : FullBrightness)
        SpriteTable[slot].dimmable = 0;
}

bool LoadSpriteTable(const char* root, int aspectRatio)
{
    // Decoded during the splash already, unless there was none.
    bool ahead = std::any_of(std::begin(Preloaded), std::end(Preloaded),
                             [](const PreloadedPicture& p) { return !p.path.empty(); });
    if (!ahead)
        PreloadSlotPictures(root, aspectRatio);
    for (int slot = 0; slot < SpriteSlotCount; ++slot)
        LoadSlot(root, slot, aspectRatio);
    ReleasePreloadedPictures();
    SetSlotFlags();
    return SpriteTable[SpriteAircraft].loaded != 0;
}

// ---- splash ----

bool IsSplashShown() { return SplashShown != 0; }

void ResetSplashShown() { SplashShown = 0; }

static void DrawSplashLine(const char* text, float x, float y, float factor, uint32_t colour)
{
    float size = static_cast<float>(GetFontSize()) * factor * TextScale;
    DrawFontString(size, x * ScreenScaleX, y * ScreenScaleY, colour, text, 0);
}

static const char* const SplashCredits[12] = {
    "Regional aeronautical charts: their national aviation authorities",
    "Map data (c) OpenStreetMap contributors, OpenTopoMap (CC-BY-SA)",
    "Sentinel-2 cloudless imagery by EOX IT Services GmbH",
    "(contains modified Copernicus Sentinel data)",
    "Topographic maps of Australia: Geoscience Australia",
    "Topographic maps of New Zealand: Land Information New Zealand",
    "ICAO charts: their national aviation authorities",
    "TPC and ONC charts: US National Geospatial-Intelligence Agency",
    "(public domain, courtesy of the University of Texas Libraries)",
    "US digital products: Federal Aviation Administration",
    "Airspaces and navigation data: openAIP (CC BY-NC 4.0)",
    "Terrain elevation: public digital elevation models",
};

void DrawSplashScreen()
{
    if (SplashShown)
        return;
    char path[512];
    BitmapPath(ProgramRoot, "TVL.png", path, sizeof path);
    SpriteSlot& s = SpriteTable[SpriteBezel];
    ReleaseSpriteSlot(&s);
    uint8_t ok = 0;
    s.texture = LoadTexture(path, &ok, &s.width, &s.height, -1);
    s.loaded = ok && s.texture;
    if (!s.loaded) {
        ReleaseSpriteSlot(&s);
        return;
    }
    s.visible = 1;
    s.dimmable = 0;
    ClearTarget(0xFF000000u);
    DrawSprite(SpriteBezel, 0, 0, 0xFFFFFFFFu, 0, 1.0f, QuadPlacement::WholeTarget);
    char line[128];
    std::snprintf(line, sizeof line, "Version %s %s", VersionText, SplashBuildText);
    DrawSplashLine(line, 200, 120, 2.5f, 0xFFFFFFFFu);
    for (int i = 0; i < 12; ++i)
        DrawSplashLine(SplashCredits[i], 70, 180.0f + 20.0f * i, 2.0f, 0xFFFFFFFFu);
    SYSTEMTIME now;
    GetSystemTime(&now);
    std::snprintf(line, sizeof line, "(c) Tabrix Software %d", now.wYear);
    DrawSplashLine(line, 430, 450, 2.5f, 0xFF000000u);
    PresentFrame();
    // The splash stays 2 s; the pictures of the table are decoded meanwhile.
    auto shown = std::chrono::steady_clock::now();
    PreloadSlotPictures(ProgramRoot, GetAspectRatio());
    auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - shown);
    if (spent.count() < 2000)
        Sleep(static_cast<DWORD>(2000 - spent.count()));
    SplashShown = 1;
    ReleaseSpriteSlot(&s);
}

void SetAboutYearLine(int year)
{
    std::snprintf(AboutYearLine, sizeof AboutYearLine, "(c) Tabrix Software %d", year);
}

const char* GetAboutYearLine() { return AboutYearLine; }

// ---- start-up ----

static void FillLabelCellGrid()
{
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            LabelCellGrid[column + 4 * row] = {0, 0, column * 64, row * 64, 64, 64};
}

// The map areas and their centres from the screen layout of this start.
static void SetViewRectangles()
{
    MapViewportRect = {LayoutOriginX, LayoutOriginY, LayoutOriginX + 477, LayoutOriginY + 351};
    FullScreenRect = {0, 0, 640, 480};
    BezelMapCentre = {ScreenLayout.MapRectX + ScreenLayout.MapRectW / 2,
                      ScreenLayout.MapRectY + ScreenLayout.MapRectH / 2};
    ScreenCentre = BezelMapCentre;
    FullScreenCentre = {320, 240};
}

// The one picture the map cannot do without: say so and end, as the
// renderer's failure does.
[[noreturn]] static void StopForMissingAircraft(HWND window)
{
    WriteLog("Aircraft2.png missing");
    MessageBoxA(window, GetErrorText(6), "Zorizeruverovu", MB_ICONEXCLAMATION | MB_TASKMODAL | MB_TOPMOST);
    std::fflush(nullptr);
    std::_Exit(-1);
}

void LoadDisplayBitmaps(HWND window, int width, int height)
{
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    SetScreenFactors(width, height);
    DrawSplashScreen();
    StartFrameStatistics();
    ResetFirstFrameDrawn();
    if (!LoadSpriteTable(ProgramRoot, GetAspectRatio()))
        StopForMissingAircraft(window);
    ResetTileTexturePool();
    ResetTileGridBanks();
    LayoutKeypad();
    InitApplication(window, width, height);
    LayoutSoftkeys();
    SetViewRectangles();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    LayoutScreenButtons();
    ResetFrameLimiterCount();
    FillLabelCellGrid();
}

// ---- release ----

// Stops the tile loader: at once inside a grid job, else by request, polled
// every 100 ms for at most 10 s. True once it is idle.
static bool StopTileLoaderAndWait()
{
    if (!IsTileLoaderBusy())
        return true;
    int stopped = 0;
    StopTileLoader(&stopped);
    for (int i = 0; i < 100 && IsTileLoaderBusy(); ++i)
        Sleep(100);
    if (IsTileLoaderBusy()) {
        WriteLog("Tile loader did not stop");
        return false;
    }
    return true;
}

void ReleaseDisplayBitmaps()
{
    for (SpriteSlot& s : SpriteTable)
        if (s.loaded)
            ReleaseSpriteSlot(&s);
    ReleaseChartImage();
    // The fetch threads create tile textures: they must be done before the
    // pool goes. A loader that does not stop keeps its textures (a leak at
    // shutdown rather than a texture freed under a running thread).
    if (StopTileLoaderAndWait())
        ReleaseTileTextures();
}

void ShutdownDisplay()
{
    UpdateFrame(GetMainWindow(), UpdateModeShutdown, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0);
    ReleaseDisplayBitmaps();
    CleanupD3D();
    FreeTerrainImageBuffers();
    ClearDisplayStarted();
}
