// The airspaces of the map: the text of the selected navigation-data source
// read once, a loader thread that parses the part its index says can touch
// the view (whole degrees), keeps the classes shown that overlap it, and
// hands the list to the airspace layer, loading again when the view reaches
// other whole degrees or a reload is asked for. GUI thread unless a function
// says otherwise.
#pragma once

#include "navdata/airspace_file.h"
#include "navdata/list_loader.h"

#include <atomic>
#include <cstdint>
#include <vector>

// Once a frame, with the visible box (the layer hands it over every frame,
// also over raster maps, where no tile grid is built): starts the loader when the whole
// degrees changed, a reload was asked for or nothing was loaded yet; true
// once a list is ready to draw.
bool UpdateAirspaces(double latMin, double latMax, double lonMax, double lonMin);
void RequestAirspaceReload();
// The layer: switches to the list the loader finished (true when it did),
// the list to draw, and the whole degrees it was loaded for.
bool TakeNewAirspaceList();
const std::vector<AirspaceRecord>& GetDrawnAirspaces();
WholeDegrees GetDrawnAirspaceView();
bool IsAirspaceLoaderRunning();
// Stops the loader and waits for it.
void StopAirspaceLoader();
// Stops the loader, frees both lists and the text; the next load reads the
// file of the source selected then.
void FreeAirspaces();

// The airspace picked on the map: its name, the highlight flag and a second
// selection word, cleared together.
struct AirspaceSelectionState {
    char name[49];
    uint8_t highlight;
    uint32_t word;
};
extern AirspaceSelectionState AirspaceSelection;
// Empties the selection and invalidates the map snapshot.
void ClearAirspaceSelection();
// on non-zero: the highlight becomes on; else 1 when name is the selected
// name, 0 otherwise.
void SetAirspaceHighlight(int on, const char* name);

// ---- the load itself, on whatever thread runs it ----

// "<root>/Navdata/<source>/Airspace.txt" for a NavDatabase value (6 MSFS,
// 4 P3D, 3 FSX, 2 FS9, 1 XPL, 5 FG, any other OpenAIP) and the common
// "<root>/Navdata/Airspace.txt".
void FormatAirspacePaths(char* sourcePath, char* commonPath, size_t size, int navDatabase);

// A text read whole with the index cells found beside it.
struct AirspaceText {
    std::vector<uint8_t> bytes;
    std::vector<AirspaceIndexCell> cells;
    bool hasIndex = false;
    char path[512] = "";
};
// The source's text, or the common one when the source's is missing or
// empty; false (and path the source's) when neither has any bytes.
bool OpenAirspaceFile(const char* sourcePath, const char* commonPath, AirspaceText* out);

// The byte range [start, end) of the text that the cells say can hold
// airspaces meeting the view; the whole text without cells. Cells with an
// offset beyond the text or a box that is not a number are left out with a
// log line.
void SelectAirspaceRange(const AirspaceText& text, const WholeDegrees& view, size_t* start, size_t* end);

// Whether a box meets the view, on either side of the antimeridian when the
// view reaches past it.
bool ViewMeetsBox(const WholeDegrees& view, double lonMin, double lonMax, double latMin, double latMax);

// The airspaces of the text whose class is in filter ("ABCDEFGR" with
// blanks) or is "CTR" and whose box meets the view, appended to out.
// Damaged airspaces are skipped with a log line. False when stop was raised.
bool LoadAirspacesInView(const AirspaceText& text, const WholeDegrees& view, const char* filter,
                         std::vector<AirspaceRecord>* out, const std::atomic<bool>& stop);
