// Georeference files of the local maps (from the map folder or its zip
// package) into the staging set, offset.txt, and the staging-to-active copy.
#include "display/map_georeference.h"

#include "app/settings.h"
#include "platform/log.h"
#include "app/winmain.h"
#include "maps/local_maps.h"
#include "navdata/text_lines.h"
#include "navdata/zip_entry.h"
#include "platform/files.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

// GUI thread: the georeference loaders and ApplyMapGeoreference.
std::vector<OffsetRecord> StagingOffsets;
std::vector<OffsetRecord> ActiveOffsets;
GeorefSheetRecord GridCorners;

std::vector<std::string> Tokens(const std::string& text)
{
    std::vector<std::string> tokens;
    std::istringstream in(text);
    std::string token;
    while (in >> token)
        tokens.push_back(token);
    return tokens;
}

// The largest magnitude each polynomial term reaches anywhere on earth
// (|lon| <= 180, |lat| <= 90), in the order of the coefficients.
constexpr double TermsA[7] = {180.0 * 180, 180, 90.0 * 90, 90, 180.0 * 90, 1, 180.0 * 180 * 90 * 90};
constexpr double TermsBx[7] = {1, 180, 90, 180.0 * 90, 180.0 * 180, 90.0 * 90, 90.0 * 90 * 90};
constexpr double TermsBy[7] = {1, 180, 90, 180.0 * 90, 180.0 * 180, 90.0 * 90, 180.0 * 180 * 180};

// The next token as a finite number within limit either way; why says what
// was wrong with it.
bool TakeNumber(const std::vector<std::string>& t, size_t* at, double limit, double* out, std::string* why)
{
    if (*at >= t.size()) {
        *why = "cut short";
        return false;
    }
    const std::string& token = t[(*at)++];
    if (!ParseNumber(token, out) || std::fabs(*out) > limit) {
        *why = "\"" + token.substr(0, 32) + "\" is no number of its range";
        return false;
    }
    return true;
}

// Coefficients whose pixels could pass GeorefPixelLimit somewhere on earth
// describe no map.
bool PolynomialInRange(const double c[7], const double terms[7])
{
    double sum = 0;
    for (int i = 0; i < 7; i++)
        sum += std::fabs(c[i]) * terms[i];
    return sum <= GeorefPixelLimit;
}

bool ReadCoefficients(int kind, const std::vector<std::string>& t, size_t* at, std::string* why)
{
    double a[7], b[7];
    for (double& c : a)
        if (!TakeNumber(t, at, GeorefPixelLimit, &c, why))
            return false;
    for (double& c : b)
        if (!TakeNumber(t, at, GeorefPixelLimit, &c, why))
            return false;
    bool inRange = kind == GeorefPolynomialA ? PolynomialInRange(a, TermsA) && PolynomialInRange(b, TermsA)
                                             : PolynomialInRange(a, TermsBx) && PolynomialInRange(b, TermsBy);
    if (!inRange) {
        *why = "coefficients give pixels beyond any map";
        return false;
    }
    for (int i = 0; i < 7; i++) {
        StagingGeoreference.a[i] = ActiveGeoreference.a[i] = a[i];
        StagingGeoreference.b[i] = ActiveGeoreference.b[i] = b[i];
    }
    return true;
}

int GridCount(double span, double step)
{
    double n = span / step + 1.1;
    if (!std::isfinite(n) || n < 0.0 || n > 1e6)
        return 0;
    return static_cast<int>(n);
}

void SetCorner(int k, double lat, double lon, const GeorefGridPoint& p)
{
    GridCorners.corners[k].latitude = static_cast<float>(lat);
    GridCorners.corners[k].longitude = static_cast<float>(lon);
    GridCorners.corners[k].x = p.x;
    GridCorners.corners[k].y = p.y;
}

bool ReadGrid(const std::vector<std::string>& t, size_t* at, std::string* why)
{
    // North, south, east, west, the latitude and the longitude step.
    const double limits[6] = {90, 90, 180, 180, 180, 180};
    double v[6] = {};
    for (int i = 0; i < 6; i++)
        if (!TakeNumber(t, at, limits[i], &v[i], why))
            return false;
    double north = v[0], south = v[1], east = v[2], west = v[3];
    int rows = GridCount(north - south, v[4]);
    int columns = GridCount(east - west, v[5]);
    std::vector<GeorefGridPoint> points;
    if (rows < 41 && columns < 41) {
        for (int i = 0; i < rows * columns; i++) {
            double x, y;
            if (!TakeNumber(t, at, GeorefPointLimit, &x, why) || !TakeNumber(t, at, GeorefPointLimit, &y, why))
                return false;
            if (x != std::trunc(x) || y != std::trunc(y)) {
                *why = "a grid point is no whole pixel";
                return false;
            }
            points.push_back({static_cast<int32_t>(x), static_cast<int32_t>(y)});
        }
    }
    MapGeoreference& g = StagingGeoreference;
    g.lat0 = north;
    g.lon0 = west;
    g.dLat = v[4];
    g.dLon = v[5];
    g.rows = rows;
    g.columns = columns;
    if (points.empty())
        return true;
    for (int r = 0; r < g.rows; r++)
        for (int c = 0; c < g.columns; c++)
            g.points[r][c] = points[static_cast<size_t>(r * g.columns + c)];
    if (g.rows > 0 && g.columns > 0) {
        SetCorner(0, north, west, g.points[0][0]);
        SetCorner(1, north, east, g.points[0][g.columns - 1]);
        SetCorner(2, south, east, g.points[g.rows - 1][g.columns - 1]);
        SetCorner(3, south, west, g.points[g.rows - 1][0]);
    }
    return true;
}

void CurrentMapFolder(char* out, size_t size)
{
    GetLocalMapFolder(out, size);
    NormalizePath(out);
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

// Latitude degrees, minutes, longitude degrees, minutes, radius in minutes,
// dx, dy; a line with a field that is no number of its range is no record.
bool ParseOffsetLine(const char* line, OffsetRecord* r)
{
    std::vector<std::string> t = Tokens(line);
    const double limits[7] = {90, 60, 180, 60, 180 * 60, GeorefPointLimit, GeorefPointLimit};
    double v[7];
    size_t at = 0;
    std::string why;
    for (int i = 0; i < 7; i++)
        if (!TakeNumber(t, &at, limits[i], &v[i], &why))
            return false;
    if (v[5] != std::trunc(v[5]) || v[6] != std::trunc(v[6]))
        return false;
    double la = v[0], lo = v[2];
    int dx = static_cast<int>(v[5]), dy = static_cast<int>(v[6]);
    r->radius = std::fabs(v[4]) / 60.0;
    r->latitude = la >= 0 ? la + v[1] / 60.0 : la - v[1] / 60.0;
    r->longitude = lo >= 0 ? lo + v[3] / 60.0 : lo - v[3] / 60.0;
    r->north = r->latitude + r->radius;
    r->south = r->latitude - r->radius;
    r->east = r->longitude + r->radius;
    r->west = r->longitude - r->radius;
    r->dx = dx;
    r->dy = dy;
    return true;
}

} // namespace

const std::vector<OffsetRecord>& GetStagingOffsets()
{
    return StagingOffsets;
}

const std::vector<OffsetRecord>& GetActiveOffsets()
{
    return ActiveOffsets;
}

const GeorefSheetRecord& GetGridCornerRecord()
{
    return GridCorners;
}

int ParseGeoreference(const std::string& text, const char* source)
{
    std::vector<std::string> t = Tokens(text);
    if (t.empty())
        return -1;
    size_t at = 0;
    int kind = -1;
    std::string why = "its kind is no number";
    bool read = ParseNumber(t[at++], &kind);
    if (read && (kind == GeorefPolynomialA || kind == GeorefPolynomialB))
        read = ReadCoefficients(kind, t, &at, &why);
    else if (read && kind == GeorefGrid)
        read = ReadGrid(t, &at, &why);
    if (!read) {
        // Nothing of it is drawn: a map placed by half a georeference would
        // show the aircraft where it is not.
        WriteLogF("georeference %s refused: %s", source ? source : "", why.c_str());
        StagingGeoreference.kind = GeorefRefused;
        return -1;
    }
    if (kind == GeorefPolynomialA || kind == GeorefPolynomialB || kind == GeorefGrid)
        LoadOffsets();
    else if (kind == GeorefSheets)
        StagingOffsets.clear();
    StagingGeoreference.kind = kind;
    return kind;
}

void LoadMapGeoreference()
{
    if (IsQuitRequested())
        return;
    char folder[512], name[256], path[800];
    CurrentMapFolder(folder, sizeof folder);
    GetGeorefFileName(name, sizeof name);
    snprintf(path, sizeof path, "%s%s", folder, name);
    FILE* file = OpenFile(path, "rb");
    if (!file) {
        LoadZippedGeoreference();
        return;
    }
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < (1u << 20))
        text.append(buffer, n);
    fclose(file);
    ParseGeoreference(text, path);
}

int LoadZippedGeoreference()
{
    char folder[512], name[256];
    CurrentMapFolder(folder, sizeof folder);
    GetGeorefFileName(name, sizeof name);
    return LoadZippedGeoreferenceFrom(folder, name);
}

int LoadZippedGeoreferenceFrom(const char* folder, const char* name)
{
    std::string base = folder;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    size_t slash = base.rfind('/');
    std::string last = slash == std::string::npos ? base : base.substr(slash + 1);
    std::string package = base + ".zip";
    std::string entry = last + "/" + name;
    char resolved[800];
    if (!ResolvePath(package.c_str(), resolved, sizeof resolved))
        return 0;
    std::vector<char> bytes;
    size_t size = 0;
    if (!ReadZipEntry(resolved, entry.c_str(), &bytes, &size))
        return -2;
    std::string text(bytes.data(), size);
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    ParseGeoreference(text, (package + ":" + entry).c_str());
    return 0;
}

void LoadOffsets()
{
    char path[600];
    snprintf(path, sizeof path, "%s/offset.txt", SystemFolder);
    LoadOffsetsFrom(path, Settings.MapName);
}

void LoadOffsetsFrom(const char* path, const char* mapName)
{
    StagingOffsets.clear();
    FILE* file = OpenFile(path, "r");
    if (!file)
        return;
    std::string marker = Upper(mapName ? mapName : "");
    char line[512];
    bool inSection = false;
    while (fgets(line, sizeof line, file)) {
        std::string upper = Upper(line);
        if (!inSection) {
            inSection = !marker.empty() && upper.find(marker) != std::string::npos;
            continue;
        }
        if (upper.find('[') != std::string::npos && upper.find(']') != std::string::npos)
            break;
        if (strlen(line) < 11 || line[0] == '/')
            continue;
        OffsetRecord r;
        if (ParseOffsetLine(line, &r))
            StagingOffsets.push_back(r);
        if (StagingOffsets.size() >= MaxOffsetRecords)
            break;
    }
    fclose(file);
}

void ApplyMapGeoreference()
{
    const MapGeoreference& s = StagingGeoreference;
    MapGeoreference& a = ActiveGeoreference;
    if (s.kind == GeorefPolynomialA || s.kind == GeorefPolynomialB) {
        memcpy(a.a, s.a, sizeof a.a);
        memcpy(a.b, s.b, sizeof a.b);
    } else if (s.kind == GeorefGrid) {
        a.lat0 = s.lat0;
        a.lon0 = s.lon0;
        a.dLat = s.dLat;
        a.dLon = s.dLon;
        a.rows = s.rows;
        a.columns = s.columns;
        memcpy(a.points, s.points, sizeof a.points);
    }
    a.kind = s.kind;
    ActiveOffsets = StagingOffsets;
}
