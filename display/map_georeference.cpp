// Georeference files of the local maps (from the map folder or its zip
// package) into the staging set, offset.txt, and the staging-to-active copy.
#include "display/map_georeference.h"

#include "app/program_root.h"
#include "app/settings.h"
#include "app/winmain.h"
#include "maps/local_maps.h"
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

void ReadCoefficients(const std::vector<std::string>& t, size_t* at)
{
    for (int i = 0; i < 7 && *at < t.size(); i++, (*at)++) {
        StagingGeoreference.a[i] = atof(t[*at].c_str());
        ActiveGeoreference.a[i] = StagingGeoreference.a[i];
    }
    for (int i = 0; i < 7 && *at < t.size(); i++, (*at)++) {
        StagingGeoreference.b[i] = atof(t[*at].c_str());
        ActiveGeoreference.b[i] = StagingGeoreference.b[i];
    }
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

void ReadGrid(const std::vector<std::string>& t, size_t* at)
{
    double v[6] = {};
    for (int i = 0; i < 6 && *at < t.size(); i++, (*at)++)
        v[i] = atof(t[*at].c_str());
    MapGeoreference& g = StagingGeoreference;
    double north = v[0], south = v[1], east = v[2], west = v[3];
    g.lat0 = north;
    g.lon0 = west;
    g.dLat = v[4];
    g.dLon = v[5];
    g.rows = GridCount(north - south, g.dLat);
    g.columns = GridCount(east - west, g.dLon);
    if (g.rows >= 41 || g.columns >= 41)
        return;
    for (int r = 0; r < g.rows; r++) {
        for (int c = 0; c < g.columns && *at + 1 < t.size(); c++, *at += 2) {
            g.points[r][c].x = atoi(t[*at].c_str());
            g.points[r][c].y = atoi(t[*at + 1].c_str());
        }
    }
    if (g.rows > 0 && g.columns > 0) {
        SetCorner(0, north, west, g.points[0][0]);
        SetCorner(1, north, east, g.points[0][g.columns - 1]);
        SetCorner(2, south, east, g.points[g.rows - 1][g.columns - 1]);
        SetCorner(3, south, west, g.points[g.rows - 1][0]);
    }
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

bool ParseOffsetLine(const char* line, OffsetRecord* r)
{
    char latDeg[64], latMin[64], lonDeg[64], lonMin[64], radius[64];
    int dx, dy;
    if (sscanf(line, "%63s %63s %63s %63s %63s %d %d", latDeg, latMin, lonDeg, lonMin, radius, &dx, &dy) != 7)
        return false;
    double la = atof(latDeg), lo = atof(lonDeg);
    r->radius = atof(radius) / 60.0;
    r->latitude = la >= 0 ? la + atof(latMin) / 60.0 : la - atof(latMin) / 60.0;
    r->longitude = lo >= 0 ? lo + atof(lonMin) / 60.0 : lo - atof(lonMin) / 60.0;
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

int ParseGeoreference(const std::string& text)
{
    std::vector<std::string> t = Tokens(text);
    if (t.empty())
        return -1;
    size_t at = 0;
    int kind = atoi(t[at++].c_str());
    if (kind == GeorefPolynomialA || kind == GeorefPolynomialB) {
        ReadCoefficients(t, &at);
        LoadOffsets();
    } else if (kind == GeorefGrid) {
        ReadGrid(t, &at);
        LoadOffsets();
    } else if (kind == GeorefSheets) {
        StagingOffsets.clear();
    }
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
    ParseGeoreference(text);
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
    ParseGeoreference(text);
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
