// Reading and writing airway rows, and the geometry of a segment.
#include "navdata/airway_file.h"

#include "navdata/text_lines.h"
#include "platform/units.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

bool ToPosition(std::string_view latWord, std::string_view lonWord, double* lat, double* lon)
{
    return ParseNumber(latWord, lat) && ParseNumber(lonWord, lon) && *lat >= -90.0 && *lat <= 90.0 && *lon >= -180.0 &&
           *lon <= 180.0;
}

template <size_t N>
void CopyWord(char (&field)[N], std::string_view word, size_t max)
{
    size_t n = std::min({word.size(), N - 1, max});
    std::memcpy(field, word.data(), n);
    field[n] = '\0';
}

// The end longitude moved by 360 degrees when that makes the segment shorter.
double UnwrappedEndLon(const AirwaySegment& s)
{
    double d = s.endLon - s.startLon;
    if (d > 180.0)
        return s.endLon - 360.0;
    if (d < -180.0)
        return s.endLon + 360.0;
    return s.endLon;
}

}  // namespace

// Clipped against each edge in turn; what is left of the line lies inside.
bool LineMeetsBox(double x0, double y0, double x1, double y1, double xMin, double xMax, double yMin, double yMax)
{
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - xMin, xMax - x0, y0 - yMin, yMax - y0};
    double t0 = 0.0, t1 = 1.0;
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0)
                return false;
            continue;
        }
        double t = q[k] / p[k];
        if (p[k] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    return true;
}

bool ParseAirwayRow(std::string_view line, AirwaySegment* out)
{
    if (line.size() < 10)
        return false;
    std::string_view rest = line;
    std::string_view w[9];
    for (std::string_view& word : w)
        word = TakeWord(&rest);
    size_t nameStart = rest.find_first_not_of(" \t");
    if (w[8].empty() || nameStart == std::string_view::npos)
        return false;
    AirwaySegment s;
    if (!ToPosition(w[1], w[2], &s.startLat, &s.startLon) || !ToPosition(w[4], w[5], &s.endLat, &s.endLon))
        return false;
    if (!ParseNumber(w[6], &s.first) || !ParseNumber(w[7], &s.second) || !ParseNumber(w[8], &s.third))
        return false;
    CopyWord(s.startIdent, w[0], 6);
    CopyWord(s.endIdent, w[3], 6);
    std::string_view name = rest.substr(nameStart);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == '\r'))
        name.remove_suffix(1);
    CopyWord(s.name, name, 10);
    *out = s;
    return true;
}

double SegmentBearing(const AirwaySegment& s)
{
    double north = MetresPerDegree * (s.endLat - s.startLat);
    double east =
        MetresPerDegree * (UnwrappedEndLon(s) - s.startLon) * std::cos((s.startLat + s.endLat) * RadiansPerDegree8 / 2);
    double length = std::sqrt(east * east + north * north);
    if (!(length > 0.0))
        return 0.0;
    double a = std::asin(std::clamp(east / length, -1.0, 1.0));
    if (north <= 0.0)
        a = Pi14 - a;
    else if (east < 0.0 && a < 0.0)
        a = 2 * Pi14 + a;
    if (a > Pi14)
        a -= Pi14;
    if (a < 0.0)
        a += Pi14;
    return a;
}

bool SegmentHitsBox(double latLow, double latHigh, double lonLow, double lonHigh, const AirwaySegment& s)
{
    double endLon = UnwrappedEndLon(s);
    for (double shift : {0.0, 360.0, -360.0})
        if (LineMeetsBox(s.startLon, s.startLat, endLon, s.endLat, lonLow + shift, lonHigh + shift, latLow, latHigh))
            return true;
    return false;
}

int WrapDegree(int degree)
{
    return ((degree + 180) % 360 + 360) % 360 - 180;
}

void FormatAirwayFileName(char* out, size_t size, int degree)
{
    if (degree >= 0)
        std::snprintf(out, size, "awy_E%d.txt", degree);
    else
        std::snprintf(out, size, "awy_W%d.txt", -degree);
}

std::map<int, std::string> BuildAirwayFiles(const std::vector<AirwaySegment>& segments)
{
    std::map<int, std::string> files;
    for (const AirwaySegment& s : segments) {
        char row[256];
        int n = std::snprintf(row, sizeof(row), "%.6s %.6f %.6f %.6s %.6f %.6f %d %d %d %.10s\r\n", s.startIdent,
                              s.startLat, s.startLon, s.endIdent, s.endLat, s.endLon, s.first, s.second, s.third,
                              s.name);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof(row))
            continue;
        double endLon = UnwrappedEndLon(s);
        int from = static_cast<int>(std::floor(std::min(s.startLon, endLon)));
        int to = static_cast<int>(std::floor(std::max(s.startLon, endLon)));
        for (int d = from; d <= to; ++d)
            files[WrapDegree(d)] += row;
    }
    return files;
}
