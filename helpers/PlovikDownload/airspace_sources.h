// Readers of the public airspace and airway formats: OpenAir airspace files
// (plain or gzipped, UTF-8 or code page 1252) and awy.dat in its layout with
// positions (format 640). Airspaces and segments that cannot be used are
// skipped and counted.
#pragma once

#include "navdata/airspace_file.h"
#include "navdata/airway_file.h"
#include "source_readers.h"

#include <string>
#include <vector>

// The airspaces of an OpenAir file: classes A to G and CTR as they are,
// restricted, danger and prohibited areas as "R"; other kinds (TMZ, RMZ,
// gliding sectors, wave windows ...) are left out. Circles and arcs become
// polygons, every outline is closed. False when the file cannot be opened.
bool ReadOpenAir(const char* path, std::vector<AirspaceRecord>* airspaces, ReadCounts* counts);

// An OpenAir position ("53:38:00 N 010:00:00 E", "53:38.5N 10:0E" ...).
bool ParseOpenAirPosition(const std::string& text, double* lat, double* lon);
// An OpenAir limit as one short word: "GND", "2500FT MSL", "FL65".
std::string OpenAirLimit(const std::string& text);

// The segments of awy.dat, high (type 2) and low (type 1) apart: the levels
// as the two altitude numbers, the type as the third, airway names joined by
// '-' and cut at a whole name within 10 characters. False when the file
// cannot be opened or is of a format without positions (error says so).
bool ReadAwyDat(const char* path, std::vector<AirwaySegment>* high, std::vector<AirwaySegment>* low,
                ReadCounts* counts, std::string* error);

// Airspace.txt and Airspace.idx into folder, and the airway files into
// folder/HighAltitude and folder/LowAltitude (earlier airway files there
// are removed first). False with a reason in error when one cannot be written.
bool WriteAirspaceFiles(const std::string& folder, const std::vector<AirspaceRecord>& airspaces, std::string* error);
bool WriteAirwayFiles(const std::string& folder, const std::vector<AirwaySegment>& high,
                      const std::vector<AirwaySegment>& low, std::string* error);
