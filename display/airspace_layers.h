// The airspace and airway layers of the moving map: airspace outlines in
// their class colours with information labels, and airway segments with the
// idents of their ends and a label with the airway's name and altitudes.
// They draw the lists the airspace and airway loaders handed over. The
// choices per record are free functions so that they can be checked without
// a frame. GUI thread only.
#pragma once

#include "navdata/airspace_file.h"
#include "navdata/airway_file.h"

#include <cstddef>
#include <cstdint>

// Outline colours (0xAABBGGRR) by class: A, B, C, D, E, F, G, R. The options
// menu loads and saves them as an airspace colour file.
constexpr int AirspaceColourCount = 8;
extern uint32_t AirspaceColours[AirspaceColourCount];

// The frame renderer's step: the gates, the loaders' updates, both layers.
void DrawAirspaceAndAirwayLayers();
void DrawAirspaceLabels(float mapAngle, int renderToTexture, int labelPhase, int declutter);
void DrawAirwayLabels(float mapAngle, int viewWidth, int viewHeight, int renderToTexture, int declutter);

// ---- the choices ----

// The colour index of an airspace, -1 when it is not drawn: with the CTR
// switch a "CTR" takes C's colour (2); a lettered class is drawn when the
// filter ("ABCDEFGR" with blanks) holds its letter, R at 7.
int AirspaceColourIndex(const char* airspaceClass, bool ctrOn, const char* filter);

// The label font of a DeClutter value: system-font size, bitmap font id and
// the line size of bitmap text blocks.
struct AirspaceLabelFont {
    int fontSize;
    int bitmapFont;
    float textSize;
};
AirspaceLabelFont AirspaceLabelFontFor(int declutter);

// Where an outline of count points gets its labels: the points (0-based) of
// each anchor's pair, whose middle is the anchor. Returns 0 to 2 anchors.
int AirspaceLabelAnchors(int count, int pairs[2][2]);

// The label of an airspace, one text (lines joined by '\n') or three lines.
constexpr size_t AirspaceLabelSize = 100;
struct AirspaceLabelText {
    char lines[3][AirspaceLabelSize];
    char joined[AirspaceLabelSize];
};
void FormatAirspaceLabel(const AirspaceRecord& a, AirspaceLabelText* out);

// The angle of an airway's name box: along the segment, kept upright.
double AirwayLabelAngle(double course, double mapAngle, int renderToTexture);
