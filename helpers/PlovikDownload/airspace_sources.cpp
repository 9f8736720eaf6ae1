// OpenAir airspaces and awy.dat airways into the map program's airspace
// text and airway files.
#include "airspace_sources.h"

#include "navdata/nav_file_io.h"
#include "navdata/text_lines.h"
#include "platform/codepage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace {

constexpr double RadiansPerDegree = 3.14159265358979 / 180.0;
constexpr double ArcStepDegrees = 5.0;

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text)
{
    size_t a = text.find_first_not_of(" \t");
    if (a == std::string::npos)
        return "";
    size_t b = text.find_last_not_of(" \t");
    return text.substr(a, b - a + 1);
}

bool ToNumber(const std::string& word, double* out)
{
    std::string w = Trim(word);
    auto [end, error] = std::from_chars(w.data(), w.data() + w.size(), *out);
    return !w.empty() && error == std::errc() && end == w.data() + w.size() && std::isfinite(*out);
}

// UTF-8 text as code page 1252; text that is no UTF-8 is taken as it is.
std::string ToCodePage(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        uint32_t code = 0;
        size_t n = DecodeUtf8(text.c_str() + i, &code);
        if (n == 0)
            break;
        if (code == 0xFFFD)
            return text;
        i += n;
    }
    return FromUtf8(text);
}

// "DD:MM:SS.s", "DD:MM.m" or "DD.d" as degrees.
bool ParseDegrees(const std::string& text, double max, double* out)
{
    std::vector<double> parts;
    std::stringstream in(Trim(text));
    for (std::string part; std::getline(in, part, ':');) {
        double v;
        if (!ToNumber(part, &v) || v < 0)
            return false;
        parts.push_back(v);
    }
    if (parts.empty() || parts.size() > 3)
        return false;
    double minutes = parts.size() > 1 ? parts[1] : 0, seconds = parts.size() > 2 ? parts[2] : 0;
    if (minutes >= 60 || seconds >= 60)
        return false;
    *out = parts[0] + minutes / 60.0 + seconds / 3600.0;
    return *out <= max;
}

struct Position {
    double lat, lon;
};

// Positions near a centre on a plane scaled by the centre's latitude: good
// to well within a pixel for the radii airspaces have.
Position AtBearing(const Position& c, double bearingDegrees, double nm)
{
    double b = bearingDegrees * RadiansPerDegree;
    double lat = c.lat + nm / 60.0 * std::cos(b);
    double lon = c.lon + nm / 60.0 * std::sin(b) / std::max(std::cos(c.lat * RadiansPerDegree), 1e-6);
    return {lat, lon};
}

void BearingAndDistance(const Position& c, const Position& p, double* bearingDegrees, double* nm)
{
    double north = (p.lat - c.lat) * 60.0;
    double east = (p.lon - c.lon) * 60.0 * std::cos(c.lat * RadiansPerDegree);
    *nm = std::hypot(north, east);
    *bearingDegrees = std::atan2(east, north) / RadiansPerDegree;
}

// The points of an arc of sweep degrees (negative: anticlockwise) from a
// bearing on, both ends included.
void AddSweep(std::vector<AirspacePoint>* points, const Position& c, double nm, double from, double sweep)
{
    int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / ArcStepDegrees)));
    for (int k = 0; k <= steps; ++k) {
        Position p = AtBearing(c, from + sweep * k / steps, nm);
        points->push_back({p.lat, p.lon});
    }
}

// The arc from one bearing to another the given way round.
void AddArc(std::vector<AirspacePoint>* points, const Position& c, double nm, double from, double to, bool clockwise)
{
    double sweep = clockwise ? std::fmod(to - from + 720.0, 360.0) : -std::fmod(from - to + 720.0, 360.0);
    AddSweep(points, c, nm, from, sweep);
}

// The class of the map for an OpenAir class; empty for kinds it does not show.
std::string MapClass(const std::string& openAir)
{
    std::string c = Upper(Trim(openAir));
    if (c == "CTR")
        return c;
    if (c.size() == 1 && std::strchr("ABCDEFG", c[0]))
        return c;
    if (c == "R" || c == "Q" || c == "P")
        return "R";
    return "";
}

class OpenAirReader {
  public:
    OpenAirReader(std::vector<AirspaceRecord>* out, ReadCounts* counts) : out_(out), counts_(counts) {}

    void Line(const std::string& raw)
    {
        std::string line = Trim(raw.substr(0, raw.find('*')));
        if (line.size() < 2)
            return;
        std::string key = Upper(line.substr(0, 2)), value = Trim(line.substr(2));
        if (key == "AC") {
            Finish();
            Begin(value);
        } else if (!open_) {
            return;
        } else if (key == "AN") {
            name_ = ToCodePage(value);
        } else if (key == "AL") {
            lower_ = OpenAirLimit(value);
        } else if (key == "AH") {
            upper_ = OpenAirLimit(value);
        } else if (key == "AF") {
            double mhz;
            if (ToNumber(value, &mhz) && mhz > 0 && mhz < 1000)
                frequency_ = static_cast<int32_t>(std::lround(mhz * 1000.0));
        } else if (key == "V ") {
            Variable(value);
        } else if (key == "DP") {
            Position p;
            if (ParseOpenAirPosition(value, &p.lat, &p.lon))
                points_.push_back({p.lat, p.lon});
            else
                damaged_ = true;
        } else if (key == "DC") {
            double nm;
            if (ToNumber(value, &nm) && nm > 0 && hasCentre_)
                AddSweep(&points_, centre_, nm, 0, 360);
            else
                damaged_ = true;
        } else if (key == "DA") {
            Arc(value);
        } else if (key == "DB") {
            ArcBetween(value);
        }
    }

    void Finish()
    {
        if (!open_)
            return;
        open_ = false;
        if (class_.empty()) {
            ++counts_->skipped;  // a kind of airspace the map does not show
            return;
        }
        if (damaged_ || points_.size() < 3) {
            ++counts_->skipped;
            return;
        }
        if (points_.front().lat != points_.back().lat || points_.front().lon != points_.back().lon)
            points_.push_back(points_.front());
        if (points_.size() > static_cast<size_t>(AirspaceMaxPoints)) {
            ++counts_->skipped;
            return;
        }
        AirspaceRecord a;
        CopyText(a.airspaceClass, sizeof(a.airspaceClass), class_.c_str());
        CopyText(a.name, sizeof(a.name), name_.c_str());
        CopyText(a.lower, sizeof(a.lower), lower_.c_str());
        CopyText(a.upper, sizeof(a.upper), upper_.c_str());
        a.frequency = frequency_;
        a.latMin = a.lonMin = 1000;
        a.latMax = a.lonMax = -1000;
        for (const AirspacePoint& p : points_) {
            if (!(p.lat >= -90 && p.lat <= 90 && p.lon >= -180 && p.lon <= 180)) {
                ++counts_->skipped;
                return;
            }
            a.latMin = std::min(a.latMin, p.lat);
            a.latMax = std::max(a.latMax, p.lat);
            a.lonMin = std::min(a.lonMin, p.lon);
            a.lonMax = std::max(a.lonMax, p.lon);
        }
        a.points = std::move(points_);
        out_->push_back(std::move(a));
        ++counts_->records;
    }

  private:
    void Begin(const std::string& openAirClass)
    {
        open_ = true;
        damaged_ = false;
        class_ = MapClass(openAirClass);
        name_.clear();
        lower_ = "GND";
        upper_ = "-";
        frequency_ = 0;
        points_.clear();
        clockwise_ = true;
    }

    void Variable(const std::string& value)
    {
        std::string v = Upper(value);
        size_t eq = v.find('=');
        if (eq == std::string::npos)
            return;
        std::string name = Trim(v.substr(0, eq)), what = Trim(v.substr(eq + 1));
        if (name == "X") {
            hasCentre_ = ParseOpenAirPosition(what, &centre_.lat, &centre_.lon);
            damaged_ = damaged_ || !hasCentre_;
        } else if (name == "D") {
            clockwise_ = what != "-";
        }
    }

    void Arc(const std::string& value)
    {
        std::stringstream in(value);
        std::string a, b, c;
        std::getline(in, a, ',');
        std::getline(in, b, ',');
        std::getline(in, c);
        double nm, from, to;
        // A bearing off the circle would sweep by a step count no int holds.
        if (!hasCentre_ || !ToNumber(a, &nm) || !ToNumber(b, &from) || !ToNumber(c, &to) || nm <= 0 ||
            std::fabs(from) > 360 || std::fabs(to) > 360) {
            damaged_ = true;
            return;
        }
        AddArc(&points_, centre_, nm, from, to, clockwise_);
    }

    void ArcBetween(const std::string& value)
    {
        size_t comma = value.find(',');
        Position p, q;
        if (!hasCentre_ || comma == std::string::npos || !ParseOpenAirPosition(value.substr(0, comma), &p.lat, &p.lon) ||
            !ParseOpenAirPosition(value.substr(comma + 1), &q.lat, &q.lon)) {
            damaged_ = true;
            return;
        }
        double from, to, nm, ignored;
        BearingAndDistance(centre_, p, &from, &nm);
        BearingAndDistance(centre_, q, &to, &ignored);
        AddArc(&points_, centre_, nm, from, to, clockwise_);
        // The arc ends where the file says, not where the rounded radius puts it.
        points_.back() = {q.lat, q.lon};
    }

    std::vector<AirspaceRecord>* out_;
    ReadCounts* counts_;
    bool open_ = false, damaged_ = false, clockwise_ = true, hasCentre_ = false;
    std::string class_, name_, lower_, upper_;
    int32_t frequency_ = 0;
    Position centre_{0, 0};
    std::vector<AirspacePoint> points_;
};

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// Names joined by '-' cut at the last whole name within 10 characters.
std::string AirwayName(const std::string& names)
{
    if (names.size() <= 10)
        return names;
    size_t cut = names.rfind('-', 10);
    return cut == std::string::npos || cut == 0 ? names.substr(0, 10) : names.substr(0, cut);
}

bool RemoveAirwayFiles(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (!fs::is_directory(folder, ignored))
        return true;
    for (const auto& item : fs::directory_iterator(folder, ignored)) {
        std::string name = item.path().filename().string();
        if (name.rfind("awy_", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".txt")
            fs::remove(item.path(), ignored);
    }
    return true;
}

bool WriteText(const std::string& path, const std::string& text)
{
    return WriteWholeFile(path.c_str(), std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

bool ParseOpenAirPosition(const std::string& text, double* lat, double* lon)
{
    std::string t = Upper(text);
    size_t ns = t.find_first_of("NS");
    if (ns == std::string::npos)
        return false;
    size_t ew = t.find_first_of("EW", ns + 1);
    if (ew == std::string::npos || !Trim(t.substr(ew + 1)).empty())
        return false;
    double a, b;
    if (!ParseDegrees(t.substr(0, ns), 90.0, &a) || !ParseDegrees(t.substr(ns + 1, ew - ns - 1), 180.0, &b))
        return false;
    *lat = t[ns] == 'S' ? -a : a;
    *lon = t[ew] == 'W' ? -b : b;
    return true;
}

std::string OpenAirLimit(const std::string& text)
{
    std::vector<std::string> words = Words(Upper(text));
    std::vector<std::string> merged;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        bool number = !w.empty() && std::isdigit(static_cast<unsigned char>(w[0]));
        bool next = i + 1 < words.size();
        // "2500 FT" and "FL 65" are one word each.
        if (next && number && (words[i + 1] == "FT" || words[i + 1] == "F" || words[i + 1] == "M")) {
            merged.push_back(w + (words[i + 1] == "M" ? "M" : "FT"));
            ++i;
        } else if (next && w == "FL") {
            merged.push_back("FL" + words[i + 1]);
            ++i;
        } else if (w == "SFC") {
            merged.push_back("GND");
        } else {
            merged.push_back(w);
        }
    }
    std::string limit;
    for (const std::string& w : merged)
        limit += (limit.empty() ? "" : " ") + w;
    if (limit.empty())
        return "-";
    return limit.substr(0, sizeof(AirspaceRecord::lower) - 1);
}

bool ReadOpenAir(const char* path, std::vector<AirspaceRecord>* airspaces, ReadCounts* counts)
{
    SourceLineReader reader(path);
    if (!reader.IsOpen())
        return false;
    OpenAirReader openAir(airspaces, counts);
    std::string line;
    while (reader.Next(&line))
        openAir.Line(line);
    openAir.Finish();
    return true;
}

bool ReadAwyDat(const char* path, std::vector<AirwaySegment>* high, std::vector<AirwaySegment>* low,
                ReadCounts* counts, std::string* error)
{
    SourceLineReader reader(path);
    if (!reader.IsOpen()) {
        *error = std::string("cannot read ") + path;
        return false;
    }
    std::string line;
    bool header = true;
    while (reader.Next(&line)) {
        std::vector<std::string> w = Words(line);
        if (w.empty())
            continue;
        if (header && (w[0] == "I" || w[0] == "A"))
            continue;
        if (header && w.size() >= 2 && w[1] == "Version") {
            if (w[0] != "640") {
                *error = std::string(path) + ": awy.dat format " + w[0] + " names no positions; format 640 is read";
                return false;
            }
            continue;
        }
        header = false;
        if (w[0] == "99")
            break;
        // awy.dat gives the type (1 low, 2 high), base and top; the map's
        // rows give base, top and then the type.
        AirwaySegment s;
        if (w.size() != 10 || !ParseAirwayRow(line, &s) || (s.first != 1 && s.first != 2)) {
            ++counts->skipped;
            continue;
        }
        const int type = s.first, base = s.second, top = s.third;
        AirwaySegment out = s;
        out.first = base;
        out.second = top;
        out.third = type;
        CopyText(out.name, sizeof(out.name), AirwayName(w[9]).c_str());
        (type == 2 ? high : low)->push_back(out);
        ++counts->records;
    }
    return true;
}

bool WriteAirspaceFiles(const std::string& folder, const std::vector<AirspaceRecord>& airspaces, std::string* error)
{
    AirspaceFiles files = BuildAirspaceFiles(airspaces);
    if (!WriteText(folder + "/Airspace.txt", files.text) ||
        !WriteWholeFile((folder + "/Airspace.idx").c_str(), files.index)) {
        *error = "cannot write the airspaces of " + folder;
        return false;
    }
    return true;
}

bool WriteAirwayFiles(const std::string& folder, const std::vector<AirwaySegment>& high,
                      const std::vector<AirwaySegment>& low, std::string* error)
{
    namespace fs = std::filesystem;
    const std::pair<const char*, const std::vector<AirwaySegment>*> heights[] = {{"HighAltitude", &high},
                                                                                 {"LowAltitude", &low}};
    for (const auto& [name, segments] : heights) {
        std::string dir = folder + "/" + name;
        std::error_code ignored;
        fs::create_directories(dir, ignored);
        RemoveAirwayFiles(dir);
        for (const auto& [degree, text] : BuildAirwayFiles(*segments)) {
            char file[32];
            FormatAirwayFileName(file, sizeof(file), degree);
            if (!WriteText(dir + "/" + file, text)) {
                *error = "cannot write " + dir + "/" + file;
                return false;
            }
        }
    }
    return true;
}
