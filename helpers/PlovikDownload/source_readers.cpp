// Readers of apt.dat, nav.dat and fix.dat, the text formats the open flight
// simulators publish (format versions 810 to 1100), plain or gzipped.
#include "source_readers.h"

#include "platform/codepage.h"
#include "platform/files.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

SourceLineReader::SourceLineReader(const char* path)
{
    char resolved[1024];
    ResolvePath(path, resolved, sizeof(resolved));
    file_ = gzopen(resolved, "rb");
    struct stat st;
    if (file_ != nullptr && stat(resolved, &st) == 0 && S_ISREG(st.st_mode))
        size_ = st.st_size;
}

double SourceLineReader::Fraction() const
{
    if (file_ == nullptr || size_ <= 0)
        return 0.0;
    // The offset in the file as stored, compressed or not.
    return std::clamp(static_cast<double>(gzoffset(file_)) / static_cast<double>(size_), 0.0, 1.0);
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
    return FromUtf8(joined);
}

double Number(const std::vector<std::string>& words, size_t i)
{
    return i < words.size() ? std::strtod(words[i].c_str(), nullptr) : 0.0;
}

int Integer(const std::vector<std::string>& words, size_t i)
{
    return i < words.size() ? std::atoi(words[i].c_str()) : 0;
}

// No radio the formats name tunes above a gigahertz; a larger number is a
// damaged row (and the record's units, ten or a hundred times the file's,
// would overflow).
constexpr long MaxFrequency = 1000000;

// A frequency word within 0..MaxFrequency; false for any other.
bool FrequencyWord(const std::vector<std::string>& words, size_t i, int* out)
{
    if (i >= words.size())
        return false;
    char* end = nullptr;
    long value = std::strtol(words[i].c_str(), &end, 10);
    if (end == words[i].c_str() || value < 0 || value > MaxFrequency)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool IsValidPosition(double lat, double lon)
{
    return lat >= -90.0 && lat <= 90.0 && lon >= -180.0 && lon <= 180.0;
}

// A point of a cubic curve from a to b with the control points ca, cb.
SourcePoint CurvePoint(const SourcePoint& a, const SourcePoint& ca, const SourcePoint& cb, const SourcePoint& b,
                       double t)
{
    double u = 1 - t;
    double k0 = u * u * u, k1 = 3 * u * u * t, k2 = 3 * u * t * t, k3 = t * t * t;
    return {k0 * a.lat + k1 * ca.lat + k2 * cb.lat + k3 * b.lat, k0 * a.lon + k1 * ca.lon + k2 * cb.lon + k3 * b.lon};
}

}  // namespace

std::vector<SourcePoint> ExpandCurves(const std::vector<CurveNode>& nodes, bool closed)
{
    constexpr int Steps = 8;
    std::vector<SourcePoint> out;
    size_t n = nodes.size();
    size_t segments = closed ? n : (n > 0 ? n - 1 : 0);
    for (size_t i = 0; i < segments; ++i) {
        const CurveNode& a = nodes[i];
        const CurveNode& b = nodes[(i + 1) % n];
        out.push_back(a.point);
        if (!a.curved && !b.curved)
            continue;
        SourcePoint leave = a.curved ? a.control : a.point;
        SourcePoint arrive = b.curved ? SourcePoint{2 * b.point.lat - b.control.lat, 2 * b.point.lon - b.control.lon}
                                      : b.point;
        // A mirror off the earth would bend the curve off it: arrive straight.
        if (!IsValidPosition(arrive.lat, arrive.lon))
            arrive = b.point;
        for (int k = 1; k < Steps; ++k)
            out.push_back(CurvePoint(a.point, leave, arrive, b.point, static_cast<double>(k) / Steps));
    }
    if (!closed && n > 0)
        out.push_back(nodes.back().point);
    if (closed && n == 1)
        out.push_back(nodes[0].point);
    return out;
}

namespace {

struct Flat {
    double x, y;
};

double Cross(const Flat& a, const Flat& b, const Flat& c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool InsideTriangle(const Flat& p, const Flat& a, const Flat& b, const Flat& c)
{
    return Cross(a, b, p) >= 0 && Cross(b, c, p) >= 0 && Cross(c, a, p) >= 0;
}

bool SamePoint(const Flat& a, const Flat& b)
{
    return a.x == b.x && a.y == b.y;
}

// Ear clipping over the ring as a linked list of corners. Only corners that
// are not convex can lie inside an ear, so those sit in a grid of cells of
// about one corner each and an ear is checked against the cells its box
// covers: a cut costs about the same whatever the length of the ring.
class EarClipper {
  public:
    static constexpr size_t ForcedCutsBeforeGivingUp = 8;

    // flat runs counter-clockwise.
    explicit EarClipper(const std::vector<Flat>& flat) : flat_(flat), n_(flat.size())
    {
        next_.resize(n_);
        prev_.resize(n_);
        for (size_t i = 0; i < n_; ++i) {
            next_[i] = (i + 1) % n_;
            prev_[i] = (i + n_ - 1) % n_;
        }
        indexed_.assign(n_, false);
        inGrid_.assign(n_, false);
        LayGrid();
        for (size_t i = 0; i < n_; ++i)
            Update(i);
    }

    // The triangles as triples of corner numbers.
    std::vector<size_t> Cut()
    {
        std::vector<size_t> out;
        size_t left = n_, v = 0, misses = 0, forced = 0;
        while (left > 3) {
            size_t p = prev_[v], q = next_[v];
            double turn = Cross(flat_[p], flat_[v], flat_[q]);
            // A corner on a straight line or at a spike's tip encloses nothing.
            bool flat = turn == 0;
            // A ring that crosses itself may run out of ears: cut anyway. One
            // that keeps doing so is cut at its convex corners, so that it
            // costs no more than a sound ring.
            bool force = misses >= left;
            bool ear = turn > 0 && (forced > ForcedCutsBeforeGivingUp || IsEmpty(p, v, q));
            if (flat || force || ear) {
                if (!flat)
                    out.insert(out.end(), {p, v, q});
                forced += force ? 1 : 0;
                Remove(v);
                --left;
                Update(p);
                Update(q);
                // On past the next corner: cutting the neighbour of the last
                // cut again and again would fan long thin triangles.
                v = next_[q];
                misses = 0;
            } else {
                v = q;
                ++misses;
            }
        }
        size_t p = prev_[v], q = next_[v];
        if (Cross(flat_[p], flat_[v], flat_[q]) != 0)
            out.insert(out.end(), {p, v, q});
        return out;
    }

  private:
    void LayGrid()
    {
        minX_ = maxX_ = flat_[0].x;
        minY_ = maxY_ = flat_[0].y;
        for (const Flat& f : flat_) {
            minX_ = std::min(minX_, f.x);
            maxX_ = std::max(maxX_, f.x);
            minY_ = std::min(minY_, f.y);
            maxY_ = std::max(maxY_, f.y);
        }
        double w = maxX_ - minX_, h = maxY_ - minY_;
        double cell = std::sqrt(w * h / static_cast<double>(n_));
        if (!(cell > 0) || !std::isfinite(cell))
            cell = std::max(w, h) / static_cast<double>(n_);
        if (!(cell > 0) || !std::isfinite(cell))
            cell = 1;
        columns_ = CellCount(w / cell);
        rows_ = CellCount(h / cell);
        cellW_ = w / static_cast<double>(columns_);
        cellH_ = h / static_cast<double>(rows_);
        cells_.resize(columns_ * rows_);
    }

    size_t CellCount(double span) const
    {
        return span >= static_cast<double>(n_) ? n_ : std::max<size_t>(1, static_cast<size_t>(std::ceil(span)));
    }

    // The cell of a coordinate along one side, clamped into the grid.
    static size_t CellOf(double offset, double size, size_t count)
    {
        double k = size > 0 ? offset / size : 0;
        if (!(k >= 0))
            return 0;
        return k >= static_cast<double>(count - 1) ? count - 1 : static_cast<size_t>(k);
    }

    size_t CellIndex(const Flat& f) const
    {
        return CellOf(f.y - minY_, cellH_, rows_) * columns_ + CellOf(f.x - minX_, cellW_, columns_);
    }

    // Whether v is now a corner an ear must not cover.
    void Update(size_t v)
    {
        indexed_[v] = Cross(flat_[prev_[v]], flat_[v], flat_[next_[v]]) <= 0;
        if (indexed_[v] && !inGrid_[v]) {
            cells_[CellIndex(flat_[v])].push_back(v);
            inGrid_[v] = true;
        }
    }

    void Remove(size_t v)
    {
        next_[prev_[v]] = next_[v];
        prev_[next_[v]] = prev_[v];
        indexed_[v] = false;
    }

    // No corner that is not convex lies in the triangle p, v, q.
    bool IsEmpty(size_t p, size_t v, size_t q) const
    {
        const Flat& a = flat_[p];
        const Flat& b = flat_[v];
        const Flat& c = flat_[q];
        Flat low{std::min({a.x, b.x, c.x}), std::min({a.y, b.y, c.y})};
        Flat high{std::max({a.x, b.x, c.x}), std::max({a.y, b.y, c.y})};
        size_t x0 = CellOf(low.x - minX_, cellW_, columns_), x1 = CellOf(high.x - minX_, cellW_, columns_);
        size_t y0 = CellOf(low.y - minY_, cellH_, rows_), y1 = CellOf(high.y - minY_, cellH_, rows_);
        for (size_t y = y0; y <= y1; ++y) {
            for (size_t x = x0; x <= x1; ++x) {
                for (size_t k : cells_[y * columns_ + x]) {
                    if (!indexed_[k] || k == p || k == v || k == q)
                        continue;
                    const Flat& f = flat_[k];
                    if (f.x < low.x || f.x > high.x || f.y < low.y || f.y > high.y)
                        continue;
                    if (SamePoint(f, a) || SamePoint(f, b) || SamePoint(f, c))
                        continue;
                    if (InsideTriangle(f, a, b, c))
                        return false;
                }
            }
        }
        return true;
    }

    const std::vector<Flat>& flat_;
    size_t n_;
    std::vector<size_t> next_, prev_;
    std::vector<bool> indexed_, inGrid_;
    double minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0, cellW_ = 1, cellH_ = 1;
    size_t columns_ = 1, rows_ = 1;
    std::vector<std::vector<size_t>> cells_;
};

}  // namespace

std::vector<SourcePoint> TriangulateRing(const std::vector<SourcePoint>& ring)
{
    std::vector<SourcePoint> points;
    for (const SourcePoint& p : ring) {
        if (!std::isfinite(p.lat) || !std::isfinite(p.lon))
            return {};
        if (points.empty() || p.lat != points.back().lat || p.lon != points.back().lon)
            points.push_back(p);
    }
    while (points.size() > 1 && points.front().lat == points.back().lat && points.front().lon == points.back().lon)
        points.pop_back();
    std::vector<SourcePoint> out;
    if (points.size() < 3)
        return out;
    // Laid flat round the first point, counter-clockwise.
    double scale = std::cos(points[0].lat * M_PI / 180.0);
    std::vector<Flat> flat;
    double area = 0;
    for (const SourcePoint& p : points)
        flat.push_back({(p.lon - points[0].lon) * scale, p.lat - points[0].lat});
    for (size_t i = 0; i < flat.size(); ++i) {
        const Flat& a = flat[i];
        const Flat& b = flat[(i + 1) % flat.size()];
        area += a.x * b.y - b.x * a.y;
    }
    if (area == 0 || !std::isfinite(area))
        return out;
    if (area < 0) {
        std::reverse(points.begin(), points.end());
        std::reverse(flat.begin(), flat.end());
    }
    for (size_t k : EarClipper(flat).Cut())
        out.push_back(points[k]);
    return out;
}

namespace {

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
    SourceAirport& Airport()
    {
        FinishShape();
        return airport_;
    }

    void Row(int code, const std::vector<std::string>& w)
    {
        if (IsNodeRow(code)) {
            Node(code, w);
            return;
        }
        FinishShape();
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
        FinishShape();
        shape_ = shape;
        ringClosed_ = false;
        closedLoop_ = false;
        nodes_.clear();
        airport_.pavements.push_back({shape == Shape::Line, name, {}});
    }

    // Nodes 112, 114 and 116 carry a control point: the curve leaves the
    // node towards it and arrives along its mirror image.
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
        CurveNode node{{lat, lon}, false, {lat, lon}};
        bool curved = code == 112 || code == 114 || code == 116;
        if (curved && w.size() >= 5 && IsValidPosition(Number(w, 3), Number(w, 4))) {
            node.curved = true;
            node.control = {Number(w, 3), Number(w, 4)};
        }
        nodes_.push_back(node);
        if (code == 113 || code == 114 || code == 115 || code == 116) {
            ringClosed_ = true;
            // Areas are rings by nature; a line is one only when it says so.
            closedLoop_ = shape_ == Shape::Pavement || code == 113 || code == 114;
        }
    }

    void FinishShape()
    {
        if ((shape_ == Shape::Pavement || shape_ == Shape::Line) && !nodes_.empty()) {
            std::vector<SourcePoint>& points = airport_.pavements.back().points;
            points = ExpandCurves(nodes_, closedLoop_ || shape_ == Shape::Pavement);
            if (shape_ == Shape::Line && closedLoop_)
                points.push_back(points.front());  // a drawn loop ends where it began
        }
        nodes_.clear();
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
        // A reference point off the earth is no reference point.
        double value = Number(w, 2);
        if (key == "datum_lat" && IsValidPosition(value, 0.0)) {
            airport_.datum.lat = value;
            airport_.hasDatum = true;
        } else if (key == "datum_lon" && IsValidPosition(0.0, value)) {
            airport_.datum.lon = value;
        } else if (key == "datum_lat" || key == "datum_lon") {
            ++counts_->skipped;
        }
    }

    void Frequency(int code, const std::vector<std::string>& w)
    {
        int value = 0;
        if (!FrequencyWord(w, 1, &value)) {
            ++counts_->skipped;
            return;
        }
        // The old rows give tens of kilohertz (12345 for 123.45 MHz).
        int kilohertz = code < 1000 ? value * 10 : value;
        airport_.frequencies.push_back({code % 1000, kilohertz, Rest(w, 2)});
    }

    ReadCounts* counts_;
    SourceAirport airport_;
    bool open_ = false;
    Shape shape_ = Shape::None;
    bool ringClosed_ = false;
    bool closedLoop_ = false;
    std::vector<CurveNode> nodes_;
};

}  // namespace

bool ReadAptDat(const char* path, const std::function<void(SourceAirport&)>& take, ReadCounts* counts,
                const std::function<void(double)>& read)
{
    SourceLineReader reader(path);
    if (!reader.IsOpen())
        return false;
    AirportBuilder builder(counts);
    auto finish = [&] {
        if (builder.IsOpen()) {
            ++counts->records;
            take(builder.Airport());
            if (read)
                read(reader.Fraction());
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
        int frequency = 0;
        if (!FrequencyWord(w, 4, &frequency)) {
            ++counts->skipped;
            continue;
        }
        SourceNavaid n{type, Number(w, 1), Number(w, 2), Integer(w, 3), frequency, Integer(w, 5), Number(w, 6),
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
