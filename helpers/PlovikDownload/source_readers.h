// Readers of the public navigation text formats (apt.dat, nav.dat, fix.dat,
// plain or gzipped) into the records the builder converts. Texts come out
// in code page 1252; lines that do not parse are skipped and counted.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct gzFile_s;

// Lines of a plain or gzipped text file, without their line ends.
class SourceLineReader {
  public:
    explicit SourceLineReader(const char* path);
    ~SourceLineReader();
    SourceLineReader(const SourceLineReader&) = delete;
    SourceLineReader& operator=(const SourceLineReader&) = delete;
    bool IsOpen() const { return file_ != nullptr; }
    bool Next(std::string* line);
    // How much of the file was read, 0 to 1 (0 for a file of unknown size).
    double Fraction() const;

  private:
    gzFile_s* file_ = nullptr;
    long long size_ = 0;
};

struct SourcePoint {
    double lat;
    double lon;
};

struct SourceRunway {
    bool water;
    double width;        // metres
    int surface;         // X-Plane surface code (13 for water runways)
    std::string end[2];  // designators
    SourcePoint point[2];
};

struct SourceHelipad {
    std::string name;
    SourcePoint point;
    double heading;      // degrees true
    double length;       // metres
    double width;
    int surface;
};

// A pavement area (outer ring only) or a painted line.
struct SourcePavement {
    bool line;
    std::string name;
    std::vector<SourcePoint> points;
};

// A node of a pavement or line as the file gives it, with its control point.
struct CurveNode {
    SourcePoint point;
    bool curved;
    SourcePoint control;
};
// The nodes with their curves as points, eight steps a curved segment; a
// closed shape also runs from its last node back to the first (which is not
// repeated).
std::vector<SourcePoint> ExpandCurves(const std::vector<CurveNode>& nodes, bool closed);

// A ring (an area's outline, not closed by a repeated point) cut into
// triangles, three points each, for drawing as a filled area; empty when
// the ring has no area. Rings that cross themselves still come out whole.
std::vector<SourcePoint> TriangulateRing(const std::vector<SourcePoint>& ring);

struct SourceParking {
    SourcePoint point;
    double heading;      // degrees true
    std::string kind;    // "gate", "tie_down", "hangar", "misc"
    std::string types;   // "heavy|jets|..." of newer files
    std::string name;
};

struct SourceFrequency {
    int type;            // 50..56
    int kilohertz;
    std::string name;
};

struct SourceTaxiEdge {
    int from;
    int to;
    std::string name;
};

struct SourceAirport {
    int code;            // 1 land, 16 seaplane base, 17 heliport
    int elevation;       // feet
    std::string icao;
    std::string name;
    std::string city;
    std::string country;
    std::string iata;
    bool hasDatum = false;
    SourcePoint datum{0, 0};
    std::vector<SourceRunway> runways;
    std::vector<SourceHelipad> helipads;
    std::vector<SourcePavement> pavements;
    std::vector<SourceParking> parking;
    std::vector<SourceFrequency> frequencies;
    std::vector<SourcePoint> towers;
    std::vector<std::pair<int, SourcePoint>> taxiNodes;
    std::vector<SourceTaxiEdge> taxiEdges;
};

struct SourceNavaid {
    int type;            // nav.dat row code
    double lat;
    double lon;
    int elevation;
    int frequency;       // as written: kHz for NDBs, tens of kHz otherwise
    int range;           // nm
    double extra;        // variation, bearing or bias by type
    std::string ident;
    std::string airport; // ILS, markers and DMEs of an airport
    std::string runway;
    std::string name;
};

struct SourceFix {
    double lat;
    double lon;
    std::string name;
};

struct ReadCounts {
    long records = 0;
    long skipped = 0;
};

// Calls `take` for every airport of the file, one at a time, so that a whole
// world's file never has to sit in memory, and `read`, when given, with the
// part of the file read so far (0 to 1). False when it cannot be opened.
bool ReadAptDat(const char* path, const std::function<void(SourceAirport&)>& take, ReadCounts* counts,
                const std::function<void(double)>& read = nullptr);
bool ReadNavDat(const char* path, std::vector<SourceNavaid>* navaids, ReadCounts* counts);
bool ReadFixDat(const char* path, std::vector<SourceFix>* fixes, ReadCounts* counts);
