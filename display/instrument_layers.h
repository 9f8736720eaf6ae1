// The instrument layers over the map: the terrain value box and legend, the
// terrain profile, the wind rose or wind box, the north arrow, the aircraft
// symbol and the terrain alert box. Positions are virtual-screen units.
// GUI thread only.
#pragma once

#include <cstdint>

// The own aircraft at the screen centre (or on the airport diagram), turned
// to its track; not while the map is panned or a chart is shown.
void DrawAircraftSymbol(float mapAngle, float trackAngle, float headingOffset);
// The sprite slot of the AircraftIcon setting (0..5; others take 0).
int32_t AircraftSpriteSlot(int32_t icon);

// Terrain elevation (or minimum safe altitude) in thousands and hundreds of
// feet at the right edge of the map, and the terrain legend picture.
void DrawTerrainValueBox();
// The figures of the box: elevation and MSA in feet as the grid gives them,
// into thousands and hundreds with the box's margins.
struct TerrainBoxFigures {
    int32_t thousands, hundreds;
    bool msa;       // the MSA pair is shown
    bool aboveUs;   // the MSA pair is above the aircraft (drawn in red)
};
TerrainBoxFigures ComputeTerrainBoxFigures(int32_t elevationFeet, int32_t msaFeet, int blinkCounter,
                                           double aircraftAltitude);
// Steps the 0..3 counter that alternates elevation and MSA; call per frame.
void StepTerrainBlinkCounter(bool blinkPhaseOn);
int GetTerrainBlinkCounter();
// The terrain profile below the map, where a map is drawn at zoom 9 or more.
void DrawTerrainProfileLayer();
// Wind rose (Windrose above 0) or wind box and north arrow.
void DrawWindAndNorth(float mapAngle);
// The shown terrain alert's text on its colour above the softkeys while the
// blink phase is on; plays the alert's sound once.
void DrawTerrainAlertBox();
// The text and fill of an alert level; nullptr for a level without a box.
const char* TerrainAlertText(int32_t level, uint32_t* fill);
