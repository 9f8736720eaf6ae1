// The airway files: one text file per whole degree of longitude ("awy_E%d.txt"
// east of Greenwich, "awy_W%d.txt" with the negated degree west of it) in a
// HighAltitude or LowAltitude folder, one segment a line:
//   <ident> <lat> <lon> <ident> <lat> <lon> <n1> <n2> <n3> <airway>
// n1 and n2 are the segment's two altitude numbers (flight levels, lower
// first), n3 is 1 for a low and 2 for a high airway. A segment is written
// into the file of every degree its longitudes cross, so that the files of a
// view's degrees hold every segment that can cross it.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct AirwaySegment {
    char startIdent[7] = "";
    double startLat = 0, startLon = 0;
    char endIdent[7] = "";
    double endLat = 0, endLon = 0;
    double course = 0;  // radians 0..pi: the line's direction without sense
    int first = 0, second = 0, third = 0;
    char name[12] = "";
};

// A row of an airway file (without its line end); false for a row that is
// cut short, has a position out of range or is shorter than 10 characters.
// Idents are cut to 6 characters, the name (the rest of the row) to 10. The
// course is left 0.
bool ParseAirwayRow(std::string_view line, AirwaySegment* out);

// The direction of a segment in radians, 0..pi; 0 for a segment of no length.
double SegmentBearing(const AirwaySegment& s);

// Whether the segment meets the box (bounds included): an end inside it, or
// the line crossing it. A segment longer than half the world in longitude
// is taken the short way, across the antimeridian.
bool SegmentHitsBox(double latLow, double latHigh, double lonLow, double lonHigh, const AirwaySegment& s);

// Whether the line from (x0, y0) to (x1, y1) meets the box (edges included).
bool LineMeetsBox(double x0, double y0, double x1, double y1, double xMin, double xMax, double yMin, double yMax);

// A whole degree of longitude into -180..179.
int WrapDegree(int degree);
// "awy_E%d.txt" or "awy_W%d.txt" for a degree of -180..179.
void FormatAirwayFileName(char* out, size_t size, int degree);

// The file texts of a set of segments, by degree, CRLF lines.
std::map<int, std::string> BuildAirwayFiles(const std::vector<AirwaySegment>& segments);
