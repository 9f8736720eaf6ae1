// The airport-detail loader: the archive chain of the source, the rows of an
// airport's entry, its frequencies and its taxiway names. Every count read
// from a row bounds only what is kept; the lines it announces are consumed
// even when they are dropped, so they are never mistaken for rows.
#include "navdata/airport_details.h"

#include "app/language.h"
#include "app/log.h"
#include "app/settings.h"
#include "navdata/foreign_calls.h"
#include "navdata/nav_source.h"
#include "navdata/nearest_airports.h"
#include "navdata/text_lines.h"
#include "navdata/zip_entry.h"
#include "platform/files.h"

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

// The text of line from its n-th blank-separated word to the end.
static void TextFromWord(const char* line, int n, char* out, size_t size)
{
    const char* p = line;
    for (int word = 0; word < n; ++word) {
        while (*p == ' ' || *p == '\t')
            ++p;
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    CopyText(out, size, p);
    StripLineEnd(out);
}

static bool ParseHeader(const char* line, AirportHeader* header)
{
    AirportHeader h{};
    int n = std::sscanf(line, "%d %d %9s %lf %lf %lf %63s %63s %63s %63s", &h.rowCode, &h.elevation, h.icao,
                        &h.magVar, &h.lat, &h.lon, h.names[0], h.names[1], h.names[2], h.names[3]);
    if (n < 3)
        return false;
    for (auto& name : h.names)
        UnderscoresToBlanks(name);
    *header = h;
    return true;
}

static void ParseRunway(const char* line)
{
    RunwayRecord r{};
    GeoPoint* p = r.points;
    int n = std::sscanf(line,
                        "%d %lf %lf %d %7s %lf %lf %lf %lf %lf %lf %lf %lf %lf %lf %lf %lf %lf %7s %lf %lf %7s %lf %7s",
                        &r.rowCode, &r.length, &r.width, &r.surface, r.ilsIdent1, &r.ilsFrequency1, &p[0].lat,
                        &p[0].lon, &p[1].lat, &p[1].lon, &p[2].lat, &p[2].lon, &p[3].lat, &p[3].lon, &p[4].lat,
                        &p[4].lon, &p[5].lat, &p[5].lon, r.designator1, &r.heading1, &r.ilsFrequency2,
                        r.designator2, &r.heading2, r.ilsIdent2);
    if (n < 4)
        return;
    detail.longestRunway = std::max(detail.longestRunway, r.length);
    if (detail.runways.size() < MaxRunways)
        detail.runways.push_back(r);
}

static void ParseHelipad(const char* line)
{
    RunwayRecord r{};
    GeoPoint* p = r.points;
    int n = std::sscanf(line, "%d %lf %d %7s %lf %lf %lf %lf %lf %lf %lf %lf %lf", &r.rowCode, &r.length,
                        &r.surface, r.designator1, &r.heading1, &p[0].lat, &p[0].lon, &p[1].lat, &p[1].lon,
                        &p[2].lat, &p[2].lon, &p[3].lat, &p[3].lon);
    if (n >= 3 && detail.helipads.size() < MaxHelipads)
        detail.helipads.push_back(r);
}

static void ParsePavement(const char* line)
{
    PavementPolygon poly{};
    if (std::sscanf(line, "%d %d %d", &poly.rowCode, &poly.kind, &poly.pointCount) < 3 || poly.pointCount < 0)
        return;
    if (detail.pavements.size() >= MaxPavements) {
        SkipPointLines(poly.pointCount);
        return;
    }
    if (poly.kind < 1) {
        std::sscanf(line, "%d %d %d %d %lf %lf %x %63s", &poly.rowCode, &poly.kind, &poly.pointCount, &poly.value4,
                    &poly.valueA, &poly.valueB, &poly.colour, poly.name);
    } else {
        std::sscanf(line, "%d %d %d %d %lf %lf %lf", &poly.rowCode, &poly.kind, &poly.pointCount, &poly.value4,
                    &poly.valueA, &poly.valueB, &poly.value3);
        TextFromWord(line, 7, poly.name, sizeof(poly.name));  // a name with blanks
    }
    ReadPointLines(poly.pointCount, &poly.points, static_cast<size_t>(poly.pointCount));
    poly.pointCount = static_cast<int32_t>(poly.points.size());
    detail.pavements.push_back(std::move(poly));
}

static void ParseLinearFeature(const char* line, int code)
{
    LinearFeature f{};
    f.rowCode = code;
    int count = 0;
    if (code == 130) {
        if (std::sscanf(line, "%*d %d %d %d %lf %lf %X", &f.value2, &count, &f.value4, &f.valueA, &f.valueB,
                        &f.colour) < 2)
            return;
        TextFromWord(line, 7, f.name, sizeof(f.name));
    } else {
        if (std::sscanf(line, "%*d %d", &count) < 1)
            return;
        TextFromWord(line, 2, f.name, sizeof(f.name));
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

static void ParseFeature140(const char* line)
{
    int count = 0;
    if (std::sscanf(line, "%*d %d", &count) < 1 || count < 0)
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
    int count = 0;
    if (std::sscanf(line, "%*d %d", &count) < 1 || count < 0)
        return;
    ReadPointLines(count, &detail.boundary, MaxBoundaryPoints);
}

static void ParseParking(const char* line)
{
    int count = 0;
    if (std::sscanf(line, "%*d %d", &count) < 1 || count < 0)
        return;
    ClearParkPosition();
    char text[EntryLineMax + 1];
    for (int i = 0; i < count; ++i) {
        if (!ReadZipEntryLine(text, EntryLineMax))
            return;
        ParkingRecord p{};
        int n = std::sscanf(text, "%lf %lf %lf %lf %x %d %19s", &p.lat, &p.lon, &p.heading, &p.size, &p.colour,
                            &p.number, p.name);
        if (n >= 2 && detail.parking.size() < MaxParking) {
            UnderscoresToBlanks(p.name);
            detail.parking.push_back(p);
        }
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
            double dlon = (midLon - lon) * std::cos(midLat * 0.01745);
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
    double value = Settings.MetricAltitude ? feet / 3.2808399 : feet;
    return static_cast<int32_t>(std::floor(value + 0.5));
}
