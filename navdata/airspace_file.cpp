// Reading and writing the airspace text and its index.
#include "navdata/airspace_file.h"

#include "navdata/text_lines.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

bool IsLatitude(double v) { return v >= -90.0 && v <= 90.0; }
bool IsLongitude(double v) { return v >= -180.0 && v <= 180.0; }

template <size_t N>
void CopyWord(char (&field)[N], std::string_view word)
{
    size_t n = std::min(word.size(), N - 1);
    std::memcpy(field, word.data(), n);
    field[n] = '\0';
}

void FirstUnderscoreToBlank(char* text)
{
    if (char* u = std::strchr(text, '_'))
        *u = ' ';
}

int CellOf(const AirspaceRecord& a)
{
    double lon = (a.lonMin + a.lonMax) / 2, lat = (a.latMin + a.latMax) / 2;
    int column = std::clamp(static_cast<int>(std::floor((lon + 180.0) / 40.0)), 0, AirspaceIndexColumns - 1);
    int row = std::clamp(static_cast<int>(std::floor((lat + 90.0) / 36.0)), 0, AirspaceIndexRows - 1);
    return row * AirspaceIndexColumns + column;
}

// A word for the text: blanks become '_', empty becomes "-".
std::string FileWord(const char* text, size_t max)
{
    std::string word(text, strnlen(text, max));
    for (char& c : word)
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            c = '_';
    return word.empty() ? "-" : word;
}

std::string NameText(const char* name)
{
    std::string text(name, strnlen(name, sizeof(AirspaceRecord::name) - 1));
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    return text;
}

void AppendFormat(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendFormat(std::string* out, const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (n > 0)
        out->append(buffer, std::min(static_cast<size_t>(n), sizeof(buffer) - 1));
}

}  // namespace

int AirspaceClassIndex(const char* airspaceClass)
{
    if (std::strcmp(airspaceClass, "CTR") == 0)
        return 8;
    if (airspaceClass[0] == '\0' || airspaceClass[1] != '\0')
        return -1;
    const char* at = std::strchr("ABCDEFGR", airspaceClass[0]);
    return at ? static_cast<int>(at - "ABCDEFGR") : -1;
}

AirspaceHeader ParseAirspaceHeader(std::string_view line, AirspaceRecord* out, int* pointCount,
                                   const char** problem)
{
    if (line.find("ASP") == std::string_view::npos)
        return AirspaceHeader::NotHeader;
    std::string_view rest = line;
    std::string_view words[10];
    for (std::string_view& w : words)
        w = TakeWord(&rest);
    if (words[9].empty()) {
        *problem = "header cut short";
        return AirspaceHeader::Malformed;
    }
    AirspaceRecord& r = *out;
    r = AirspaceRecord{};
    int count = 0;
    if (!ParseNumber(words[1], &count)) {
        *problem = "point count not a number";
        return AirspaceHeader::Malformed;
    }
    if (count < 2 || count > AirspaceMaxPoints) {
        *problem = count < 2 ? "fewer than two points" : "more points than an outline holds";
        return AirspaceHeader::Malformed;
    }
    if (words[2].size() >= sizeof(r.airspaceClass)) {
        *problem = "unknown class";
        return AirspaceHeader::Malformed;
    }
    CopyWord(r.airspaceClass, words[2]);
    if (AirspaceClassIndex(r.airspaceClass) < 0) {
        *problem = "unknown class";
        return AirspaceHeader::Malformed;
    }
    if (!ParseNumber(words[3], &r.latMin) || !ParseNumber(words[4], &r.latMax) || !ParseNumber(words[5], &r.lonMin) ||
        !ParseNumber(words[6], &r.lonMax) || !IsLatitude(r.latMin) || !IsLatitude(r.latMax) ||
        !IsLongitude(r.lonMin) || !IsLongitude(r.lonMax) || r.latMin > r.latMax || r.lonMin > r.lonMax) {
        *problem = "box out of range";
        return AirspaceHeader::Malformed;
    }
    if (!ParseNumber(words[7], &r.frequency)) {
        *problem = "frequency not a number";
        return AirspaceHeader::Malformed;
    }
    CopyWord(r.lower, words[8]);
    CopyWord(r.upper, words[9]);
    FirstUnderscoreToBlank(r.lower);
    FirstUnderscoreToBlank(r.upper);
    size_t nameStart = rest.find_first_not_of(" \t");
    if (nameStart != std::string_view::npos) {
        std::string_view name = rest.substr(nameStart);
        name = name.substr(0, name.find('\n'));
        CopyWord(r.name, name);
    }
    *pointCount = count;
    return AirspaceHeader::Ok;
}

bool ParseAirspacePoint(std::string_view line, AirspacePoint* out)
{
    std::string_view rest = line;
    std::string_view lat = TakeWord(&rest), lon = TakeWord(&rest);
    if (!TakeWord(&rest).empty())
        return false;
    return ParseNumber(lat, &out->lat) && ParseNumber(lon, &out->lon) && IsLatitude(out->lat) && IsLongitude(out->lon);
}

bool BoxesOverlap(double lonMin, double lonMax, double latMin, double latMax, double latLow, double latHigh,
                  double lonLow, double lonHigh)
{
    return !(latLow > latMax || latHigh < latMin || lonLow > lonMax || lonHigh < lonMin);
}

std::vector<AirspaceIndexCell> ParseAirspaceIndex(const uint8_t* data, size_t size)
{
    size_t count = std::min(size / sizeof(AirspaceIndexCell), static_cast<size_t>(AirspaceIndexCells));
    std::vector<AirspaceIndexCell> cells(count);
    if (count > 0)
        std::memcpy(cells.data(), data, count * sizeof(AirspaceIndexCell));
    return cells;
}

AirspaceFiles BuildAirspaceFiles(const std::vector<AirspaceRecord>& airspaces)
{
    std::vector<std::vector<const AirspaceRecord*>> byCell(AirspaceIndexCells);
    for (const AirspaceRecord& a : airspaces)
        byCell[CellOf(a)].push_back(&a);
    AirspaceFiles files;
    std::vector<AirspaceIndexCell> cells(AirspaceIndexCells);
    for (int c = 0; c < AirspaceIndexCells; ++c) {
        AirspaceIndexCell& cell = cells[c];
        cell = {1000.0, -1000.0, 1000.0, -1000.0, static_cast<int32_t>(files.text.size()), {}};
        for (const AirspaceRecord* a : byCell[c]) {
            cell.lonMin = std::min(cell.lonMin, a->lonMin);
            cell.lonMax = std::max(cell.lonMax, a->lonMax);
            cell.latMin = std::min(cell.latMin, a->latMin);
            cell.latMax = std::max(cell.latMax, a->latMax);
            AppendFormat(&files.text, "ASP %zu %s %.6f %.6f %.6f %.6f %d %s %s %s\r\n", a->points.size(),
                         FileWord(a->airspaceClass, sizeof(a->airspaceClass) - 1).c_str(), a->latMin, a->latMax,
                         a->lonMin, a->lonMax, a->frequency, FileWord(a->lower, sizeof(a->lower) - 1).c_str(),
                         FileWord(a->upper, sizeof(a->upper) - 1).c_str(), NameText(a->name).c_str());
            for (const AirspacePoint& p : a->points)
                AppendFormat(&files.text, "%.6f %.6f\r\n", p.lat, p.lon);
        }
    }
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(cells.data());
    files.index.assign(bytes, bytes + cells.size() * sizeof(AirspaceIndexCell));
    return files;
}
