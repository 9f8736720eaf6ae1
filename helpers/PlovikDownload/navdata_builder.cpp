// The conversion of the public text formats into the navigation files of a
// simulator folder. The folders differ only in their conventions: the
// surface codes of the airport records and runway rows, and the sign of a
// VOR's rose angle; magnetic variations are stored west-positive, so that a
// magnetic course is the true course plus the stored value.
#include "navdata_builder.h"

#include "airspace_sources.h"
#include "navdata/great_circle.h"
#include "navdata/nav_file_io.h"
#include "navdata/text_lines.h"
#include "navdata/zip_writer.h"
#include "platform/files.h"
#include "procedure_sources.h"
#include "source_readers.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace {

constexpr double EarthRadiusMetres = NmPerRadian * MetresPerNauticalMile;
constexpr size_t EntryLineLimit = 210;  // what the detail reader takes of a line

enum class Convention { XPlane, Msfs, General };

Convention ConventionOf(const std::string& folder)
{
    if (folder == "XPL" || folder == "FG")
        return Convention::XPlane;
    if (folder == "MSFS")
        return Convention::Msfs;
    return Convention::General;
}

bool MakeFolders(const std::string& path)
{
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
        if (i < path.size())
            partial += path[i];
    }
    return true;
}

// A file, or a named pipe that streams one from elsewhere.
bool FileExistsPlain(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode));
}

// ---- Geometry on the sphere ----

double InitialBearing(const SourcePoint& a, const SourcePoint& b)
{
    double la = a.lat * RadiansPerDegree;
    double lb = b.lat * RadiansPerDegree;
    double dl = (b.lon - a.lon) * RadiansPerDegree;
    double bearing = std::atan2(std::sin(dl) * std::cos(lb), std::cos(la) * std::sin(lb) - std::sin(la) * std::cos(lb) * std::cos(dl));
    return bearing < 0.0 ? bearing + 2.0 * M_PI : bearing;
}

SourcePoint Destination(const SourcePoint& from, double bearing, double metres)
{
    double d = metres / EarthRadiusMetres;
    double la = from.lat * RadiansPerDegree;
    double lo = from.lon * RadiansPerDegree;
    double lat = std::asin(std::sin(la) * std::cos(d) + std::cos(la) * std::sin(d) * std::cos(bearing));
    double lon = lo + std::atan2(std::sin(bearing) * std::sin(d) * std::cos(la), std::cos(d) - std::sin(la) * std::sin(lat));
    double lonDeg = lon / RadiansPerDegree;
    if (lonDeg > 180.0)
        lonDeg -= 360.0;
    if (lonDeg < -180.0)
        lonDeg += 360.0;
    return {lat / RadiansPerDegree, lonDeg};
}

double DistanceMetres(const SourcePoint& a, const SourcePoint& b)
{
    return GreatCircleDistanceNm(a.lat, a.lon, b.lat, b.lon) * MetresPerNauticalMile;
}

// ---- Texts ----

// A word for a row: blanks become underscores, "-" when empty, cut to max.
std::string Word(const std::string& text, size_t max)
{
    std::string word = text.substr(0, max);
    for (char& c : word)
        if (c == ' ' || c == '\t')
            c = '_';
    return word.empty() ? "-" : word;
}

bool IsUsableIcao(const std::string& icao)
{
    if (icao.empty() || icao.size() > 9)
        return false;
    return std::all_of(icao.begin(), icao.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

// ---- Surfaces ----

enum SurfaceClass { Hard = 1, Soft = 2, Water = 4 };

SurfaceClass ClassOfXPlaneSurface(int code)
{
    if (code == 1 || code == 2 || code == 15)
        return Hard;
    return code == 13 ? Water : Soft;
}

// A code whose entry in the folder's class table is the class.
uint32_t RecordSurfaceCode(Convention convention, SurfaceClass cls)
{
    switch (convention) {
    case Convention::XPlane: return cls == Hard ? 1 : 2;
    case Convention::Msfs: return cls == Hard ? 1 : cls == Water ? 3 : 0;
    case Convention::General: return cls == Hard ? 1 : 4;
    }
    return 0;
}

// The 1-based surface code of a runway row: X-Plane's own code for the
// X-Plane folders, else the matching word of the general table.
int RunwayRowSurface(Convention convention, int code)
{
    if (convention == Convention::XPlane)
        return (code >= 1 && code <= 15) ? code : 15;
    switch (code) {
    case 1: return 1;    // ASPHALT
    case 2: return 2;    // CONCRETE
    case 3: return 9;    // GRASS
    case 4: return 8;    // DIRT
    case 5: return 10;   // GRAVEL
    case 12: return 14;  // SAND (dry lakebed)
    case 13: return 20;  // WATER
    case 14: return 16;  // SNOW
    default: return 19;  // UNKNOWN
    }
}

// ---- Navaids ----

// VORs by whole degrees, for the magnetic variation of airports and ILSs.
class VariationGrid {
  public:
    void Add(const SourceNavaid& vor) { cells_[Key(vor.lat, vor.lon)].push_back({vor.lat, vor.lon, vor.extra}); }

    // East-positive variation of the nearest VOR within 300 nm; 0 without one.
    double EastVariation(double lat, double lon) const
    {
        double best = 300.0;
        double variation = 0.0;
        int la = static_cast<int>(std::floor(lat));
        int lo = static_cast<int>(std::floor(lon));
        for (int dy = -5; dy <= 5; ++dy) {
            for (int dx = -12; dx <= 12; ++dx) {
                int cellLon = lo + dx;
                cellLon = cellLon < -180 ? cellLon + 360 : cellLon >= 180 ? cellLon - 360 : cellLon;
                auto it = cells_.find(KeyOf(la + dy, cellLon));
                if (it == cells_.end())
                    continue;
                for (const Station& s : it->second) {
                    double d = GreatCircleDistanceNm(lat, lon, s.lat, s.lon);
                    if (d < best) {
                        best = d;
                        variation = s.variation;
                    }
                }
            }
        }
        return variation;
    }

  private:
    struct Station {
        double lat;
        double lon;
        double variation;
    };
    static long KeyOf(int lat, int lon) { return static_cast<long>(lat) * 1000 + lon; }
    static long Key(double lat, double lon)
    {
        return KeyOf(static_cast<int>(std::floor(lat)), static_cast<int>(std::floor(lon)));
    }
    std::map<long, std::vector<Station>> cells_;
};

struct IlsInfo {
    std::string ident;
    double megahertz;
};

int SubKindOfVor(const std::string& name)
{
    std::string upper = name;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.find("VORTAC") != std::string::npos)
        return 3;
    if (upper.find("DME") != std::string::npos)
        return 2;
    return 1;
}

// The navaid record of a row; false for rows the files do not keep.
bool ToNavaidRecord(const SourceNavaid& n, Convention convention, const VariationGrid& grid, NavaidRecord* out)
{
    NavaidRecord r{};
    r.lat = n.lat;
    r.lon = n.lon;
    switch (n.type) {
    case 2:
        r.frequency = n.frequency * 100;  // hundredths of kHz
        break;
    case 3:
        r.frequency = n.frequency * 10;  // kHz
        r.subKind = SubKindOfVor(n.name);
        r.angle = convention == Convention::XPlane ? n.extra : -n.extra;
        break;
    case 4:
    case 5:
        r.frequency = n.frequency * 10;
        r.angle = std::fmod(n.extra, 360.0);
        r.featherLength = 10;
        r.magVar = -grid.EastVariation(n.lat, n.lon);
        break;
    case 7:
    case 8:
    case 9:
        r.frequency = 75000;
        break;
    case 12:
    case 13:
        r.frequency = n.frequency * 10;
        break;
    default:
        return false;
    }
    r.kind = static_cast<uint32_t>(n.type);
    CopyText(r.ident, sizeof(r.ident), n.ident.c_str());
    CopyText(r.extra1, sizeof(r.extra1), n.airport.c_str());
    CopyText(r.extra2, sizeof(r.extra2), n.runway.c_str());
    CopyText(r.name, sizeof(r.name), n.name.c_str());
    *out = r;
    return true;
}

// ---- Airports ----

struct RunwayGeometry {
    double length;      // metres
    double bearing;     // radians, end 1 to end 2
    double backBearing;
    SourcePoint corner[4];
    SourcePoint step;   // 20 m along the runway, as a difference
    SourcePoint labelBase;
};

RunwayGeometry RunwayShape(const SourceRunway& r)
{
    RunwayGeometry g{};
    g.length = DistanceMetres(r.point[0], r.point[1]);
    g.bearing = InitialBearing(r.point[0], r.point[1]);
    g.backBearing = InitialBearing(r.point[1], r.point[0]);
    double half = std::max(r.width, 1.0) / 2.0;
    double left = g.bearing - M_PI / 2.0;
    double right = g.bearing + M_PI / 2.0;
    g.corner[0] = Destination(r.point[0], left, half);
    g.corner[1] = Destination(r.point[0], right, half);
    g.corner[2] = Destination(r.point[1], g.backBearing - M_PI / 2.0, half);
    g.corner[3] = Destination(r.point[1], g.backBearing + M_PI / 2.0, half);
    SourcePoint ahead = Destination(r.point[0], g.bearing, 20.0);
    g.step = {ahead.lat - r.point[0].lat, ahead.lon - r.point[0].lon};
    // Half the width from the left edge's middle: the size label sits on the centre.
    g.labelBase = {(g.corner[0].lat + g.corner[3].lat) / 2.0, (g.corner[0].lon + g.corner[3].lon) / 2.0};
    return g;
}

struct Extent {
    double south = 90.0, north = -90.0, west = 180.0, east = -180.0;
    bool any = false;
    void Add(const SourcePoint& p)
    {
        south = std::min(south, p.lat);
        north = std::max(north, p.lat);
        west = std::min(west, p.lon);
        east = std::max(east, p.lon);
        any = true;
    }
    // A single point still gets a small box, so the airport has a size.
    void Widen(double margin)
    {
        if (north - south < 2 * margin) {
            south -= margin;
            north += margin;
        }
        if (east - west < 2 * margin) {
            west -= margin;
            east += margin;
        }
    }
};

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return buffer;
}

// One airport converted for one folder.
struct ConvertedAirport {
    AirportRecord record;
    std::string entry;
    std::string com;
};

class AirportConverter {
  public:
    AirportConverter(const VariationGrid& grid, const std::map<std::string, IlsInfo>& ils) : grid_(grid), ils_(ils) {}

    bool Convert(const SourceAirport& a, Convention convention, ConvertedAirport* out) const
    {
        Extent extent;
        for (const SourceRunway& r : a.runways) {
            extent.Add(r.point[0]);
            extent.Add(r.point[1]);
        }
        for (const SourceHelipad& h : a.helipads)
            extent.Add(h.point);
        if (a.hasDatum)
            extent.Add(a.datum);
        if (!extent.any) {
            for (const SourceParking& p : a.parking)
                extent.Add(p.point);
            for (const SourcePavement& p : a.pavements)
                for (const SourcePoint& q : p.points)
                    extent.Add(q);
        }
        if (!extent.any)
            return false;  // an airport without any position
        SourcePoint reference = a.hasDatum ? a.datum
                                           : SourcePoint{(extent.south + extent.north) / 2, (extent.west + extent.east) / 2};
        extent.Widen(0.0025);
        double westVariation = -grid_.EastVariation(reference.lat, reference.lon);

        AirportRecord& rec = out->record;
        rec = AirportRecord{};
        rec.kind = static_cast<uint32_t>(a.code);
        rec.lonA = extent.west;
        rec.lonB = extent.east;
        rec.latA = extent.south;
        rec.latB = extent.north;
        CopyText(rec.icao, sizeof(rec.icao), a.icao.c_str());

        std::string& e = out->entry;
        e = Printf("%d %d %s %.1f %.6f %.6f ", a.code, a.elevation, a.icao.c_str(), westVariation, reference.lat,
                   reference.lon);
        e += Word(a.iata, 4) + " " + Word(a.city, 40) + " " + Word(a.name, 60) + " " + Word(a.country, 30) + "\n";

        SurfaceClass longestClass = Soft;
        for (const SourceRunway& r : a.runways)
            AddRunway(a, r, convention, &rec, &longestClass, &e);
        for (const SourceHelipad& h : a.helipads)
            AddHelipad(h, convention, &rec, &longestClass, &e);
        rec.surface = RecordSurfaceCode(convention, longestClass);
        for (const SourcePavement& p : a.pavements)
            AddPavement(p, &e);
        if (!a.towers.empty()) {
            e += Printf("190 %zu\n", a.towers.size());
            for (const SourcePoint& t : a.towers)
                e += Printf("%.6f %.6f\n", t.lat, t.lon);
        }
        AddParking(a, &e);
        AddFrequencies(a, &e, &out->com);
        return true;
    }

  private:
    IlsInfo IlsOf(const std::string& icao, const std::string& runway) const
    {
        auto it = ils_.find(icao + " " + runway);
        return it == ils_.end() ? IlsInfo{"-", 0.0} : it->second;
    }

    void AddRunway(const SourceAirport& a, const SourceRunway& r, Convention convention, AirportRecord* rec,
                   SurfaceClass* longestClass, std::string* e) const
    {
        RunwayGeometry g = RunwayShape(r);
        IlsInfo ils1 = IlsOf(a.icao, r.end[0]);
        IlsInfo ils2 = IlsOf(a.icao, r.end[1]);
        std::string row = Printf("%d %.1f %.1f %d %s %.2f", r.water ? 101 : 100, g.length, r.width,
                                 RunwayRowSurface(convention, r.surface), Word(ils1.ident, 4).c_str(), ils1.megahertz);
        for (const SourcePoint& c : g.corner)
            row += Printf(" %.6f %.6f", c.lat, c.lon);
        row += Printf(" %.7f %.7f %.6f %.6f", g.step.lat, g.step.lon, g.labelBase.lat, g.labelBase.lon);
        row += Printf(" %s %.4f %.2f %s %.4f %s\n", Word(r.end[0], 3).c_str(), g.bearing, ils2.megahertz,
                      Word(r.end[1], 3).c_str(), g.backBearing, Word(ils2.ident, 4).c_str());
        if (row.size() > EntryLineLimit)
            return;  // cannot happen with the field limits above, but never write a row cut short
        *e += row;
        if (g.length > rec->runwayLength) {
            rec->runwayLength = g.length;
            rec->runwayDirection = g.bearing;
            CopyText(rec->runwayEnd1, sizeof(rec->runwayEnd1), r.end[0].c_str());
            CopyText(rec->runwayEnd2, sizeof(rec->runwayEnd2), r.end[1].c_str());
            *longestClass = ClassOfXPlaneSurface(r.surface);
        }
    }

    void AddHelipad(const SourceHelipad& h, Convention convention, AirportRecord* rec, SurfaceClass* longestClass,
                    std::string* e) const
    {
        double heading = h.heading * RadiansPerDegree;
        double halfLength = std::max(h.length, 1.0) / 2.0;
        double halfWidth = std::max(h.width, 1.0) / 2.0;
        SourcePoint back = Destination(h.point, heading + M_PI, halfLength);
        SourcePoint ahead = Destination(h.point, heading, halfLength);
        SourcePoint corners[4] = {Destination(back, heading - M_PI / 2, halfWidth),
                                  Destination(back, heading + M_PI / 2, halfWidth),
                                  Destination(ahead, heading + M_PI / 2, halfWidth),
                                  Destination(ahead, heading - M_PI / 2, halfWidth)};
        std::string row = Printf("102 %.1f %d %s %.4f", h.length, RunwayRowSurface(convention, h.surface),
                                 Word(h.name, 7).c_str(), heading);
        for (const SourcePoint& c : corners)
            row += Printf(" %.6f %.6f", c.lat, c.lon);
        *e += row + "\n";
        if (h.length > rec->runwayLength) {
            rec->runwayLength = h.length;
            rec->runwayDirection = heading;
            *longestClass = ClassOfXPlaneSurface(h.surface);
        }
    }

    static void AddPavement(const SourcePavement& p, std::string* e)
    {
        if (p.points.size() < 2)
            return;
        // Areas are grey (kind 1), written as the triangles that fill them;
        // painted lines are yellow lines (kind 0).
        std::vector<SourcePoint> triangles;
        if (!p.line)
            triangles = TriangulateRing(p.points);
        const std::vector<SourcePoint>& points = p.line ? p.points : triangles;
        if (points.empty())
            return;
        if (p.line)
            *e += Printf("110 0 %zu 0 0 0 FF00FFFF %s\n", points.size(), Word(p.name, 40).c_str());
        else
            *e += Printf("110 1 %zu 0 0 0 0 %s\n", points.size(), Word(p.name, 60).c_str());
        for (const SourcePoint& q : points)
            *e += Printf("%.7f %.7f\n", q.lat, q.lon);
    }

    // Span in metres of the largest aircraft the position takes.
    static double ParkingSize(const SourceParking& p)
    {
        if (p.types.find("heavy") != std::string::npos)
            return 70.0;
        if (p.types.find("jets") != std::string::npos || p.kind == "gate")
            return 40.0;
        return 20.0;
    }

    // "Gate A12" becomes the name "Gate_A" (at most 19 characters) and the
    // number 12.
    static void SplitParkingName(const std::string& full, std::string* name, int* number)
    {
        size_t digits = full.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(full[digits - 1])))
            --digits;
        std::string text = full.substr(0, digits);
        // Digits past what an int holds are no number of a stand.
        *number = digits < full.size() && full.size() - digits < 9 ? std::atoi(full.c_str() + digits) : 0;
        while (!text.empty() && (text.back() == ' ' || text.back() == '_' || text.back() == '-'))
            text.pop_back();
        *name = Word(text.empty() ? "Stand" : text, 19);
    }

    static void AddParking(const SourceAirport& a, std::string* e)
    {
        if (a.parking.empty())
            return;
        // The map lists and finds a stand by "name_number": stands that would
        // read alike (no number, a name cut short) are numbered apart.
        std::vector<std::pair<std::string, int>> stands;
        std::map<std::string, std::set<int>> used;
        for (const SourceParking& p : a.parking) {
            std::string name;
            int number = 0;
            SplitParkingName(p.name, &name, &number);
            if (number > 0 && !used[name].insert(number).second)
                number = 0;
            stands.push_back({name, number});
        }
        for (auto& [name, number] : stands) {
            std::set<int>& numbers = used[name];
            for (int next = 1; number == 0; next++)
                if (numbers.insert(next).second)
                    number = next;
        }
        *e += Printf("150 %zu\n", a.parking.size());
        for (size_t i = 0; i < a.parking.size(); i++) {
            const SourceParking& p = a.parking[i];
            double size = ParkingSize(p);
            uint32_t colour = p.kind == "gate" ? 0xFF00C0FFu : p.kind == "hangar" ? 0xFF808080u : 0xFFFFFFFFu;
            *e += Printf("%.6f %.6f %.1f %.0f %X %d %s\n", p.point.lat, p.point.lon, p.heading, size, colour,
                         stands[i].second, stands[i].first.c_str());
        }
    }

    static void AddFrequencies(const SourceAirport& a, std::string* e, std::string* com)
    {
        com->clear();
        size_t n = std::min<size_t>(a.frequencies.size(), 100);
        if (n == 0)
            return;
        *com = Printf("%zu %s\n", n, a.icao.c_str());
        for (size_t i = 0; i < n; ++i) {
            const SourceFrequency& f = a.frequencies[i];
            std::string line = Printf("%d %d %s\n", f.type, f.kilohertz, Word(f.name, 31).c_str());
            *e += line;
            *com += line;
        }
    }

    const VariationGrid& grid_;
    const std::map<std::string, IlsInfo>& ils_;
};

// ---- Taxiway names ----

// The named edges of the taxi network chained into polylines, one line of
// taxi.txt each (at most 60 points, so a line stays far below 2000 bytes).
std::string TaxiLines(const SourceAirport& a)
{
    std::map<int, SourcePoint> nodes(a.taxiNodes.begin(), a.taxiNodes.end());
    std::map<std::string, std::vector<const SourceTaxiEdge*>> byName;
    for (const SourceTaxiEdge& edge : a.taxiEdges)
        if (!edge.name.empty() && nodes.count(edge.from) && nodes.count(edge.to))
            byName[Word(edge.name, 19)].push_back(&edge);
    std::string out;
    for (auto& [name, edges] : byName) {
        std::vector<bool> used(edges.size(), false);
        for (size_t start = 0; start < edges.size(); ++start) {
            if (used[start])
                continue;
            used[start] = true;
            std::vector<int> chain = {edges[start]->from, edges[start]->to};
            for (bool grown = true; grown;) {
                grown = false;
                for (size_t k = 0; k < edges.size(); ++k) {
                    if (used[k])
                        continue;
                    int a1 = edges[k]->from, b1 = edges[k]->to;
                    if (a1 == chain.back() || b1 == chain.back()) {
                        chain.push_back(a1 == chain.back() ? b1 : a1);
                    } else if (a1 == chain.front() || b1 == chain.front()) {
                        chain.insert(chain.begin(), a1 == chain.front() ? b1 : a1);
                    } else {
                        continue;
                    }
                    used[k] = grown = true;
                }
            }
            for (size_t from = 0; from + 1 < chain.size(); from += 59) {
                size_t to = std::min(chain.size(), from + 60);
                out += Printf("%s %s taxiway %zu", a.icao.c_str(), name.c_str(), to - from);
                for (size_t i = from; i < to; ++i)
                    out += Printf(" %.6f %.6f", nodes[chain[i]].lat, nodes[chain[i]].lon);
                out += "\n";
            }
        }
    }
    return out;
}

// ---- Writing ----

class FolderWriter {
  public:
    FolderWriter(const std::string& navdataDir, const std::string& folder)
        : folder_(folder), dir_(navdataDir + "/" + folder), convention_(ConventionOf(folder))
    {
    }
    ~FolderWriter()
    {
        for (auto& [letter, stream] : archives_)
            CloseZipStream(stream);
        if (com_ != nullptr) {
            std::fclose(com_);
            std::remove(ComPart().c_str());
        }
    }

    bool Open(std::string* error)
    {
        if (!MakeFolders(dir_ + "/Default")) {
            *error = "cannot make " + dir_ + "/Default";
            return false;
        }
        com_ = std::fopen(ComPart().c_str(), "wb");
        if (com_ == nullptr) {
            *error = "cannot write " + dir_ + "/com.txt";
            return false;
        }
        return true;
    }

    Convention convention() const { return convention_; }
    const std::string& name() const { return folder_; }

    void Add(const SourceAirport& a, const ConvertedAirport& c)
    {
        if (!written_.insert(a.icao).second)
            return;  // the first airport of an ICAO wins
        airports_.push_back(c.record);
        if (!c.com.empty())
            ok_ = std::fputs(c.com.c_str(), com_) >= 0 && ok_;
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(a.icao[0])));
        ZipStream*& stream = archives_[letter];
        if (stream == nullptr) {
            std::string path = dir_ + "/Default/" + letter + ".zip";
            stream = OpenZipStream(path.c_str());
            ok_ = ok_ && stream != nullptr;
            if (stream == nullptr)
                return;
        }
        std::string name = std::string(1, a.icao[0]) + "/" + a.icao + ".txt";
        ok_ = AddZipStreamEntry(stream, name.c_str(), c.entry) && ok_;
    }

    bool Finish(const std::vector<NavaidRecord>& navaids, const std::vector<FixRecord>& fixes, std::string* error)
    {
        for (auto& [letter, stream] : archives_)
            ok_ = CloseZipStream(stream) && ok_;
        archives_.clear();
        ok_ = std::fclose(com_) == 0 && ok_;
        com_ = nullptr;
        if (ok_)
            ok_ = CommitReplacementFile(ComPart().c_str(), (dir_ + "/com.txt").c_str());
        else
            std::remove(ComPart().c_str());
        ok_ = WriteWholeFile((dir_ + "/apt.bin").c_str(), BuildNavFile(airports_)) && ok_;
        ok_ = WriteWholeFile((dir_ + "/navdat.bin").c_str(), BuildNavFile(navaids)) && ok_;
        ok_ = WriteWholeFile((dir_ + "/fixdat.bin").c_str(), BuildNavFile(fixes)) && ok_;
        if (!ok_)
            *error = "cannot write the files of " + dir_;
        return ok_;
    }

  private:
    // com.txt is written beside the old one until it is whole.
    std::string ComPart() const { return dir_ + "/com.txt.part"; }

    std::string folder_;
    std::string dir_;
    Convention convention_;
    FILE* com_ = nullptr;
    std::map<char, ZipStream*> archives_;
    std::set<std::string> written_;
    std::vector<AirportRecord> airports_;
    bool ok_ = true;
};

std::vector<FixRecord> ConvertFixes(const std::vector<SourceFix>& fixes, long* skipped)
{
    std::vector<FixRecord> out;
    out.reserve(fixes.size());
    for (const SourceFix& f : fixes) {
        if (f.name.empty() || f.name.size() >= sizeof(FixRecord::name)) {
            ++*skipped;
            continue;
        }
        FixRecord r{};
        r.lat = f.lat;
        r.lon = f.lon;
        CopyText(r.name, sizeof(r.name), f.name.c_str());
        out.push_back(r);
    }
    return out;
}

}  // namespace

bool IsKnownNavFolder(const std::string& folder)
{
    static const char* const known[] = {"XPL", "FG", "MSFS", "FSX", "P3D", "FS9", "AFS2"};
    return std::any_of(std::begin(known), std::end(known), [&](const char* k) { return folder == k; });
}

static std::string FirstExisting(const std::string& folder, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        for (const char* suffix : {"", ".gz"}) {
            std::string path = folder + "/" + name + suffix;
            if (FileExistsPlain(path))
                return path;
        }
    }
    return "";
}

static bool IsOpenAirName(std::string name)
{
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0)
        name.resize(name.size() - 3);
    auto ends = [&](const char* tail) {
        size_t n = std::strlen(tail);
        return name.size() >= n && name.compare(name.size() - n, n, tail) == 0;
    };
    return ends(".openair") || ends("_asp.txt") || (name.rfind("openair", 0) == 0 && ends(".txt"));
}

static std::vector<std::string> FindOpenAirFiles(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    for (const std::string& dir : {folder, folder + "/Airspaces"}) {
        std::error_code error;
        for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
            if (it->is_regular_file(error) && IsOpenAirName(it->path().filename().string()))
                found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool FindSourceFiles(const std::string& folder, SourceFiles* files)
{
    files->apt = FirstExisting(folder, {"apt.dat", "Airports/apt.dat"});
    files->nav = FirstExisting(folder, {"nav.dat", "earth_nav.dat", "Navaids/nav.dat"});
    files->fix = FirstExisting(folder, {"fix.dat", "earth_fix.dat", "Navaids/fix.dat"});
    files->awy = FirstExisting(folder, {"awy.dat", "earth_awy.dat", "Navaids/awy.dat"});
    files->openAir = FindOpenAirFiles(folder);
    std::error_code error;
    files->cifp = std::filesystem::is_directory(folder + "/CIFP", error) ? folder + "/CIFP" : "";
    return !files->apt.empty() && !files->nav.empty();
}

// The airspaces and airways of the sources, read once for every folder.
struct AirspaceSources {
    std::vector<AirspaceRecord> airspaces;
    std::vector<AirwaySegment> high, low;
    bool anyAirspaces = false, anyAirways = false;
};

static bool ReadAirspaceSources(const SourceFiles& sources, AirspaceSources* out, BuildSummary* summary,
                                std::string* error)
{
    ReadCounts counts;
    for (const std::string& path : sources.openAir) {
        if (!ReadOpenAir(path.c_str(), &out->airspaces, &counts)) {
            *error = "cannot read " + path;
            return false;
        }
        out->anyAirspaces = true;
    }
    if (!sources.awy.empty()) {
        std::string problem;
        if (ReadAwyDat(sources.awy.c_str(), &out->high, &out->low, &counts, &problem))
            out->anyAirways = true;
        else
            summary->warning = problem;
    }
    summary->airspaces = static_cast<long>(out->airspaces.size());
    summary->airwaySegments = static_cast<long>(out->high.size() + out->low.size());
    summary->skipped += counts.skipped;
    return true;
}

// An airport's entry of Navdata.db: its runways, and the procedures of its
// CIFP file when there is one.
static NavdataDbAirport ProcedureAirport(const SourceFiles& sources, const SourceAirport& airport,
                                         const FixPositions& fixes, BuildSummary* summary)
{
    std::vector<ProcedureLeg> legs;
    if (!sources.cifp.empty()) {
        ReadCounts counts;
        ReadCifpFile((sources.cifp + "/" + airport.icao + ".dat").c_str(), &legs, &counts);
        summary->skipped += counts.skipped;
    }
    NavdataDbAirport entry = BuildProcedureAirport(airport, legs, fixes, &summary->skipped);
    summary->procedures += static_cast<long>(entry.routes.size());
    return entry;
}

// Tells the options' listener how far the build is, once a percentage.
class BuildSteps {
  public:
    explicit BuildSteps(const BuildOptions& options) : options_(options) {}
    void Step(int percent, const char* stage)
    {
        if (options_.progress && (percent != percent_ || stage != stage_))
            options_.progress(percent, stage);
        percent_ = percent;
        stage_ = stage;
    }
    // A share of a step that runs from `from` to `to` percent.
    void Part(int from, int to, double done, const char* stage)
    {
        Step(from + static_cast<int>((to - from) * std::clamp(done, 0.0, 1.0)), stage);
    }

  private:
    const BuildOptions& options_;
    int percent_ = -1;
    const char* stage_ = nullptr;
};

bool BuildNavdataFolders(const SourceFiles& sources, const std::string& navdataDir,
                         const std::vector<std::string>& folders, BuildSummary* summary, std::string* error,
                         const BuildOptions& options)
{
    BuildSteps steps(options);
    steps.Step(0, "Reading the navaids");
    ReadCounts navCounts, fixCounts, aptCounts;
    std::vector<SourceNavaid> navaids;
    if (!ReadNavDat(sources.nav.c_str(), &navaids, &navCounts)) {
        *error = "cannot read " + sources.nav;
        return false;
    }
    steps.Step(10, "Reading the fixes");
    std::vector<SourceFix> sourceFixes;
    if (!sources.fix.empty() && !ReadFixDat(sources.fix.c_str(), &sourceFixes, &fixCounts)) {
        *error = "cannot read " + sources.fix;
        return false;
    }
    VariationGrid grid;
    std::map<std::string, IlsInfo> ils;
    for (const SourceNavaid& n : navaids) {
        if (n.type == 3)
            grid.Add(n);
        if ((n.type == 4 || n.type == 5) && !n.airport.empty())
            ils[n.airport + " " + n.runway] = {n.ident, n.frequency / 100.0};
    }
    std::vector<FixRecord> fixes = ConvertFixes(sourceFixes, &summary->skipped);
    steps.Step(20, "Reading the airspaces and airways");
    AirspaceSources airspaceSources;
    if (!ReadAirspaceSources(sources, &airspaceSources, summary, error))
        return false;

    std::vector<std::unique_ptr<FolderWriter>> writers;
    for (const std::string& folder : folders) {
        writers.push_back(std::make_unique<FolderWriter>(navdataDir, folder));
        if (!writers.back()->Open(error))
            return false;
    }
    std::string taxiPath = navdataDir + "/taxi.txt";
    std::string taxiPart = taxiPath + ".part";
    FILE* taxi = nullptr;
    if (options.taxi) {
        taxi = OpenFile(taxiPart.c_str(), "wb");
        if (taxi == nullptr) {
            *error = "cannot write " + taxiPath;
            return false;
        }
    }
    FixPositions fixPositions;
    for (const SourceFix& f : sourceFixes)
        fixPositions.Add(f.name, f.lat, f.lon);
    for (const SourceNavaid& n : navaids)
        fixPositions.Add(n.ident, n.lat, n.lon);
    std::vector<NavdataDbAirport> procedureAirports;
    AirportConverter converter(grid, ils);
    steps.Step(25, "Reading the airports");
    bool taxiOk = true;
    bool read = ReadAptDat(sources.apt.c_str(), [&](SourceAirport& a) {
        if (!IsUsableIcao(a.icao)) {
            ++summary->skipped;
            return;
        }
        bool converted = false;
        for (auto& writer : writers) {
            ConvertedAirport c;
            if (!converter.Convert(a, writer->convention(), &c))
                break;
            writer->Add(a, c);
            converted = true;
        }
        if (!converted) {
            ++summary->skipped;
            return;
        }
        ++summary->airports;
        if (taxi != nullptr)
            taxiOk = std::fputs(TaxiLines(a).c_str(), taxi) >= 0 && taxiOk;
        if (options.procedures)
            procedureAirports.push_back(ProcedureAirport(sources, a, fixPositions, summary));
    }, &aptCounts, [&](double done) { steps.Part(25, 85, done, "Reading the airports"); });
    if (taxi != nullptr) {
        taxiOk = std::fclose(taxi) == 0 && taxiOk && read;
        if (!taxiOk || !CommitReplacementFile(taxiPart.c_str(), taxiPath.c_str())) {
            std::remove(taxiPart.c_str());
            taxiOk = false;
        }
    }
    if (!read) {
        *error = "cannot read " + sources.apt;
        return false;
    }
    steps.Step(85, "Writing the navigation files");
    for (auto& writer : writers) {
        std::vector<NavaidRecord> records;
        for (const SourceNavaid& n : navaids) {
            NavaidRecord r;
            if (ToNavaidRecord(n, writer->convention(), grid, &r))
                records.push_back(r);
        }
        summary->navaids = static_cast<long>(records.size());
        if (!writer->Finish(records, fixes, error))
            return false;
        std::string folder = navdataDir + "/" + writer->name();
        if (airspaceSources.anyAirspaces && !WriteAirspaceFiles(folder, airspaceSources.airspaces, error))
            return false;
        if (airspaceSources.anyAirways &&
            !WriteAirwayFiles(folder, airspaceSources.high, airspaceSources.low, error))
            return false;
    }
    if (options.procedures) {
        steps.Step(95, "Writing the procedure database");
        std::string database = navdataDir + "/Navdata.db";
        char problem[160] = "";
        if (!WriteNavdataDb(database.c_str(), procedureAirports, problem, sizeof problem)) {
            *error = "cannot write " + database + ": " + problem;
            return false;
        }
    }
    summary->fixes = static_cast<long>(fixes.size());
    summary->skipped += navCounts.skipped + fixCounts.skipped + aptCounts.skipped;
    if (!taxiOk) {
        *error = "cannot write " + taxiPath;
        return false;
    }
    steps.Step(100, "Done");
    return true;
}
