// Test airspaces and airway segments, and their files written into a
// temporary program root.
#pragma once

#include "navdata/airspace_file.h"
#include "navdata/airway_file.h"
#include "navdata/text_lines.h"
#include "tests/navdata/nav_fixtures.h"

#include <string>
#include <vector>

// A square airspace of `half` degrees round (lat, lon), its outline closed.
inline AirspaceRecord MakeAirspace(const char* cls, const char* name, double lat, double lon, double half = 0.1,
                                   int32_t frequency = 0)
{
    AirspaceRecord a;
    CopyText(a.airspaceClass, sizeof(a.airspaceClass), cls);
    CopyText(a.name, sizeof(a.name), name);
    CopyText(a.lower, sizeof(a.lower), "GND");
    CopyText(a.upper, sizeof(a.upper), "FL65");
    a.frequency = frequency;
    a.latMin = lat - half;
    a.latMax = lat + half;
    a.lonMin = lon - half;
    a.lonMax = lon + half;
    a.points = {{lat - half, lon - half}, {lat + half, lon - half}, {lat + half, lon + half},
                {lat - half, lon + half}, {lat - half, lon - half}};
    return a;
}

inline AirwaySegment MakeSegment(const char* from, double lat1, double lon1, const char* to, double lat2,
                                 double lon2, const char* name = "L980", int first = 50, int second = 245)
{
    AirwaySegment s;
    CopyText(s.startIdent, sizeof(s.startIdent), from);
    CopyText(s.endIdent, sizeof(s.endIdent), to);
    s.startLat = lat1;
    s.startLon = lon1;
    s.endLat = lat2;
    s.endLon = lon2;
    s.first = first;
    s.second = second;
    s.third = 1;
    CopyText(s.name, sizeof(s.name), name);
    return s;
}

// Airspace.txt and its index below root/relativeFolder.
inline void WriteAirspaces(const TempNavRoot& root, const std::string& folder,
                           const std::vector<AirspaceRecord>& airspaces)
{
    AirspaceFiles files = BuildAirspaceFiles(airspaces);
    root.WriteText(folder + "/Airspace.txt", files.text);
    root.WriteBytes(folder + "/Airspace.idx", files.index);
}

// The airway files of segments below root/folder ("Navdata/MSFS/HighAltitude" ...).
inline void WriteAirways(const TempNavRoot& root, const std::string& folder,
                         const std::vector<AirwaySegment>& segments)
{
    for (const auto& [degree, text] : BuildAirwayFiles(segments)) {
        char name[32];
        FormatAirwayFileName(name, sizeof(name), degree);
        root.WriteText(folder + "/" + name, text);
    }
}
