// The airways of the map: a loader thread reads the airway files of the
// view's whole degrees of longitude, from the middle of the view outwards,
// keeps the segments that meet the view and hands the list to the airway
// layer, as the airspace loader does. High or low airways by NavAirways.
// GUI thread unless a function says otherwise.
#pragma once

#include "navdata/airway_file.h"
#include "navdata/list_loader.h"

#include <atomic>
#include <cstddef>
#include <vector>

// Once a frame, with the visible box (latitudes widened by a degree): starts
// the loader when the whole degrees changed, a reload was asked for or
// nothing was loaded yet; true once a list is ready to draw.
bool UpdateAirways(double latMin, double latMax, double lonMax, double lonMin);
// Stops the loader, empties both lists and asks for a reload (NavAirways
// changed, or the navigation data goes).
void ClearAirways();
// The layer: switches to the list the loader finished (true when it did),
// the list to draw and the whole degrees it was loaded for.
bool TakeNewAirwayList();
const std::vector<AirwaySegment>& GetDrawnAirways();
// Changes whenever the drawn list is switched or cleared (GUI thread).
uint64_t GetDrawnAirwaysGeneration();
WholeDegrees GetDrawnAirwayView();
bool IsAirwayLoaderRunning();
void StopAirwayLoader();

// At settings save and exit: closes the procedure database.
void ReleaseNavResources();

// The two folders an airway file is looked for in: the source's (MSFS,
// AFS2, P3D, XPL, FSX, FS9, the first the source rule picks) and the common
// one below Navdata, each ending in HighAltitude (NavAirways 1) or
// LowAltitude (2). Both empty for any other NavAirways; the source's empty
// for the other sources.
struct AirwayFolders {
    char source[512] = "";
    char common[512] = "";
};
AirwayFolders GetAirwayFolders(int navAirways);
// The file of one whole degree: the source's when it exists, else the
// common one; empty for NavAirways other than 1 and 2.
void GetAirwayFilePath(char* destination, int degree, size_t size);

// The degrees to read for a view: from the middle up to the high bound
// (exclusive), then from below the middle down to the low bound, each
// degree of the world at most once.
std::vector<int> AirwayDegreeOrder(const WholeDegrees& view);
// The segments of the view's files that meet the view, in file order, each
// once though several files hold it. False when stop was raised.
bool LoadAirwaysInView(const AirwayFolders& folders, const WholeDegrees& view, std::vector<AirwaySegment>* out,
                       const std::atomic<bool>& stop);
