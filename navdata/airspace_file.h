// The airspace text "Airspace.txt" and its index file (".idx" beside it).
// The text holds one airspace per header line
//   ASP <points> <class> <latMin> <latMax> <lonMin> <lonMax> <kHz> <lower> <upper> <name ...>
// followed by its points, one "<lat> <lon>" a line; lines end in CRLF. The
// index holds 45 cells of 40 bytes (5 rows of 9), each a box and the byte
// offset of its first airspace; a cell's airspaces run to the next cell's
// offset. Nothing read from either file is trusted: numbers out of range,
// counts beyond what follows and offsets beyond the text are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int AirspaceIndexColumns = 9;
constexpr int AirspaceIndexRows = 5;
constexpr int AirspaceIndexCells = AirspaceIndexColumns * AirspaceIndexRows;
// The outline buffer of the layer holds this many points of one airspace.
constexpr int AirspaceMaxPoints = 10000;

#pragma pack(push, 1)
struct AirspaceIndexCell {
    double lonMin, lonMax, latMin, latMax;
    int32_t offset;  // into the text
    uint8_t padding[4];
};
#pragma pack(pop)
static_assert(sizeof(AirspaceIndexCell) == 40);
static_assert(offsetof(AirspaceIndexCell, offset) == 32);

struct AirspacePoint {
    double lat, lon;
};

struct AirspaceRecord {
    int32_t frequency = 0;         // kHz, 0 when none
    char airspaceClass[20] = "";   // "A" to "G", "R" or "CTR"
    double lonMin = 0, lonMax = 0, latMin = 0, latMax = 0;
    char name[49] = "";
    char lower[12] = "";           // the first '_' of the file's word as a blank
    char upper[12] = "";
    std::vector<AirspacePoint> points;
};

// The letter's place in "ABCDEFGR" for a class of one of those letters, 8
// for "CTR", -1 for anything else.
int AirspaceClassIndex(const char* airspaceClass);

enum class AirspaceHeader {
    Ok,
    NotHeader,  // the line is no header at all (no "ASP" in it)
    Malformed,  // a header that cannot be used; problem says why
};
// Reads a header line (without its line end) into out (points left empty)
// and the point count it announces.
AirspaceHeader ParseAirspaceHeader(std::string_view line, AirspaceRecord* out, int* pointCount,
                                   const char** problem);
// A point line "<lat> <lon>" with both values in range.
bool ParseAirspacePoint(std::string_view line, AirspacePoint* out);

// Whether the box (longitude min, max, latitude min, max) meets the bounds;
// touching edges meet.
bool BoxesOverlap(double lonMin, double lonMax, double latMin, double latMax, double latLow, double latHigh,
                  double lonLow, double lonHigh);

// The index cells of a file image: as many whole cells as it holds, at most 45.
std::vector<AirspaceIndexCell> ParseAirspaceIndex(const uint8_t* data, size_t size);

// The text and index of a set of airspaces, ordered by the cell of each
// box's centre (9 columns of 40 degrees from 180 W, 5 rows of 36 degrees
// from 90 S). A cell's box is the union of its airspaces' boxes; an empty
// cell gets a box that meets nothing. Names, classes and limits are cut to
// their fields and blanks in the limits become '_'.
struct AirspaceFiles {
    std::string text;
    std::vector<uint8_t> index;
};
AirspaceFiles BuildAirspaceFiles(const std::vector<AirspaceRecord>& airspaces);
