// Airport charts: PDF charts turned into PNG pages and thumbnails by the page
// tool (mutool), PNG charts in the airport folders, the georeference files
// beside them, the index of charted airports "Airport.idx", and the lists of
// an airport's approach, arrival and departure charts offered through the
// list helper.
//
// Folders: "<root>/Airports/<apt>/tmp" holds a PDF's pages ("pdf.png" or
// "pdf_<n>.png"), thumbnails ("pre_<n>.png") and "content.txt" (the page
// count of a finished thumbnail set); "<data root>/Airports/<apt>/Approaches",
// "Arrivals", "Departures" hold PNG charts with "<name>.txt" georeferences;
// "<data root>/Airports/<apt>/Info/<apt>.txt" and ".png" the airport's own.
#pragma once

#include "platform/win32.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A chart's georeference: two longitudes with their image columns and two
// latitudes with their image rows.
struct ChartGeoref {
    double lon1, lon2, lat1, lat2;
    int32_t p1, p2, q1, q2;
};

#pragma pack(push, 1)
struct AirportIndexRecord {
    char icao[8];
    float west, north, east, south;
};
#pragma pack(pop)
static_assert(sizeof(AirportIndexRecord) == 24);

struct ChartEntry {
    char name[100];
    float west, north, east, south;
};
constexpr int ChartListSize = 20;
enum ChartListBit : int {
    ChartsApproach = 1,
    ChartsArrival = 2,
    ChartsDeparture = 4,
    ChartsNearest = 8,
};

// PDF charts. ImportPdfChart asks for a PDF and starts its conversion (or
// shows the pages converted before); false when nothing is shown.
bool ImportPdfChart();
// The same for a chosen PDF file.
bool ImportPdfChartFile(const char* path);
// The PDF's page count from the page tool; true when it was found.
bool GetPdfPageCount(const char* pdfPath);
// Renders one page (from 0) at 300 dpi unless it is there already; the page
// count.
int RenderChartPage(const char* pdfPath, int page);
// Shows a page of the loaded PDF as the chart; false when it cannot be had.
bool ShowPdfChartPage(int page);
// The frame shows a page: asked for by the page keys, done after Present.
void RequestPdfPage(int page);
bool TakePdfPageRequest(int* page);
// GUI thread, once a frame: the thumbnail thread's finished set is shown.
void FinishChartConversion();
// The PDF's airport (its file name; the path is the PDFFilename setting).
const char* GetPdfIcao();
int GetCurrentPdfPage();
// The page tool is busy; the status text says with what.
bool IsChartBusy();
void SetChartBusy(bool busy);
void GetChartStatusText(char* out, size_t size);
// Starts program with parameters in folder through the shell and waits.
void RunAndWait(const char* program, const char* parameters, const char* folder, int show);
// Asks for a PNG chart and shows it; false on cancel or a picture that does
// not load.
bool OpenPngChart();

// The page thumbnails of a multi-page PDF (48 at most on a screen).
constexpr int ThumbnailSlots = 48;
void ShowThumbnails();
void HideThumbnails();
void ReleaseThumbnails();
void ResetThumbnailPage();
bool IsThumbnailView();
void DrawThumbnails(int width, int height, int centreX, int centreY);
// The page (from 0) under a point of the grid, -1 for none.
int ThumbnailAtPoint(int x, int y);
void NextThumbnailPage();
void PrevThumbnailPage();
int GetFirstThumbnail();
// The grid as the last draw laid it out (tests, hit tests).
void SetThumbnailGrid(int cellWidth, int cellHeight, int columns, int screenful, int width, int height);

// Georeferences. OpenChartGeoref loads the one beside a chart picture.
bool OpenChartGeoref(const char* imagePath);
// Reads a georeference file; false when a key is missing or the two points
// of an axis share their pixel. The loaded one is widened (same linear map,
// reference points far outside the image).
bool LoadChartGeoref(const char* path, ChartGeoref* out);
// The chart now shown: its georeference and its edges (west, north, east,
// south); false when it has none.
bool GetChartGeoref(ChartGeoref* out);
void GetChartGeorefBounds(float* lon1, float* lat1, float* lon2, float* lat2);
// Writes the shown chart's georeference from the picked edges (pixel column
// of lon1, row of lat1, column of lon2, row of lat2) and their values.
void SaveChartGeoref(const float edges[4], double lon1, double lat1, double lon2, double lat2);
bool SaveChartGeorefTo(const char* path, const float edges[4], double lon1, double lat1, double lon2, double lat2);

// The airport index.
bool LoadAirportIndex();
void SaveAirportIndex();
bool GrowAirportIndex();
void BuildAirportIndex();
int GetAirportIndexCount();
bool GetAirportIndexRecord(int index, AirportIndexRecord* out);
void SelectAirportAtPosition(double latitude, double longitude);
// The selected charted airport's ICAO ("" none).
const char* GetSelectedChartAirport();
int FindNearestChartedAirport();

// The chart lists of the selected airport.
bool ScanChartFolder(const char* folder, ChartEntry* list, int* count);
bool ListAirportCharts();
bool GetSingleChartPath(char* path, int kind, int chartMenu);
bool GetAirportDiagramPath(char* path, int chartMenu);
int ChartCount(int bits);
const char* ChartName(int bits, int index);
int WriteChartListRequest(int chartMenu, HWND window);
bool BuildChartPath(char* path, int chartMenu, const char* name);
// After a georeference was saved: the index and lists are made anew.
void ReloadChartList();

// A missing file, reported once a run.
void ShowFileNotFound(const char* path);
// No airport index, chart lists or missing-file report yet, as at the
// start (tests).
void ResetAirportCharts();
