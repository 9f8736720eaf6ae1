// The navigation-symbol layer of the moving map: fixes, obstacles, airports
// and navaids (NDB, VOR with its rose, localizer feathers, DME, marker
// beacons) with their labels, sized by the map scale and decluttered by the
// settings. The choices it makes per record are free functions so that they
// can be checked without a frame. GUI thread only.
#pragma once

#include "navdata/nav_records.h"

#include <cstddef>
#include <cstdint>

// One label anchor of the frame: the record, the navaid kind (0 for
// airports) and the anchor in map pixels, already turned with the map.
struct MapLabelEntry {
    int32_t record;
    uint32_t kind;
    double x, y;
};
constexpr int MapLabelCapacity = 10000;
extern MapLabelEntry MapLabelList[MapLabelCapacity];
extern int32_t MapLabelCount;
void ClearMapLabels();
// False (nothing added) once the list is full.
bool AddMapLabel(int32_t record, uint32_t kind, double x, double y);

// The MARKER softkey's switch: marker beacons are drawn while it is set.
// Off at start and never saved.
extern uint8_t MarkerSwitch;

// The localizer whose ident equals SelectedILS, as this frame drew it; the
// route layer puts its course label along the feather.
struct SelectedLocalizerState {
    const NavaidRecord* record;  // null when none was drawn this frame
    double antennaX, antennaY;   // screen points, not turned
    double tipX, tipY;
    double tipLat, tipLon;
};
extern SelectedLocalizerState SelectedLocalizer;

// The frame renderer's layer: runs with the client size.
void DrawNavigationLayer(int width, int height);
// Whether this frame's layer passed its gates and drew.
bool WasNavigationLayerDrawn();

// ---- the choices, one per record ----

// The size factor of every symbol kind for one frame. With Autosize the map
// scale gives one factor for all (never above 1.0); without it the
// settings' factors stand. The settings themselves are never changed.
struct SymbolFactors {
    float general, vor, ndb, dme, fix, marker, airport;
};
SymbolFactors ComputeSymbolFactors(bool autosize, double pixelsPer12Metres, float zoom, float scale);

// The VOR rose picture for a rose picture width and the VOR factor: slot
// and scale.
struct RoseChoice {
    int slot;
    float scale;
};
RoseChoice ChooseVorRose(int roseWidth, float vorFactor);
// The centre symbol of a VOR sub-kind (1 VOR, 2 VOR-DME, 3 VORTAC).
int VorCentreSlot(int32_t subKind);

// An airport symbol: a whole sprite, or (sheet) one 64 x 64 cell of the
// airports sheet at cellX, cellY pixels.
struct AirportSymbol {
    int slot;
    bool sheet;
    int cellX, cellY;
};
AirportSymbol ChooseAirportSymbol(int navDatabase, uint32_t kind, uint32_t surface);

// Data in the X-Plane text formats (X-Plane and FlightGear sources): rose
// angles count the other way and marker labels carry more text.
bool IsXPlaneFormatData(int useSimulator, int navDatabase);

// The airport label colour for the map type in use and a longitude.
uint32_t AirportLabelColour(int mapType, double longitude);
constexpr uint32_t AirportLabelBlue = 0xFFFF0000u;

// The label font of a DeClutter value: system-font size, bitmap font id and
// the line size of bitmap text blocks.
struct LabelFont {
    int fontSize;
    int bitmapFont;
    float blockSize;
};
LabelFont LabelFontFor(int declutter);
// With DeClutter 3 or more a label shows only under the mouse.
bool IsLabelShown(int declutter, double x, double y, int mouseX, int mouseY);

// The magnetic course of a localizer label, 0..359: from the aircraft's
// variation with the X-Plane and FlightGear simulators, else from the
// record's own.
int LocalizerMagneticCourse(const NavaidRecord& n, int useSimulator, double simVariation);

// A navaid's label: up to three lines. The system-font label is the lines
// joined by line breaks. Returns the line count; 0 when the kind has no
// label.
constexpr size_t NavLabelLineSize = 128;
struct NavLabelText {
    char lines[3][NavLabelLineSize];
    int count;
};
int FormatNavaidLabel(const NavaidRecord& n, bool xplaneData, int magneticCourse, NavLabelText* out);
// The lines joined with '\n' into out (size bytes, always terminated).
void JoinLabelLines(const NavLabelText& label, char* out, size_t size);

// The ILS feather colours from the ILS colour and whether the layer draws
// into the snapshot: two fills and the outline, dimmed.
struct FeatherColours {
    uint32_t fill1, fill2, outline;
};
FeatherColours MakeFeatherColours(uint32_t ilsColour, bool intoSnapshot, int dimLevel);

// Where a localizer's label goes on the screen: beside the feather's tip
// for an "R" or "L" runway, else the middle of the feather's axis. Reads
// the feather last built.
void LocalizerLabelPoint(const char* runwaySuffix, double* x, double* y);
