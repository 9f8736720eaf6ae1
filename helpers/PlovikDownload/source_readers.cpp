// Readers of apt.dat, nav.dat and fix.dat, the text formats the open flight
// simulators publish (format versions 810 to 1100), plain or gzipped.
#include "source_readers.h"

#include "platform/codepage.h"
#include "platform/files.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

SourceLineReader::SourceLineReader(const char* path)
{
    char resolved[1024];
    ResolvePath(path, resolved, sizeof(resolved));
    file_ = gzopen(resolved, "rb");
}

SourceLineReader::~SourceLineReader()
{
    if (file_ != nullptr)
        gzclose(file_);
}

bool SourceLineReader::Next(std::string* line)
{
    line->clear();
    char buffer[4096];
    while (gzgets(file_, buffer, sizeof(buffer)) != nullptr) {
        line->append(buffer);
        if (!line->empty() && line->back() == '\n')
            break;
    }
    if (line->empty())
        return false;
    while (!line->empty() && (line->back() == '\n' || line->back() == '\r'))
        line->pop_back();
    return true;
}

namespace {

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

// The words from index `from` joined by blanks, as code page 1252.
std::string Rest(const std::vector<std::string>& words, size_t from)
{
    std::string joined;
    for (size_t i = from; i < words.size(); ++i) {
        if (!joined.empty())
            joined += ' ';
        joined += words[i];
    }
    std::vector<char> converted(joined.size() + 1);
    Utf8ToCp1252(joined.c_str(), converted.data(), converted.size());
    return converted.data();
}

double Number(const std::vector<std::string>& words, size_t i)
{
    return i < words.size() ? std::strtod(words[i].c_str(), nullptr) : 0.0;
}

int Integer(const std::vector<std::string>& words, size_t i)
{
    return i < words.size() ? std::atoi(words[i].c_str()) : 0;
}

bool IsValidPosition(double lat, double lon)
{
    return lat >= -90.0 && lat <= 90.0 && lon >= -180.0 && lon <= 180.0;
}

// The rows of one airport, in the order of the file.
class AirportBuilder {
  public:
    explicit AirportBuilder(ReadCounts* counts) : counts_(counts) {}

    void Start(const std::vector<std::string>& w)
    {
        airport_ = SourceAirport{};
        open_ = w.size() >= 5;
        if (!open_) {
            ++counts_->skipped;
            return;
        }
        airport_.code = Integer(w, 0);
        airport_.elevation = Integer(w, 1);
        airport_.icao = w[4];
        airport_.name = Rest(w, 5);
        shape_ = Shape::None;
    }

    bool IsOpen() const { return open_; }
    SourceAirport& Airport() { return airport_; }

    void Row(int code, const std::vector<std::string>& w)
    {
        if (IsNodeRow(code)) {
            Node(code, w);
            return;
        }
        shape_ = Shape::None;
        switch (code) {
        case 100: LandRunway(w); break;
        case 101: WaterRunway(w); break;
        case 102: Helipad(w); break;
        case 110: StartShape(Shape::Pavement, Rest(w, 4)); break;
        case 120: StartShape(Shape::Line, Rest(w, 1)); break;
        case 130: shape_ = Shape::Skipped; break;  // the boundary is not kept
        case 14:
            if (IsValidPosition(Number(w, 1), Number(w, 2)))
                airport_.towers.push_back({Number(w, 1), Number(w, 2)});
            break;
        case 15: Parking(w, Number(w, 3), "misc", "", Rest(w, 4)); break;
        case 1300: Parking(w, Number(w, 3), w.size() > 4 ? w[4] : "misc", w.size() > 5 ? w[5] : "", Rest(w, 6)); break;
        case 1302: Metadata(w); break;
        case 1201:
            if (w.size() >= 5 && IsValidPosition(Number(w, 1), Number(w, 2)))
                airport_.taxiNodes.push_back({Integer(w, 4), {Number(w, 1), Number(w, 2)}});
            break;
        case 1202:
            if (w.size() >= 5)
                airport_.taxiEdges.push_back({Integer(w, 1), Integer(w, 2), w.size() >= 6 ? Rest(w, 5) : ""});
            break;
        default:
            if ((code >= 50 && code <= 56) || (code >= 1050 && code <= 1056))
                Frequency(code, w);
            break;
        }
    }

  private:
    enum class Shape { None, Pavement, Line, Skipped };

    static bool IsNodeRow(int code) { return code >= 111 && code <= 116; }

    void LandRunway(const std::vector<std::string>& w)
    {
        if (w.size() < 20) {
            ++counts_->skipped;
            return;
        }
        SourceRunway r{};
        r.width = Number(w, 1);
        r.surface = Integer(w, 2);
        r.end[0] = w[8];
        r.point[0] = {Number(w, 9), Number(w, 10)};
        r.end[1] = w[17];
        r.point[1] = {Number(w, 18), Number(w, 19)};
        AddRunway(r);
    }

    void WaterRunway(const std::vector<std::string>& w)
    {
        if (w.size() < 9) {
            ++counts_->skipped;
            return;
        }
        SourceRunway r{};
        r.water = true;
        r.width = Number(w, 1);
        r.surface = 13;
        r.end[0] = w[3];
        r.point[0] = {Number(w, 4), Number(w, 5)};
        r.end[1] = w[6];
        r.point[1] = {Number(w, 7), Number(w, 8)};
        AddRunway(r);
    }

    void AddRunway(const SourceRunway& r)
    {
        if (!IsValidPosition(r.point[0].lat, r.point[0].lon) || !IsValidPosition(r.point[1].lat, r.point[1].lon)) {
            ++counts_->skipped;
            return;
        }
        airport_.runways.push_back(r);
    }

    void Helipad(const std::vector<std::string>& w)
    {
        if (w.size() < 8 || !IsValidPosition(Number(w, 2), Number(w, 3))) {
            ++counts_->skipped;
            return;
        }
        airport_.helipads.push_back(
            {w[1], {Number(w, 2), Number(w, 3)}, Number(w, 4), Number(w, 5), Number(w, 6), Integer(w, 7)});
    }

    void StartShape(Shape shape, const std::string& name)
    {
        shape_ = shape;
        ringClosed_ = false;
        airport_.pavements.push_back({shape == Shape::Line, name, {}});
    }

    // Bezier control points are left out: the shape runs through its nodes.
    void Node(int code, const std::vector<std::string>& w)
    {
        if (shape_ != Shape::Pavement && shape_ != Shape::Line)
            return;
        if (ringClosed_)
            return;  // holes of a pavement, or nodes after a line's end
        double lat = Number(w, 1);
        double lon = Number(w, 2);
        if (w.size() < 3 || !IsValidPosition(lat, lon))
            return;
        airport_.pavements.back().points.push_back({lat, lon});
        if (code == 113 || code == 114 || code == 115 || code == 116)
            ringClosed_ = true;
    }

    void Parking(const std::vector<std::string>& w, double heading, const std::string& kind, const std::string& types,
                 const std::string& name)
    {
        if (w.size() < 4 || !IsValidPosition(Number(w, 1), Number(w, 2)))
            return;
        airport_.parking.push_back({{Number(w, 1), Number(w, 2)}, heading, kind, types, name});
    }

    void Metadata(const std::vector<std::string>& w)
    {
        if (w.size() < 3)
            return;
        const std::string& key = w[1];
        if (key == "city")
            airport_.city = Rest(w, 2);
        else if (key == "country")
            airport_.country = Rest(w, 2);
        else if (key == "iata_code")
            airport_.iata = w[2];
        else if (key == "datum_lat")
            airport_.datum.lat = Number(w, 2);
        else if (key == "datum_lon")
            airport_.datum.lon = Number(w, 2);
        airport_.hasDatum = airport_.hasDatum || key == "datum_lat";
    }

    void Frequency(int code, const std::vector<std::string>& w)
    {
        if (w.size() < 2)
            return;
        int value = Integer(w, 1);
        // The old rows give tens of kilohertz (12345 for 123.45 MHz).
        int kilohertz = code < 1000 ? value * 10 : value;
        airport_.frequencies.push_back({code % 1000, kilohertz, Rest(w, 2)});
    }

    ReadCounts* counts_;
    SourceAirport airport_;
    bool open_ = false;
    Shape shape_ = Shape::None;
    bool ringClosed_ = false;
};

}  // namespace

bool ReadAptDat(const char* path, const std::function<void(SourceAirport&)>& take, ReadCounts* counts)
{
    SourceLineReader reader(path);
    if (!reader.IsOpen())
        return false;
    AirportBuilder builder(counts);
    auto finish = [&] {
        if (builder.IsOpen()) {
            ++counts->records;
            take(builder.Airport());
        }
    };
    std::string line;
    while (reader.Next(&line)) {
        std::vector<std::string> w = Split(line);
        if (w.empty())
            continue;
        int code = std::atoi(w[0].c_str());
        if (code == 1 || code == 16 || code == 17) {
            finish();
            builder.Start(w);
        } else if (code == 99) {
            break;
        } else if (builder.IsOpen()) {
            builder.Row(code, w);
        }
    }
    finish();
    return true;
}

// nav.dat rows: type lat lon elevation frequency range extra ident, then for
// format 810 the name (an ILS: airport runway name), for 1100 the terminal
// region and ICAO region before them.
bool ReadNavDat(const char* path, std::vector<SourceNavaid>* navaids, ReadCounts* counts)
{
    SourceLineReader reader(path);
    if (!reader.IsOpen())
        return false;
    std::string line;
    int version = 810;
    bool header = true;
    while (reader.Next(&line)) {
        std::vector<std::string> w = Split(line);
        if (w.empty())
            continue;
        if (header) {
            // "I"/"A", then "810 Version ..." or "1100 Version ...".
            if (w.size() >= 2 && w[1] == "Version") {
                version = std::atoi(w[0].c_str());
                header = false;
            }
            if (w[0] == "I" || w[0] == "A" || !header)
                continue;
            header = false;
        }
        int type = std::atoi(w[0].c_str());
        if (type == 99)
            break;
        if (w.size() < 9 || !IsValidPosition(Number(w, 1), Number(w, 2))) {
            ++counts->skipped;
            continue;
        }
        SourceNavaid n{type, Number(w, 1), Number(w, 2), Integer(w, 3), Integer(w, 4), Integer(w, 5), Number(w, 6),
                       w[7], "", "", ""};
        size_t next = 8;
        if (version >= 1100) {
            if (w.size() < 10) {
                ++counts->skipped;
                continue;
            }
            if (w[8] != "ENRT")
                n.airport = w[8];
            next = 10;  // the ICAO region is not kept
        }
        if ((type >= 4 && type <= 9) && next + 1 < w.size()) {
            if (version < 1100)
                n.airport = w[next++];
            n.runway = w[next++];
        } else if (version < 1100 && (type == 12 || type == 13) && w.size() >= 11 && w.back() == "DME-ILS") {
            n.airport = w[next++];  // the DME of an ILS: "airport runway DME-ILS"
            n.runway = w[next++];
        }
        n.name = Rest(w, next);
        ++counts->records;
        navaids->push_back(n);
    }
    return true;
}

// fix.dat rows: lat lon name (format 600), plus airport, region and type
// words (format 1100) which are not kept.
bool ReadFixDat(const char* path, std::vector<SourceFix>* fixes, ReadCounts* counts)
{
    SourceLineReader reader(path);
    if (!reader.IsOpen())
        return false;
    std::string line;
    bool header = true;
    while (reader.Next(&line)) {
        std::vector<std::string> w = Split(line);
        if (w.empty())
            continue;
        if (header && (w[0] == "I" || w[0] == "A" || (w.size() >= 2 && w[1] == "Version")))
            continue;
        header = false;
        if (w[0] == "99")
            break;
        double lat = Number(w, 0);
        double lon = Number(w, 1);
        if (w.size() < 3 || !IsValidPosition(lat, lon)) {
            ++counts->skipped;
            continue;
        }
        ++counts->records;
        fixes->push_back({lat, lon, w[2]});
    }
    return true;
}
