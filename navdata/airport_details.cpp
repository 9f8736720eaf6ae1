// The airport-detail loader: the archive chain of the source, the rows of an
// airport's entry, its frequencies and its taxiway names. Every count read
// from a row bounds only what is kept; the lines it announces are consumed
// even when they are dropped, so they are never mistaken for rows.
#include "navdata/airport_details.h"

#include "app/click_zones.h"
#include "app/language.h"
#include "platform/log.h"
#include "app/settings.h"
#include "display/airport_view.h"
#include "navdata/nav_source.h"
#include "navdata/nearest_airports.h"
#include "navdata/text_lines.h"
#include "navdata/zip_entry.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "maps/airport_charts.h"
#include "platform/units.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static constexpr size_t EntryLineMax = 210;
static constexpr int PathSize = 512;

// GUI thread only.
static AirportDetail detail;
static bool detailLoaded = false;
static bool detailsReady = false;
// A message box shown from here is not shown again while it is open.
static std::atomic<bool> messageOpen{false};

const AirportDetail& GetAirportDetail()
{
    return detail;
}

bool IsAirportDetailLoaded() { return detailLoaded; }
bool AreAirportDetailsReady() { return detailsReady; }
void ClearAirportDetailLoaded() { detailLoaded = false; }
int32_t GetParkingCount() { return static_cast<int32_t>(detail.parking.size()); }

void FreeAirportDetails()
{
    std::vector<PavementPolygon>().swap(detail.pavements);
    std::vector<TaxiNameRecord>().swap(detail.taxiNames);
    detail.runways.clear();
    detail.helipads.clear();
    detailsReady = false;
}

static void ResetDetail()
{
    FreeAirportDetails();
    detail.linearFeatures.clear();
    detail.features140.clear();
    detail.boundary.clear();
    detail.parking.clear();
    detail.coms.clear();
    std::memset(detail.comTypeCounts, 0, sizeof(detail.comTypeCounts));
    detail.comTypeCountMax = 0;
    detail.comRowCount = 0;
    detail.longestRunway = 0.0;
    detail.header = AirportHeader{};
    detailLoaded = false;
}

// ---- Surface classes ----

static const int GeneralSurfaceClasses[20] = {0, 1, 1, 1, 2, 1, 1, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 1, 1, 2};
static const int MsfsSurfaceClasses[25] = {2, 1, 2, 4, 2, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 2, 2, 2, 1};
static const int XPlaneSurfaceClasses[16] = {2, 1, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 1, 2, 2, 1};

template <size_t N>
static int ClassAt(const int (&table)[N], long long index)
{
    return (index >= 0 && index < static_cast<long long>(N)) ? table[index] : 0;
}

static bool IsXPlaneData()
{
    return Settings.NavDatabase == 1 || Settings.NavDatabase == 5;
}

int GetRunwaySurfaceClass(int code)
{
    long long index = static_cast<long long>(code) + 1;
    return IsXPlaneData() ? ClassAt(XPlaneSurfaceClasses, index) : ClassAt(GeneralSurfaceClasses, index);
}

int GetAirportSurfaceClass(uint32_t code)
{
    if (IsXPlaneData())
        return ClassAt(XPlaneSurfaceClasses, code);
    if (Settings.NavDatabase == 6)
        return ClassAt(MsfsSurfaceClasses, code);
    return ClassAt(GeneralSurfaceClasses, code);
}

int GetSurfaceClassOfSource(int navDatabase, uint32_t code)
{
    if (navDatabase == 1 || navDatabase == 5)
        return ClassAt(XPlaneSurfaceClasses, code);
    if (navDatabase == 6 || navDatabase == 7)
        return ClassAt(MsfsSurfaceClasses, code);
    return ClassAt(GeneralSurfaceClasses, code);
}

// ---- Archive and file choice ----

struct ArchiveChain {
    NavSource source;
    // Up to three archives: a source folder, with or without "Default".
    struct {
        NavSource folder;
        bool inDefault;
    } archives[3];
    int count;
};

static const ArchiveChain ArchiveChains[] = {
    {NavSourceXPL, {{NavSourceXPL, true}, {NavSourceFG, false}, {NavSourceFG, true}}, 3},
    {NavSourceFG, {{NavSourceFG, true}, {NavSourceXPL, true}, {NavSourceFSX, true}}, 3},
    {NavSourceP3D, {{NavSourceP3D, true}, {NavSourceFSX, true}}, 2},
    {NavSourceMSFS, {{NavSourceMSFS, true}, {NavSourceP3D, true}}, 2},
    {NavSourceAFS2, {{NavSourceAFS2, true}, {NavSourceMSFS, true}}, 2},
    {NavSourceFSX, {{NavSourceFSX, true}, {NavSourceXPL, true}}, 2},
    {NavSourceFS9, {{NavSourceFS9, true}, {NavSourceFSX, true}}, 2},
};

// An ICAO that can name an archive and an entry: letters and digits only.
static bool IsUsableIcao(const char* icao)
{
    size_t length = std::strlen(icao);
    if (length == 0 || length > 9)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (!std::isalnum(static_cast<unsigned char>(icao[i])))
            return false;
    return true;
}

// Loads icao's entry into the shared zip buffer from the first archive of
// the source's chain that has it.
static bool LoadAirportEntry(const char* icao)
{
    if (!IsUsableIcao(icao))
        return false;
    const ArchiveChain* chain = nullptr;
    for (const ArchiveChain& c : ArchiveChains) {
        if (IsNavSourceSelected(c.source)) {
            chain = &c;
            break;
        }
    }
    if (chain == nullptr)
        return false;  // OpenAIP has no archives
    char name[32];
    std::snprintf(name, sizeof(name), "%c/%s.txt", icao[0], icao);
    for (int i = 0; i < chain->count; ++i) {
        char path[PathSize];
        FormatText(path, sizeof(path), "%s/Navdata/%s/%s%c.zip", DataFolder,
                      NavSourceFolder(chain->archives[i].folder), chain->archives[i].inDefault ? "Default/" : "",
                      icao[0]);
        if (LoadZipEntry(path, name))
            return true;
    }
    return false;
}

// ---- Rows ----

static int RowCode(const char* line)
{
    char code[5];
    CopyText(code, sizeof(code), line);
    return std::atoi(code);
}

static bool IsHeaderCode(int code)
{
    return code == 1 || code == 16 || code == 17;
}

// Reads the next `count` lines as "lat lon" points, keeping at most keep of
// them in points; false when the entry ended first.
static bool ReadPointLines(long long count, std::vector<GeoPoint>* points, size_t keep)
{
    char line[EntryLineMax + 1];
    for (long long i = 0; i < count; ++i) {
        if (!ReadZipEntryLine(line, EntryLineMax))
            return false;
        GeoPoint p{0.0, 0.0};
        if (std::sscanf(line, "%lf %lf", &p.lat, &p.lon) == 2 && points != nullptr && points->size() < keep)
            points->push_back(p);
    }
    return true;
}

static void SkipPointLines(long long count)
{
    ReadPointLines(count, nullptr, 0);
}

// The blank-separated words of a row. A field is read from its own word
// only, so a word longer than its field is cut and never runs into the next.
struct RowWords {
    static constexpr int Max = 32;
    const char* start[Max];
    int length[Max];
    int count;
};

static void SplitWords(const char* line, RowWords* words)
{
    words->count = 0;
    const char* p = line;
    while (words->count < RowWords::Max) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
            ++p;
        if (*p == '\0')
            break;
        const char* start = p;
        while (*p && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
            ++p;
        words->start[words->count] = start;
        words->length[words->count] = static_cast<int>(p - start);
        ++words->count;
    }
}

static int WordInt(const RowWords& w, int i)
{
    return i < w.count ? std::atoi(w.start[i]) : 0;
}

static double WordDouble(const RowWords& w, int i)
{
    return i < w.count ? std::strtod(w.start[i], nullptr) : 0.0;
}

static uint32_t WordHex(const RowWords& w, int i)
{
    return i < w.count ? static_cast<uint32_t>(std::strtoul(w.start[i], nullptr, 16)) : 0;
}

static void WordText(const RowWords& w, int i, char* out, size_t size)
{
    out[0] = '\0';
    if (i >= w.count)
        return;
    size_t n = std::min(static_cast<size_t>(w.length[i]), size - 1);
    std::memcpy(out, w.start[i], n);
    out[n] = '\0';
}

// The text from word i to the end of the line (a name with blanks).
static void TextFromWord(const RowWords& w, int i, char* out, size_t size)
{
    out[0] = '\0';
    if (i < w.count) {
        CopyText(out, size, w.start[i]);
        StripLineEnd(out);
    }
}

static GeoPoint WordPoint(const RowWords& w, int i)
{
    return {WordDouble(w, i), WordDouble(w, i + 1)};
}

static bool ParseHeader(const char* line, AirportHeader* header)
{
    RowWords w;
    SplitWords(line, &w);
    if (w.count < 3)
        return false;
    AirportHeader h{};
    h.rowCode = WordInt(w, 0);
    h.elevation = WordInt(w, 1);
    WordText(w, 2, h.icao, sizeof(h.icao));
    h.magVar = WordDouble(w, 3);
    h.lat = WordDouble(w, 4);
    h.lon = WordDouble(w, 5);
    for (int k = 0; k < 4; ++k) {
        WordText(w, 6 + k, h.names[k], sizeof(h.names[k]));
        UnderscoresToBlanks(h.names[k]);
    }
    *header = h;
    return true;
}

static void ParseRunway(const char* line)
{
    RowWords w;
    SplitWords(line, &w);
    if (w.count < 4)
        return;
    RunwayRecord r{};
    r.rowCode = WordInt(w, 0);
    r.length = WordDouble(w, 1);
    r.width = WordDouble(w, 2);
    r.surface = WordInt(w, 3);
    WordText(w, 4, r.ilsIdent1, sizeof(r.ilsIdent1));
    r.ilsFrequency1 = WordDouble(w, 5);
    for (int k = 0; k < 6; ++k)
        r.points[k] = WordPoint(w, 6 + 2 * k);
    WordText(w, 18, r.designator1, sizeof(r.designator1));
    r.heading1 = WordDouble(w, 19);
    r.ilsFrequency2 = WordDouble(w, 20);
    WordText(w, 21, r.designator2, sizeof(r.designator2));
    r.heading2 = WordDouble(w, 22);
    WordText(w, 23, r.ilsIdent2, sizeof(r.ilsIdent2));
    detail.longestRunway = std::max(detail.longestRunway, r.length);
    if (detail.runways.size() < MaxRunways)
        detail.runways.push_back(r);
}

static void ParseHelipad(const char* line)
{
    RowWords w;
    SplitWords(line, &w);
    if (w.count < 3 || detail.helipads.size() >= MaxHelipads)
        return;
    RunwayRecord r{};
    r.rowCode = WordInt(w, 0);
    r.length = WordDouble(w, 1);
    r.surface = WordInt(w, 2);
    WordText(w, 3, r.designator1, sizeof(r.designator1));
    r.heading1 = WordDouble(w, 4);
    for (int k = 0; k < 4; ++k)
        r.points[k] = WordPoint(w, 5 + 2 * k);
    detail.helipads.push_back(r);
}

static void ParsePavement(const char* line)
{
    RowWords w;
    SplitWords(line, &w);
    PavementPolygon poly{};
    poly.rowCode = WordInt(w, 0);
    poly.kind = WordInt(w, 1);
    int count = WordInt(w, 2);
    if (w.count < 3 || count < 0)
        return;
    if (detail.pavements.size() >= MaxPavements) {
        SkipPointLines(count);
        return;
    }
    poly.value4 = WordInt(w, 3);
    poly.valueA = WordDouble(w, 4);
    poly.valueB = WordDouble(w, 5);
    if (poly.kind < 1) {
        poly.colour = WordHex(w, 6);
        WordText(w, 7, poly.name, sizeof(poly.name));
    } else {
        poly.value3 = WordDouble(w, 6);
        TextFromWord(w, 7, poly.name, sizeof(poly.name));
    }
    ReadPointLines(count, &poly.points, static_cast<size_t>(count));
    poly.pointCount = static_cast<int32_t>(poly.points.size());
    detail.pavements.push_back(std::move(poly));
}

static void ParseLinearFeature(const char* line, int code)
{
    RowWords w;
    SplitWords(line, &w);
    LinearFeature f{};
    f.rowCode = code;
    int count;
    if (code == 130) {
        f.value2 = WordInt(w, 1);
        count = WordInt(w, 2);
        f.value4 = WordInt(w, 3);
        f.valueA = WordDouble(w, 4);
        f.valueB = WordDouble(w, 5);
        f.colour = WordHex(w, 6);
        TextFromWord(w, 7, f.name, sizeof(f.name));
    } else {
        count = WordInt(w, 1);
        TextFromWord(w, 2, f.name, sizeof(f.name));
    }
    if (count < 0)
        return;
    if (detail.linearFeatures.size() >= MaxLinearFeatures) {
        SkipPointLines(count);
        return;
    }
    ReadPointLines(count, &f.points, static_cast<size_t>(count));
    f.pointCount = static_cast<int32_t>(f.points.size());
    detail.linearFeatures.push_back(std::move(f));
}

// Rows "<code> <count>" followed by count point lines.
static int AnnouncedCount(const char* line)
{
    RowWords w;
    SplitWords(line, &w);
    return w.count >= 2 ? WordInt(w, 1) : -1;
}

static void ParseFeature140(const char* line)
{
    int count = AnnouncedCount(line);
    if (count < 0)
        return;
    if (detail.features140.size() >= MaxFeatures140) {
        SkipPointLines(count);
        return;
    }
    std::vector<GeoPoint> points;
    ReadPointLines(count, &points, Feature140Points);
    Feature140 f{};
    f.rowCode = 140;
    f.pointCount = static_cast<int32_t>(points.size());
    std::copy(points.begin(), points.end(), f.points);
    detail.features140.push_back(f);
}

static void ParseBoundary(const char* line)
{
    int count = AnnouncedCount(line);
    if (count >= 0)
        ReadPointLines(count, &detail.boundary, MaxBoundaryPoints);
}

// The stand chosen belongs to the airport selected by name, which sets it
// anew when chosen; other airports' details (the nearest, a plan's
// destination read for the terrain warning) once took it away every second.
static bool KeepsChosenStand()
{
    const char* selected = Settings.SelectedAirport;
    return selected[0] != '\0' && std::strcmp(selected, "NEAREST") != 0;
}

static void ParseParking(const char* line)
{
    int count = AnnouncedCount(line);
    if (count < 0)
        return;
    if (!KeepsChosenStand())
        ClearParkPosition();
    char text[EntryLineMax + 1];
    for (int i = 0; i < count; ++i) {
        if (!ReadZipEntryLine(text, EntryLineMax))
            return;
        RowWords w;
        SplitWords(text, &w);
        if (w.count < 2 || detail.parking.size() >= MaxParking)
            continue;
        ParkingRecord p{};
        p.lat = WordDouble(w, 0);
        p.lon = WordDouble(w, 1);
        p.heading = WordDouble(w, 2);
        p.size = WordDouble(w, 3);
        p.colour = WordHex(w, 4);
        p.number = WordInt(w, 5);
        WordText(w, 6, p.name, sizeof(p.name));
        UnderscoresToBlanks(p.name);
        detail.parking.push_back(p);
    }
}

// Reads the airport's rows after its header, up to the next airport.
static void ReadAirportRows()
{
    char line[EntryLineMax + 1];
    while (ReadZipEntryLine(line, EntryLineMax)) {
        int code = RowCode(line);
        if (IsHeaderCode(code))
            break;
        switch (code) {
        case 100:
        case 101: ParseRunway(line); break;
        case 102: ParseHelipad(line); break;
        case 110: ParsePavement(line); break;
        case 130:
        case 170: ParseLinearFeature(line, code); break;
        case 140: ParseFeature140(line); break;
        case 190: ParseBoundary(line); break;
        case 150: ParseParking(line); break;
        case 50: case 51: case 52: case 53: case 54: case 55:
            if (detail.comRowCount < MaxComRecords)
                ++detail.comRowCount;
            break;
        default: break;
        }
    }
}

// Finds the header row of icao in the loaded entry.
static bool FindHeader(const char* icao, AirportHeader* header)
{
    char line[EntryLineMax + 1];
    while (ReadZipEntryLine(line, EntryLineMax)) {
        if (IsHeaderCode(RowCode(line)) && ParseHeader(line, header) && std::strcmp(header->icao, icao) == 0)
            return true;
    }
    return false;
}

// ---- com.txt and taxi.txt ----

static void ChooseComFile(char* path)
{
    struct Pair {
        NavSource first;
        NavSource second;
    };
    static const Pair pairs[] = {
        {NavSourceXPL, NavSourceFG},    {NavSourceFG, NavSourceXPL},   {NavSourceP3D, NavSourceFSX},
        {NavSourceMSFS, NavSourceP3D},  {NavSourceAFS2, NavSourceMSFS}, {NavSourceFSX, NavSourceP3D},
        {NavSourceFS9, NavSourceFSX},
    };
    Pair pick{NavSourceOpenAIP, NavSourceMSFS};
    for (const Pair& p : pairs) {
        if (IsNavSourceSelected(p.first)) {
            pick = p;
            break;
        }
    }
    char resolved[PathSize];
    FormatNavdataPath(path, PathSize, pick.first, "com.txt");
    if (!ResolvePath(path, resolved, sizeof(resolved)))
        FormatNavdataPath(path, PathSize, pick.second, "com.txt");
}

// True when line is an airport line of com.txt, "<count> <icao>", for icao:
// the ICAO must be a whole word, so "EDD" never takes the lines of "EDDH".
static bool IsComHeaderOf(const std::string& line, const char* icao, int* count)
{
    char word[32];
    return std::sscanf(line.c_str(), "%d %31s", count, word) == 2 && std::strcmp(word, icao) == 0;
}

static void LoadFrequencies(const char* icao)
{
    char path[PathSize];
    ChooseComFile(path);
    FILE* f = OpenFile(path, "r");
    if (f == nullptr) {
        ShowFileNotFound(path);
        return;
    }
    std::string line;
    int count = 0;
    bool found = false;
    while (!found && ReadTextLine(f, &line))
        found = IsComHeaderOf(line, icao, &count);
    count = found ? std::clamp(count, 0, MaxComRecords) : 0;
    for (int i = 0; i < count && ReadTextLine(f, &line); ++i) {
        ComRecord c{};
        if (std::sscanf(line.c_str(), "%d %d %31s", &c.type, &c.frequency, c.name) < 2)
            continue;
        UnderscoresToBlanks(c.name);
        detail.coms.push_back(c);
        if (c.type >= 50 && c.type <= 55)
            ++detail.comTypeCounts[c.type - 50];
    }
    std::fclose(f);
}

// One taxi.txt line of the airport: "icao name skipped count lat lon ...".
static void ParseTaxiLine(const std::string& line)
{
    TaxiNameRecord t{};
    char icao[32];
    char skipped[64];
    int count = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "%31s %19s %63s %d%n", icao, t.name, skipped, &count, &used) < 4 || count < 0)
        return;
    const char* p = line.c_str() + used;
    for (int i = 0; i < count; ++i) {
        GeoPoint point;
        int step = 0;
        if (std::sscanf(p, "%lf %lf%n", &point.lat, &point.lon, &step) < 2)
            break;
        p += step;
        t.points.push_back(point);
    }
    t.pointCount = static_cast<int32_t>(t.points.size());
    detail.taxiNames.push_back(std::move(t));
}

static bool IsTaxiLineOf(const std::string& line, const char* icao)
{
    size_t length = std::strlen(icao);
    return line.compare(0, length, icao) == 0 && (line.size() == length || line[length] == ' ' || line[length] == '\t');
}

void LoadTaxiNames(const char* icao)
{
    std::vector<TaxiNameRecord>().swap(detail.taxiNames);
    char path[PathSize];
    FormatText(path, sizeof(path), "%s/Navdata/taxi.txt", DataFolder);
    FILE* f = OpenFile(path, "r");
    if (f == nullptr) {
        ShowFileNotFound(path);
        return;
    }
    std::string line;
    bool seen = false;
    while (ReadTextLine(f, &line)) {
        if (!IsTaxiLineOf(line, icao)) {
            if (seen)
                break;
            continue;
        }
        seen = true;
        if (detail.taxiNames.size() < MaxTaxiNames)
            ParseTaxiLine(line);
    }
    std::fclose(f);
}

// ---- Loading ----

static void ShowMissingAirport()
{
    bool expected = false;
    if (!messageOpen.compare_exchange_strong(expected, true))
        return;
    MessageBoxA(nullptr, GetErrorText(5), "Zorizeruverovu", MB_OK | MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST);
    messageOpen = false;
}

bool LoadAirportDetails(const char* icao)
{
    char wanted[10];
    if (icao != nullptr && std::strcmp(icao, "NEAREST") == 0)
        icao = GetNearestAirportIcao(0);
    CopyText(wanted, sizeof(wanted), icao ? icao : "");
    if (detailLoaded && std::strcmp(detail.header.icao, wanted) == 0)
        return true;

    ResetDetail();
    if (!LoadAirportEntry(wanted)) {
        if (wanted[0] != '\0') {
            WriteLogF("No airport details for %s", wanted);
            ShowMissingAirport();
        }
        return false;
    }
    AirportHeader header;
    bool found = FindHeader(wanted, &header);
    if (found) {
        detail.header = header;
        ReadAirportRows();
    }
    FreeZipEntry();
    if (!found)
        return false;

    std::stable_sort(detail.runways.begin(), detail.runways.end(),
                     [](const RunwayRecord& a, const RunwayRecord& b) { return a.surface > b.surface; });
    SetAirportViewScale(detail.longestRunway);
    LoadFrequencies(wanted);
    detail.comTypeCountMax = *std::max_element(detail.comTypeCounts, detail.comTypeCounts + 6);
    detailLoaded = true;
    LoadTaxiNames(wanted);
    detailsReady = true;
    return true;
}

bool LookupAirportHeader(char* icao, double* headerValue, char* name1, char* name2, char* name3, char* name4)
{
    char wanted[10];
    CopyText(wanted, sizeof(wanted), icao);
    if (!LoadAirportEntry(wanted))
        return false;
    char line[EntryLineMax + 1];
    AirportHeader header{};
    bool found = false;
    while (!found && ReadZipEntryLine(line, EntryLineMax))
        found = IsHeaderCode(RowCode(line)) && ParseHeader(line, &header);
    FreeZipEntry();
    if (!found)
        return false;
    CopyText(icao, sizeof(header.icao), header.icao);
    *headerValue = header.magVar;
    char* names[4] = {name1, name2, name3, name4};
    for (int i = 0; i < 4; ++i)
        CopyText(names[i], AirportNameSize, header.names[i]);
    return true;
}

bool ReadAirportHeader(const char* icao, AirportHeader* header)
{
    char wanted[10];
    CopyText(wanted, sizeof(wanted), icao ? icao : "");
    if (!LoadAirportEntry(wanted))
        return false;
    bool found = FindHeader(wanted, header);
    FreeZipEntry();
    return found;
}

// ---- Derived values ----

double GetNearestRunwayEndDistance(double lon, double lat, int32_t* elevation)
{
    *elevation = detail.header.elevation;
    double best = -1.0;
    for (const RunwayRecord& r : detail.runways) {
        for (int end = 0; end < 2; ++end) {
            const GeoPoint& a = r.points[end * 2];
            const GeoPoint& b = r.points[end * 2 + 1];
            double midLat = (a.lat + b.lat) / 2.0;
            double midLon = (a.lon + b.lon) / 2.0;
            double dlon = (midLon - lon) * std::cos(midLat * RadiansPerDegree5);
            double dlat = midLat - lat;
            double d = std::sqrt(dlon * dlon + dlat * dlat);
            if (best < 0.0 || d < best)
                best = d;
        }
    }
    return best < 0.0 ? 1.0e6 : 60.0 * best;
}

int32_t GetAirportElevation()
{
    double feet = detail.header.elevation;
    double value = Settings.MetricAltitude ? feet / FeetPerMetre7 : feet;
    return static_cast<int32_t>(std::floor(value + 0.5));
}
