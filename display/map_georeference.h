// The georeference of the selected local map (polynomials, control-point
// grid, sheet scheme) loaded from its folder or its zip package into the
// staging set, the per-map position offsets of offset.txt, and the copy of
// both into the active set the projection uses.
#pragma once

#include "display/map_projection.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int MaxOffsetRecords = 500;

// One corrected area of offset.txt: a circle (degrees) and its pixel shift.
struct OffsetRecord {
    double radius;
    double latitude;
    double longitude;
    double north;
    double south;
    double east;
    double west;
    int32_t dx;
    int32_t dy;
};
static_assert(sizeof(OffsetRecord) == 64);

// The offsets loaded with the staging set and those of the active set.
// GUI thread.
const std::vector<OffsetRecord>& GetStagingOffsets();
const std::vector<OffsetRecord>& GetActiveOffsets();

// The corners of the last grid georeference read (north-west, north-east,
// south-east, south-west) for the raster loader.
const GeorefSheetRecord& GetGridCornerRecord();

// Loads the current local map's georeference (folder + file name) into the
// staging set; a missing file falls back to the zip package.
void LoadMapGeoreference();
// 0, or -2 when the package's entry cannot be read.
int LoadZippedGeoreference();
// The same for a map folder (ending in '/') and georeference file name: the
// entry "<last folder>/<name>" of "<folder>.zip".
int LoadZippedGeoreferenceFrom(const char* folder, const char* fileName);
// Reads the offsets of the current map's section from offset.txt.
void LoadOffsets();
void LoadOffsetsFrom(const char* path, const char* mapName);
void ApplyMapGeoreference();

// A pixel of a grid point or an offset beyond this either way, or a value
// that is not a number, refuses the georeference where it is read.
constexpr double GeorefPointLimit = 1e8;

// Reads a georeference from its text (blank-separated tokens) into the
// staging set; the kind read, or -1 when there is none. A text with a value
// that is not a number of its range (latitudes 90, longitudes and steps 180,
// coefficients whose pixels stay within GeorefPixelLimit on all the earth)
// or that is cut short is refused whole, with a log line naming source: the
// staging kind becomes GeorefRefused, which places nothing.
int ParseGeoreference(const std::string& text, const char* source = "");
