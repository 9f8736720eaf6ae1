// Airport charts (see airport_charts.h): the PDF conversion with the page
// tool, thumbnails, PNG charts, georeference files, the airport index and
// the chart lists.
//
// threads: the thumbnail thread runs the page tool and writes the status
// text (under StatusLock) and the busy and done flags; everything else runs
// on the GUI thread, except the index and the lists, which the links' map
// reload reaches too: they are kept under IndexLock.
#include "maps/airport_charts.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/file_dialogs.h"
#include "platform/ini_sections.h"
#include "platform/win32.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/chart_view.h"
#include "navdata/map_centre.h"
#include "display/sprite_draw.h"
#include "render/picture_slot.h"
#include "maps/tile_cache.h"
#include "maps/tile_stores.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/sync.h"
#include "platform/threads.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

// Paths built here: the root, the airport's folder and a file name.
constexpr size_t PathSize = 1280;
// The path buffers callers hand in.
constexpr size_t ChartPathSize = 512;
// An airport's folder name: a PDF's name longer than this names none.
constexpr size_t IcaoSize = 64;
constexpr int ThumbnailDpi = 25;
constexpr int PageDpi = 300;
constexpr int DefaultCellWidth = 150, DefaultCellHeight = 210;
constexpr int ChartsCounted = 19;
constexpr int IndexStartCapacity = 100;
constexpr int IndexGrowth = 50;
// An index file larger than this holds no airports of ours.
constexpr int32_t MaxIndexRecords = 1000000;
// No chart picture is wider or higher than this many pixels.
constexpr long MaxGeorefPixel = 1000000;
constexpr int ChartMenuLevel = 9;
constexpr int ChartMenuNoPdfLevel = 3;

// The airport of the PDF being shown (its path is the PDFFilename
// setting). GUI thread, copied for the thumbnail thread.
char PdfIcao[IcaoSize] = "";
int CurrentPage = 0;
std::atomic<bool> ChartBusy{false};
std::atomic<bool> ConversionDone{false};
std::atomic<int> PendingPage{-1};
std::mutex StatusLock;
char StatusText[400] = "";

// Thumbnails. GUI thread.
SpriteSlot Thumbnails[ThumbnailSlots];
bool ThumbnailView = false;
int FirstThumbnail = 0;
int Screenful = 0;
int GridColumns = 0;
int CellWidth = DefaultCellWidth, CellHeight = DefaultCellHeight;
int GridWidth = 0, GridHeight = 0;

// The chart shown and its georeference. GUI thread.
ChartGeoref ShownGeoref{};
bool ShownHasGeoref = false;

// The index and the lists. threads: GUI and link threads, under IndexLock.
std::recursive_mutex IndexLock;
std::vector<AirportIndexRecord> Index;
bool IndexLoaded = false;
// The file could not be read whole (not at all, or more records than the
// table takes): what it holds is another program's, so it is not written over.
bool IndexFileKept = false;
int IndexCapacity = 0;
int SelectedAirport = -1;
ChartEntry Lists[4][ChartListSize];
int ListCounts[4] = {};
int ListBits = 0;
char ListedIcao[8] = "";

std::atomic<bool> FileNotFoundShown{false};

const char* const ChartFolders[3] = {"Approaches", "Arrivals", "Departures"};

void SetStatus(const char* text)
{
    std::lock_guard<std::mutex> hold(StatusLock);
    snprintf(StatusText, sizeof StatusText, "%s", text ? text : "");
}

void SetStatusPage(int page)
{
    char text[400];
    FormatLanguageText(text, sizeof text, LanguageSection::General, 4, "%d %d", page, Settings.PDFPages);
    SetStatus(text);
}

bool IsRegularFile(const char* path)
{
    char resolved[PathSize + 200];
    ResolvePath(path, resolved, sizeof resolved);
    struct stat st;
    return stat(resolved, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// The PDF's name without folder and extension; false for a name that
// cannot be an airport folder.
bool IcaoOfPdf(const char* path, char* out, size_t size)
{
    const char* base = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    const char* dot = strrchr(base, '.');
    size_t n = dot ? static_cast<size_t>(dot - base) : strlen(base);
    snprintf(out, size, "%.*s", static_cast<int>(n), base);
    return n > 0 && n < size && strcmp(out, ".") != 0 && strcmp(out, "..") != 0;
}

void TmpFolder(const char* icao, char* out, size_t size)
{
    snprintf(out, size, "%s/Airports/%s/tmp", ProgramRoot, icao);
}

void PagePath(const char* icao, int page, int pages, char* out, size_t size)
{
    char tmp[PathSize];
    TmpFolder(icao, tmp, sizeof tmp);
    if (pages < 2)
        snprintf(out, size, "%s/pdf.png", tmp);
    else
        snprintf(out, size, "%s/pdf_%d.png", tmp, page + 1);
}

void MakeFolder(const char* path)
{
    if (!IsDirectory(path))
        CreateDirectoryA(path, nullptr);
}

// Draws page n (from 1) of the PDF into target through a name of its own,
// renamed into place only when the tool made a picture: a PDF the tool
// cannot read leaves nothing behind.
bool DrawPage(const char* pdf, int n, int dpi, const char* target)
{
    char part[PathSize + 32];
    snprintf(part, sizeof part, "%s.part.png", target);
    char pages[32];
    snprintf(pages, sizeof pages, "%d,%d", n, n);
    char resolution[16];
    snprintf(resolution, sizeof resolution, "%d", dpi);
    char tool[PathSize];
    snprintf(tool, sizeof tool, "%s/System/mudraw.exe", ProgramRoot);
    int code = RunProgramWithArguments(tool, {"-o", part, "-r", resolution, pdf, pages}, SystemFolder, nullptr);
    if (code == 0 && IsRegularFile(part) && CommitReplacementFile(part, target))
        return true;
    remove(part);
    WriteLogF("page %d of %s could not be drawn (%d)", n, pdf, code);
    return false;
}

bool WriteWholeText(const char* path, const char* text)
{
    return ReplaceFileContents(path, text, strlen(text));
}

void ThumbnailThread(std::string pdf, std::string icao, int pages)
{
    char tmp[PathSize];
    TmpFolder(icao.c_str(), tmp, sizeof tmp);
    int drawn = 0;
    for (int n = 1; n <= pages; n++) {
        SetStatusPage(n);
        char target[PathSize + 32];
        snprintf(target, sizeof target, "%s/pre_%d.png", tmp, n);
        drawn += DrawPage(pdf.c_str(), n, ThumbnailDpi, target) ? 1 : 0;
    }
    // A set with pages missing is made again next time.
    if (drawn == pages) {
        char content[PathSize + 32], count[16];
        snprintf(content, sizeof content, "%s/content.txt", tmp);
        snprintf(count, sizeof count, "%d", pages);
        WriteWholeText(content, count);
    }
    ConversionDone = true;
}

void StartChartThumbnails(const char* pdf)
{
    std::string path = pdf, icao = GetPdfIcao();
    int pages = Settings.PDFPages;
    ConversionDone = false;
    try {
        std::thread(ThumbnailThread, path, icao, pages).detach();
    } catch (...) {
        ChartBusy = false;
        WriteLog("the thumbnail thread could not be started");
    }
}

void EnterChartView()
{
    Settings.PDFPreview = 1;
    Settings.AirportChart = 1;
    ChartBusy = false;
    SetSoftkeyLevel(ChartMenuLevel, 0);
    Settings.PDFFrameState = Settings.ShowFrame;
    SetShowFrameOff();
}

int ReadPageCount(const char* path)
{
    FILE* f = OpenFile(path, "r");
    if (!f)
        return 0;
    int n = 0;
    if (fscanf(f, "%d", &n) != 1)
        n = 0;
    fclose(f);
    return n;
}

// The georeference file beside a picture: its name with ".txt".
void GeorefPathOf(const char* imagePath, char* out, size_t size)
{
    std::string path = imagePath;
    size_t slash = path.find_last_of("/\\");
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        path.erase(dot);
    snprintf(out, size, "%s.txt", path.c_str());
}

bool ReadGeorefKey(const char* path, const char* key, double* value, int* pixel)
{
    char text[128];
    GetPrivateProfileStringA(GeoreferenceSection, key, "None", text, sizeof text, path);
    if (strcmp(text, "None") == 0)
        return false;
    char degrees[64] = "", pixels[64] = "";
    if (sscanf(text, "%63s %63s", degrees, pixels) < 1)
        return false;
    *value = atof(degrees);
    // Pixels of a picture: sums and multiples of them must fit an int.
    long column = strtol(pixels, nullptr, 10);
    if (!std::isfinite(*value) || column < -MaxGeorefPixel || column > MaxGeorefPixel) {
        WriteLogF("georeference %s: %s %s refused", path, key, text);
        return false;
    }
    *pixel = static_cast<int>(column);
    return true;
}

bool ChartListOf(int bits, int* list)
{
    for (int k = 0; k < 4; k++) {
        if (bits & (1 << k)) {
            *list = k;
            return true;
        }
    }
    return false;
}

int ListIndexOfKind(int kind)
{
    return kind >= 8 && kind <= 10 ? kind - 8 : -1;
}

// Under IndexLock: whether a record's area holds the point.
bool Holds(const AirportIndexRecord& r, double latitude, double longitude)
{
    return r.west < longitude && longitude <= r.east && r.south < latitude && latitude <= r.north;
}

// Under IndexLock: an airport's area from its own georeference; an airport
// the index names already takes the area its Info file gives now.
void AddIndexedAirport(const char* icao, const ChartGeoref& g)
{
    AirportIndexRecord r{};
    snprintf(r.icao, sizeof r.icao, "%s", icao);
    r.west = static_cast<float>(g.lon1);
    r.north = static_cast<float>(g.lat1);
    r.east = static_cast<float>(g.lon2);
    r.south = static_cast<float>(g.lat2);
    for (AirportIndexRecord& held : Index) {
        if (strcasecmp(held.icao, r.icao) == 0) {
            held = r;
            return;
        }
    }
    if (static_cast<int>(Index.size()) >= IndexCapacity)
        GrowAirportIndex();
    Index.push_back(r);
}

// A path for a caller's buffer: left empty rather than cut when too long.
bool CopyChartPath(char* out, const std::string& path)
{
    if (path.size() >= ChartPathSize) {
        out[0] = 0;
        WriteLogF("chart path too long: %s", path.c_str());
        return false;
    }
    memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

std::string ChartFolderPath(const char* icao, int list)
{
    return std::string(DataFolder) + "/Airports/" + icao + "/" + ChartFolders[list];
}

} // namespace

bool GetPdfPageCount(const char* pdfPath)
{
    char tool[PathSize], info[PathSize + 32];
    snprintf(tool, sizeof tool, "%s/System/Rastoq.exe", ProgramRoot);
    if (!IsProgramAvailable(tool))
        snprintf(tool, sizeof tool, "%s/System/mutool.exe", ProgramRoot);
    snprintf(info, sizeof info, "%s/pdfinfo.txt", SystemFolder);
    remove(info);
    RunProgramWithArguments(tool, {"info", pdfPath}, SystemFolder, info);
    FILE* f = OpenFile(info, "r");
    int pages = 0;
    if (f) {
        char line[512];
        while (fgets(line, sizeof line, f)) {
            const char* at = strstr(line, "Pages:");
            if (at) {
                pages = atoi(at + 6);
                break;
            }
        }
        fclose(f);
    }
    if (pages <= 0) {
        WriteLogF("%s: the page tool found no pages", pdfPath);
        return false;
    }
    Settings.PDFPages = pages;
    char text[400];
    FormatLanguageText(text, sizeof text, LanguageSection::General, 6, "%d", pages);
    SetStatus(text);
    ChartBusy = true;
    if (pages >= 2) {
        StartChartThumbnails(pdfPath);
        FirstThumbnail = 0;
        Settings.PDFPreview = 1;
    } else {
        RequestPdfPage(0);
    }
    return true;
}

bool ImportPdfChart()
{
    char path[ChartPathSize] = "", folder[PathSize];
    snprintf(folder, sizeof folder, "%s/Airports", ProgramRoot);
    static const char filter[] = "PDF file\0*.pdf\0";
    if (!OpenFileDialog("Airport", path, filter, "PDF", folder))
        return false;
    return ImportPdfChartFile(path);
}

bool ImportPdfChartFile(const char* path)
{
    char icao[IcaoSize];
    if (!IcaoOfPdf(path, icao, sizeof icao)) {
        WriteLogF("%s cannot name an airport folder", path);
        return false;
    }
    char tmp[PathSize], content[PathSize + 32];
    TmpFolder(icao, tmp, sizeof tmp);
    snprintf(content, sizeof content, "%s/content.txt", tmp);
    int known = ReadPageCount(content);
    if (known > 0) {
        Settings.PDFPages = known;
        snprintf(Settings.PDFFilename, sizeof Settings.PDFFilename, "%s", path);
        if (known >= 2) {
            ShowThumbnails();
            FirstThumbnail = 0;
            Settings.PDFPreview = 1;
            EnterChartView();
        } else {
            RequestPdfPage(0);
        }
        return true;
    }
    snprintf(Settings.PDFFilename, sizeof Settings.PDFFilename, "%s", path);
    char airports[PathSize], airport[PathSize + IcaoSize];
    snprintf(airports, sizeof airports, "%s/Airports", ProgramRoot);
    snprintf(airport, sizeof airport, "%s/%s", airports, icao);
    MakeFolder(airports);
    MakeFolder(airport);
    MakeFolder(tmp);
    Settings.AirportName[0] = 0;
    char tool[PathSize];
    snprintf(tool, sizeof tool, "%s/System/Rastoq.exe", ProgramRoot);
    bool haveTool = IsProgramAvailable(tool);
    if (!haveTool) {
        snprintf(tool, sizeof tool, "%s/System/mutool.exe", ProgramRoot);
        haveTool = IsProgramAvailable(tool);
    }
    if (haveTool)
        return GetPdfPageCount(path);
    if (!Settings.AskForPDFViewer) {
        int answer = MessageBoxA(GetMainWindow(), GetGeneralText(11), "Zorizeruverovu",
                                 MB_YESNO | MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST);
        Settings.AskForPDFViewer = answer == IDNO ? 1 : 0;
        WritePrivateProfileStringA(OptionsSection, "AskForPDFViewer", answer == IDNO ? "1" : "0", IniFilePath);
    }
    // The name is one quoted argument of the viewer.
    std::string quoted = std::string("\"") + path + "\"";
    ShellExecuteA(GetMainWindow(), "open", "AcroRd32.exe", quoted.c_str(), nullptr, SW_SHOWNORMAL);
    return false;
}

int RenderChartPage(const char* pdfPath, int page)
{
    char target[PathSize + 32];
    PagePath(GetPdfIcao(), page, Settings.PDFPages, target, sizeof target);
    if (!IsRegularFile(target)) {
        ChartBusy = true;
        SetStatus(GetGeneralText(5));
        DrawPage(pdfPath, page + 1, PageDpi, target);
        ChartBusy = false;
        SetStatus("");
    }
    return Settings.PDFPages;
}

bool ShowPdfChartPage(int page)
{
    if (!Settings.PDFFilename[0]) {
        SetSoftkeyLevel(ChartMenuNoPdfLevel, 0);
        return false;
    }
    if (page < 0 || (Settings.PDFPages > 0 && page >= Settings.PDFPages))
        return false;
    RenderChartPage(Settings.PDFFilename, page);
    CurrentPage = page;
    char image[PathSize + 32];
    PagePath(GetPdfIcao(), page, Settings.PDFPages, image, sizeof image);
    if (!LoadChartImage(image, static_cast<int>(sizeof image)))
        return false;
    OpenChartGeoref(image);
    FitChartToScreen();
    Settings.AirportChart = 1;
    Settings.AirportChartRotate = 0.0f;
    Settings.PDFPreview = 0;
    if (Settings.PDFPages < 2) {
        Settings.PDFFrameState = Settings.ShowFrame;
        SetShowFrameOff();
    }
    SetSoftkeyLevel(ChartMenuLevel, 0);
    return true;
}

void RequestPdfPage(int page)
{
    PendingPage = page < 0 ? 0 : page;
}

bool TakePdfPageRequest(int* page)
{
    int pending = PendingPage.exchange(-1);
    if (pending < 0)
        return false;
    *page = pending;
    return true;
}

void FinishChartConversion()
{
    if (!ConversionDone.exchange(false))
        return;
    ShowThumbnails();
    EnterChartView();
}

const char* GetPdfIcao()
{
    if (!IcaoOfPdf(Settings.PDFFilename, PdfIcao, sizeof PdfIcao))
        PdfIcao[0] = 0;
    return PdfIcao;
}

int GetCurrentPdfPage()
{
    return CurrentPage;
}

bool IsChartBusy()
{
    return ChartBusy;
}

void SetChartBusy(bool busy)
{
    ChartBusy = busy;
}

void GetChartStatusText(char* out, size_t size)
{
    std::lock_guard<std::mutex> hold(StatusLock);
    snprintf(out, size, "%s", StatusText);
}

void RunAndWait(const char* program, const char* parameters, const char* folder, int show)
{
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = program;
    info.lpParameters = parameters;
    info.lpDirectory = folder;
    info.nShow = show;
    if (!ShellExecuteExA(&info) || !info.hProcess)
        return;
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
}

bool OpenPngChart()
{
    char path[ChartPathSize] = "", folder[PathSize];
    snprintf(folder, sizeof folder, "%s/Airports", ProgramRoot);
    static const char filter[] = "Airport file\0*.png\0";
    if (!OpenFileDialog("Airport", path, filter, "PNG", folder))
        return false;
    if (!LoadChartImage(path, static_cast<int>(sizeof path)))
        return false;
    // A chart with its georeference can be laid over the map ("OVERLAY"),
    // where the aircraft is shown on it.
    Settings.ReferencedAirportMap = OpenChartGeoref(path) ? 1 : 0;
    FitChartToScreen();
    Settings.AirportChart = 1;
    Settings.AirportChartRotate = 0.0f;
    SetMouseButtonHeld(false);
    return true;
}

void ReleaseThumbnails()
{
    for (SpriteSlot& slot : Thumbnails)
        ReleaseSpriteSlot(&slot);
}

void ShowThumbnails()
{
    ReleaseThumbnails();
    ThumbnailView = true;
}

void HideThumbnails()
{
    ReleaseThumbnails();
    ThumbnailView = false;
}

void ResetThumbnailPage()
{
    FirstThumbnail = 0;
}

bool IsThumbnailView()
{
    return ThumbnailView;
}

int GetFirstThumbnail()
{
    return FirstThumbnail;
}

void SetThumbnailGrid(int cellWidth, int cellHeight, int columns, int screenful, int width, int height)
{
    CellWidth = cellWidth;
    CellHeight = cellHeight;
    GridColumns = columns;
    Screenful = screenful;
    GridWidth = width;
    GridHeight = height;
}

void DrawThumbnails(int width, int height, int centreX, int centreY)
{
    if (!ThumbnailView)
        return;
    int cellW = 0, cellH = 0;
    for (const SpriteSlot& s : Thumbnails) {
        if (s.loaded) {
            cellW = std::max(cellW, s.width);
            cellH = std::max(cellH, s.height);
        }
    }
    if (cellW <= 0 || cellH <= 0) {
        cellW = DefaultCellWidth;
        cellH = DefaultCellHeight;
    }
    int rows = (height - 30) / cellH, columns = width / cellW;
    float left = static_cast<float>(centreX - width / 2), top = static_cast<float>(centreY - height / 2);
    char tmp[PathSize];
    TmpFolder(GetPdfIcao(), tmp, sizeof tmp);
    int drawn = 0;
    for (int r = 0; r < rows && drawn < ThumbnailSlots; r++) {
        for (int c = 0; c < columns && drawn < ThumbnailSlots; c++) {
            if (FirstThumbnail + drawn >= Settings.PDFPages)
                break;
            SpriteSlot& slot = Thumbnails[drawn];
            if (!slot.loaded) {
                char path[PathSize + 32];
                snprintf(path, sizeof path, "%s/pre_%d.png", tmp, FirstThumbnail + drawn + 1);
                LoadPictureIntoSlot(&slot, path);
            }
            DrawTextureScaled(&slot, left + c * cellW, top + r * cellH, 0xFFFFFFFFu, 0.0f, 1.0f,
                              QuadPlacement::MapPixels);
            drawn++;
        }
    }
    SetThumbnailGrid(cellW, cellH, columns, drawn, width, height);
}

int ThumbnailAtPoint(int x, int y)
{
    if (x < 0 || y < 0 || x > GridWidth || y > GridHeight - 30 || CellWidth <= 0 || CellHeight <= 0 ||
        GridColumns <= 0)
        return -1;
    int column = x / CellWidth;
    if (column >= GridColumns)
        return -1;
    int page = GridColumns * (y / CellHeight) + column + FirstThumbnail;
    return page < Settings.PDFPages ? page : -1;
}

void NextThumbnailPage()
{
    int pages = Settings.PDFPages;
    if (FirstThumbnail + Screenful > pages - Screenful)
        FirstThumbnail = pages - Screenful - 1;
    else
        FirstThumbnail += Screenful;
    if (FirstThumbnail < 0)
        FirstThumbnail = 0;
    ReleaseThumbnails();
}

void PrevThumbnailPage()
{
    if (FirstThumbnail - Screenful >= Screenful)
        FirstThumbnail -= Screenful;
    else
        FirstThumbnail = 0;
    ReleaseThumbnails();
}

bool LoadChartGeoref(const char* path, ChartGeoref* out)
{
    ChartGeoref g{};
    if (!ReadGeorefKey(path, "Longitude1", &g.lon1, &g.p1) || !ReadGeorefKey(path, "Longitude2", &g.lon2, &g.p2) ||
        !ReadGeorefKey(path, "latitude1", &g.lat1, &g.q1) || !ReadGeorefKey(path, "latitude2", &g.lat2, &g.q2))
        return false;
    if (g.lon1 > g.lon2) {
        std::swap(g.lon1, g.lon2);
        std::swap(g.p1, g.p2);
    }
    if (g.lat1 < g.lat2) {
        std::swap(g.lat1, g.lat2);
        std::swap(g.q1, g.q2);
    }
    // Two points of an axis on one pixel give no scale at all.
    if (g.p1 == g.p2 || g.q1 == g.q2 || g.lon1 == g.lon2 || g.lat1 == g.lat2) {
        WriteLogF("georeference %s has no extent", path);
        return false;
    }
    float sx = static_cast<float>((g.lon2 - g.lon1) / (g.p2 - g.p1));
    float sy = static_cast<float>((g.lat1 - g.lat2) / (g.q2 - g.q1));
    float P = static_cast<float>(g.p1 + g.p2), Q = static_cast<float>(g.q1 + g.q2);
    float lon1 = static_cast<float>(g.lon1) - (2 * P + g.p1) * sx;
    float lon2 = static_cast<float>(g.lon2) + (3 * P - g.p2) * sx;
    float lat1 = static_cast<float>(g.lat1) + (2 * Q + g.q1) * sy;
    float lat2 = static_cast<float>(g.lat2) - (3 * Q - g.q2) * sy;
    g.lon1 = lon1;
    g.lon2 = lon2;
    g.lat1 = lat1;
    g.lat2 = lat2;
    g.p1 = static_cast<int32_t>(-2 * P);
    g.p2 = static_cast<int32_t>(3 * P);
    g.q1 = static_cast<int32_t>(-2 * Q);
    g.q2 = static_cast<int32_t>(3 * Q);
    *out = g;
    return true;
}

bool OpenChartGeoref(const char* imagePath)
{
    char path[PathSize + 32];
    GeorefPathOf(imagePath, path, sizeof path);
    if (!FileExists(path)) {
        ShownHasGeoref = false;
        return false;
    }
    ShownHasGeoref = LoadChartGeoref(path, &ShownGeoref);
    return true;
}

bool GetChartGeoref(ChartGeoref* out)
{
    if (ShownHasGeoref)
        *out = ShownGeoref;
    return ShownHasGeoref;
}

void GetChartGeorefBounds(float* lon1, float* lat1, float* lon2, float* lat2)
{
    *lon1 = static_cast<float>(ShownGeoref.lon1);
    *lat1 = static_cast<float>(ShownGeoref.lat1);
    *lon2 = static_cast<float>(ShownGeoref.lon2);
    *lat2 = static_cast<float>(ShownGeoref.lat2);
}

bool SaveChartGeorefTo(const char* path, const float edges[4], double lon1, double lat1, double lon2, double lat2)
{
    char value[64];
    bool ok = true;
    snprintf(value, sizeof value, "%f %d", lon1, static_cast<int>(std::lround(edges[0])));
    ok = WritePrivateProfileStringA(GeoreferenceSection, "Longitude1", value, path) && ok;
    snprintf(value, sizeof value, "%f %d", lon2, static_cast<int>(std::lround(edges[2])));
    ok = WritePrivateProfileStringA(GeoreferenceSection, "Longitude2", value, path) && ok;
    snprintf(value, sizeof value, "%f %d", lat1, static_cast<int>(std::lround(edges[1])));
    ok = WritePrivateProfileStringA(GeoreferenceSection, "Latitude1", value, path) && ok;
    snprintf(value, sizeof value, "%f %d", lat2, static_cast<int>(std::lround(edges[3])));
    ok = WritePrivateProfileStringA(GeoreferenceSection, "Latitude2", value, path) && ok;
    return ok;
}

void SaveChartGeoref(const float edges[4], double lon1, double lat1, double lon2, double lat2)
{
    if (!Settings.AirportName[0])
        return;
    char path[PathSize + 32];
    GeorefPathOf(Settings.AirportName, path, sizeof path);
    if (!SaveChartGeorefTo(path, edges, lon1, lat1, lon2, lat2))
        WriteLogF("georeference %s could not be written", path);
    OpenChartGeoref(Settings.AirportName);
}

namespace {

// Under IndexLock: the records the file holds, as many as its count names
// but never more than its size holds: a count that lies (two million over
// three records) costs none of the airports that are there. False when
// the file is there but cannot be read whole: no count, a count below one
// before records, more records than the table takes, a failed read.
bool ReadIndexFile(const char* path)
{
    char resolved[PathSize + 32];
    if (!ResolvePath(path, resolved, sizeof resolved))
        return true;  // no index yet
    FILE* f = fopen(resolved, "rb");
    struct stat st;
    if (!f || fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (f)
            fclose(f);
        WriteLogF("%s cannot be read", path);
        return false;
    }
    int32_t n = 0;
    if (st.st_size == 0 || fread(&n, 4, 1, f) != 1) {
        fclose(f);
        if (st.st_size == 0)
            return true;
        WriteLogF("%s holds no count", path);
        return false;
    }
    long long held = (static_cast<long long>(st.st_size) - 4) / static_cast<long long>(sizeof(AirportIndexRecord));
    if (n < 1) {
        // No airports by its count; records after such a count are no
        // table this program knows how to read.
        fclose(f);
        if (held == 0)
            return true;
        WriteLogF("%s counts %d airports before %lld records", path, static_cast<int>(n), held);
        return false;
    }
    long long wanted = std::min<long long>(n, held);
    long long taken = std::min<long long>(wanted, MaxIndexRecords);
    if (wanted != n)
        WriteLogF("%s names %d airports and holds %lld", path, static_cast<int>(n), held);
    std::vector<AirportIndexRecord> records(static_cast<size_t>(taken));
    size_t got = records.empty() ? 0 : fread(records.data(), sizeof(AirportIndexRecord), records.size(), f);
    fclose(f);
    for (size_t i = 0; i < got; i++) {
        AirportIndexRecord& r = records[i];
        r.icao[sizeof r.icao - 1] = 0;
        // A file that counts its table's room holds empty records past its
        // airports: they are no airports.
        if (r.icao[0] != 0)
            Index.push_back(r);
    }
    IndexCapacity = std::max(static_cast<int>(got), IndexStartCapacity);
    if (static_cast<long long>(got) < wanted) {
        WriteLogF("%s: %zu of its %lld records read, the file is kept as it is", path, got, wanted);
        return false;
    }
    return true;
}

}  // namespace

bool LoadAirportIndex()
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    if (IndexLoaded)
        return true;
    Index.clear();
    IndexCapacity = IndexStartCapacity;
    char path[PathSize + 32];
    snprintf(path, sizeof path, "%s/Airports/Airport.idx", DataFolder);
    IndexFileKept = !ReadIndexFile(path);
    IndexLoaded = true;
    return true;
}

void SaveAirportIndex()
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    if (!IndexLoaded)
        return;
    char airports[PathSize], path[PathSize + 32];
    snprintf(airports, sizeof airports, "%s/Airports", DataFolder);
    snprintf(path, sizeof path, "%s/Airport.idx", airports);
    if (IndexFileKept) {
        WriteLogF("%s is left as it was", path);
    } else if (IsDirectory(airports)) {
        // The airports in use only: slots beyond them hold nothing.
        std::string bytes(4, '\0');
        int32_t n = static_cast<int32_t>(Index.size());
        memcpy(bytes.data(), &n, 4);
        bytes.append(reinterpret_cast<const char*>(Index.data()), Index.size() * sizeof(AirportIndexRecord));
        char resolved[PathSize + 32];
        ResolvePath(path, resolved, sizeof resolved);
        if (!ReplaceFileContents(resolved, bytes.data(), bytes.size()))
            WriteLogF("%s could not be written", path);
    }
    Index.clear();
    IndexCapacity = 0;
    IndexLoaded = false;
    IndexFileKept = false;
    SelectedAirport = -1;
}

bool GrowAirportIndex()
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    IndexCapacity += IndexGrowth;
    Index.reserve(static_cast<size_t>(IndexCapacity));
    return true;
}

void BuildAirportIndex()
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    if (IndexLoaded)
        return;
    memset(ListCounts, 0, sizeof ListCounts);
    ListBits = 0;
    ListedIcao[0] = 0;
    while (IsCacheCleanupRunning())
        Sleep(1);
    // The file holds airports of other programs too (the chart downloader
    // writes some without an Info folder): start from it, add ours.
    LoadAirportIndex();
    char airports[PathSize], resolved[PathSize];
    snprintf(airports, sizeof airports, "%s/Airports", DataFolder);
    ResolvePath(airports, resolved, sizeof resolved);
    DIR* dir = opendir(resolved);
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        const char* apt = entry->d_name;
        if (strcmp(apt, ".") == 0 || strcmp(apt, "..") == 0 || strlen(apt) >= sizeof AirportIndexRecord{}.icao)
            continue;
        char georef[PathSize * 2];
        snprintf(georef, sizeof georef, "%s/%s/Info/%s.txt", airports, apt, apt);
        ChartGeoref g;
        if (!LoadChartGeoref(georef, &g))
            continue;
        AddIndexedAirport(apt, g);
    }
    closedir(dir);
}

int GetAirportIndexCount()
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    return static_cast<int>(Index.size());
}

bool GetAirportIndexRecord(int index, AirportIndexRecord* out)
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    if (index < 0 || index >= static_cast<int>(Index.size()))
        return false;
    *out = Index[static_cast<size_t>(index)];
    return true;
}

void SelectAirportAtPosition(double latitude, double longitude)
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    SelectedAirport = -1;
    MapCatalogueRecord map;
    bool catalogueMap = GetCatalogueRecord(GetSelectedCatalogueIndex(), &map);
    for (size_t i = 0; i < Index.size(); i++) {
        const AirportIndexRecord& r = Index[i];
        bool take = Holds(r, latitude, longitude);
        if (catalogueMap && !take) {
            bool lonEdge = (map.lon_min < r.west && r.west < map.lon_max) || (map.lon_min < r.east && r.east < map.lon_max);
            bool latEdge = (map.lat_min < r.south && r.south < map.lat_max) ||
                           (map.lat_min < r.north && r.north < map.lat_max);
            take = lonEdge && latEdge;
        }
        if (take) {
            SelectedAirport = static_cast<int>(i);
            return;
        }
    }
}

const char* GetSelectedChartAirport()
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    static thread_local char icao[8];
    icao[0] = 0;
    if (SelectedAirport >= 0 && SelectedAirport < static_cast<int>(Index.size()))
        snprintf(icao, sizeof icao, "%s", Index[static_cast<size_t>(SelectedAirport)].icao);
    return icao;
}

int FindNearestChartedAirport()
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    ListCounts[3] = 0;
    double lat = MapCenter.latitude.load(), lon = MapCenter.longitude.load();
    int best = -1;
    double bestDistance = 0;
    for (size_t i = 0; i < Index.size(); i++) {
        const AirportIndexRecord& r = Index[i];
        double d = std::hypot((r.west + r.east) / 2.0 - lon, (r.north + r.south) / 2.0 - lat);
        if (best < 0 || d < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = d;
        }
    }
    if (best < 0)
        return 0;
    const AirportIndexRecord& r = Index[static_cast<size_t>(best)];
    ChartEntry& e = Lists[3][0];
    snprintf(e.name, sizeof e.name, "%s", r.icao);
    e.west = r.west;
    e.north = r.north;
    e.east = r.east;
    e.south = r.south;
    ListCounts[3] = 1;
    return 1;
}

bool ScanChartFolder(const char* folder, ChartEntry* list, int* count)
{
    *count = 0;
    while (IsCacheCleanupRunning())
        Sleep(1);
    char resolved[PathSize * 2];
    ResolvePath(folder, resolved, sizeof resolved);
    DIR* dir = opendir(resolved);
    if (!dir)
        return false;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        size_t n = strlen(entry->d_name);
        if (n > 4 && strcasecmp(entry->d_name + n - 4, ".txt") == 0)
            names.emplace_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        char path[PathSize * 3];
        snprintf(path, sizeof path, "%s/%s", resolved, name.c_str());
        ChartGeoref g;
        if (!LoadChartGeoref(path, &g))
            continue;
        // Later charts take the last place once the list is full.
        int slot = *count < ChartsCounted ? *count : ChartsCounted - 1;
        ChartEntry& e = list[slot];
        snprintf(e.name, sizeof e.name, "%.*s", static_cast<int>(name.size() - 4), name.c_str());
        e.west = static_cast<float>(g.lon1);
        e.north = static_cast<float>(g.lat1);
        e.east = static_cast<float>(g.lon2);
        e.south = static_cast<float>(g.lat2);
        if (*count < ChartsCounted)
            (*count)++;
    }
    return true;
}

bool ListAirportCharts()
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    const char* icao = GetSelectedChartAirport();
    if (!icao[0])
        return false;
    if (ListCounts[0] > 0 && strcmp(ListedIcao, icao) == 0) {
        Settings.AirportChartMenu = ListBits;
        return ListBits != 0;
    }
    snprintf(ListedIcao, sizeof ListedIcao, "%s", icao);
    memset(ListCounts, 0, sizeof ListCounts);
    ListBits = 0;
    for (int k = 0; k < 3; k++) {
        ScanChartFolder(ChartFolderPath(ListedIcao, k).c_str(), Lists[k], &ListCounts[k]);
        if (ListCounts[k] > 0)
            ListBits |= 1 << k;
    }
    FindNearestChartedAirport();
    Settings.AirportChartMenu = ListBits;
    return ListBits != 0;
}

bool GetSingleChartPath(char* path, int kind, int chartMenu)
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    (void)chartMenu;
    int list = ListIndexOfKind(kind);
    if (list < 0 || ListCounts[list] == 0 || !ListedIcao[0])
        return false;
    if (ListCounts[list] == 1) {
        return CopyChartPath(path, ChartFolderPath(ListedIcao, list) + "/" + Lists[list][0].name + ".png");
    }
    Settings.AirportChartMenu |= 1 << list;
    return false;
}

bool GetAirportDiagramPath(char* path, int chartMenu)
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    (void)chartMenu;
    const char* icao = GetSelectedChartAirport();
    if (!icao[0])
        return false;
    if (ListCounts[3] == 1) {
        std::string nearest = Lists[3][0].name;
        std::string diagram = std::string(DataFolder) + "/Airports/" + nearest + "/Info/" + nearest + ".png";
        return CopyChartPath(path, diagram);
    }
    Settings.AirportChartMenu |= ChartsNearest;
    return false;
}

int ChartCount(int bits)
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    int list;
    return ChartListOf(bits, &list) ? ListCounts[list] : 0;
}

const char* ChartName(int bits, int index)
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    int list;
    if (!ChartListOf(bits, &list) || index < 0 || index >= ChartListSize || index >= ListCounts[list])
        return "";
    return Lists[list][index].name;
}

int WriteChartListRequest(int chartMenu, HWND window)
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    int count = ChartCount(chartMenu);
    if (count <= 0)
        return 0;
    RECT r{};
    GetWindowRect(window, &r);
    std::string text = "Select Airport Chart\n";
    text += std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2) + "\n";
    for (int i = 0; i < count; i++)
        text += std::string(ChartName(chartMenu, i)) + "\n";
    char path[PathSize + 32];
    snprintf(path, sizeof path, "%s/lbaptchart.txt", SystemFolder);
    if (!WriteWholeText(path, text.c_str())) {
        WriteLogF("%s could not be written", path);
        return 0;
    }
    return count;
}

bool BuildChartPath(char* path, int chartMenu, const char* name)
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    int list;
    if (!name || !name[0] || !ChartListOf(chartMenu & 7, &list) || !ListedIcao[0])
        return false;
    // The name comes back from the list helper: only a chart of the list.
    for (int i = 0; i < ListCounts[list]; i++) {
        if (strcmp(Lists[list][i].name, name) == 0) {
            return CopyChartPath(path, ChartFolderPath(ListedIcao, list) + "/" + name + ".png");
        }
    }
    WriteLogF("chart %s is not in the list", name);
    return false;
}

void ReloadChartList()
{
    std::lock_guard<std::recursive_mutex> hold(IndexLock);
    SaveAirportIndex();
    memset(ListCounts, 0, sizeof ListCounts);
    ListBits = 0;
    ListedIcao[0] = 0;
}

void ShowFileNotFound(const char* path)
{
    if (FileNotFoundShown.exchange(true))
        return;
    char text[700];
    snprintf(text, sizeof text, "File: %s not found!", path ? path : "");
    MessageBoxA(GetMainWindow(), text, "Zorizeruverovu", MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST);
}

void ResetAirportCharts()
{
    {
        std::lock_guard<std::recursive_mutex> hold(IndexLock);
        Index.clear();
        IndexLoaded = false;
        IndexCapacity = 0;
        SelectedAirport = -1;
        memset(ListCounts, 0, sizeof ListCounts);
        ListBits = 0;
        ListedIcao[0] = 0;
    }
    FileNotFoundShown = false;
}
