// Terrain awareness and GPWS: the [Terrain] settings and legend colours, the
// per-frame smoothing, flight phase and the five alert envelopes, the shader
// values of the terrain shading and its draw, the approach call-outs, the
// alert hand-over to the display and the sound, and the terrain profile.
// GUI thread only.
#pragma once

#include "render/terrain_params.h"

#include <cstddef>
#include <cstdint>

// Legend colour index 0..4 as bytes (reading the settings on first use);
// false for an index outside them.
bool GetTerrainColor(int index, uint8_t* r, uint8_t* g, uint8_t* b);
// Legend colour index (1..4 for the terrain technique) as r, g, b in 0..1.
bool GetTerrainColorRgb(float* rgb, int index);
// Hands legend colours 1..4 to the terrain technique (TerrainColors); called
// once the render device has started.
void LoadTerrainColors();

// Fills the record for terrain tile 0..14 from this frame's values; returns 1.
int GetTerrainShaderParams(int tile, TerrainShaderParams* out);

// The [Terrain] section: read once (ForgetTerrainSettings lets the next
// UpdateTerrain read it again), written at terrain shutdown.
void ReadTerrainSettings();
void SaveTerrainSettings();
void ForgetTerrainSettings();
// "r,g,b" into three bytes; "0,0,0", fewer than two commas or a missing text
// leave the colour as it is. True when taken.
bool ParseTerrainColour(const char* text, uint8_t rgb[3]);

// Alert sound numbers: envelopes, then the call-outs 13 (500 ft) to 20 (10 ft).
enum TerrainAlert : int32_t {
    AlertNone = 0,
    AlertTerrainAhead = 4,
    AlertSinkRate = 8,
    AlertTooLowTerrain = 9,
    AlertDontSink = 10,
    AlertPullUp = 11,
    AlertCallout500 = 13,
    AlertCallout10 = 20,
};

// Flight phases.
enum FlightPhase : int32_t { PhaseDeparture = 0, PhaseEnroute = 1, PhaseApproach = 2 };

// One frame's inputs of the envelopes.
struct GpwsInputs {
    double agl = 0;               // height above ground, feet
    double smoothedVs = 0;        // smoothed vertical speed A, feet per minute
    int pilotMode = 1;            // PilotFlightmode: -1 automatic, else the phase
    int phase = PhaseDeparture;   // the automatic phase
    double predictedClearance = 1e9;  // feet above the terrain ahead
    bool approachChecked = false; // a plan's destination runway is known
    double runwayDistance = 1e6;  // nautical miles to its nearest runway end
};
// The descent-rate envelopes: 11, 8 or 0.
int32_t DescentRateAlert(double agl, double smoothedVs);
// Too low on approach by the distance to the runway: 9 or 0.
int32_t TooLowAlert(double runwayDistance, double agl);
// Descent after take-off: 10 or 0.
int32_t DontSinkAlert(double agl, double smoothedVs);
// The first envelope that holds, in order (descent rate, too low, descent
// after take-off, terrain ahead), by the flight phase; 0 when none.
int32_t EvaluateGpwsEnvelopes(const GpwsInputs& in);
// The automatic phase after this frame.
int NextFlightPhase(int phase, double agl, double vs, double smoothedB, double aglRate, int departureEnroute,
                    int enrouteApproach);
// The call-out of a descent from lowest to agl; 0 when none.
int32_t CalloutFor(double lowest, double agl);

// Per frame while the terrain layer is on, before its tiles: the profile
// samples (zoomFactor as the frame's), the smoothing, the flight phase and
// the envelopes' alert.
void RunGpwsAlerts(float zoomFactor);
void UpdateAltitudeCallouts();
// The shading's values and the 15 tiles of the displayed bank in map pixels,
// the aircraft at (centreX, centreY), turned with the map; only while a
// terrain window is in, the terrain is shown and no airport chart is.
void DrawTerrainTiles(int centreX, int centreY, float mapAngle);
// The shown alert level; plays its sound once.
int32_t UpdateTerrainAlert();
void MuteTerrainAlert();
void ClearTerrainAlert();
// The shown alert is an envelope's (so a click mutes it).
bool IsTerrainAlertActive();
void SetFlightModeAuto(double heightAboveGround);
// The [Terrain] Elevation switch (the terrain value box's figures).
bool IsTerrainElevationOn();
// The automatic flight phase; the program starts it en route.
int GetAutoFlightMode();
void SetAutoFlightMode(int phase);
// The raw alert (the sound number of this frame).
int32_t GetRawTerrainAlert();
// Resets alert, phase and smoothing to their start (a new flight, tests).
void ResetTerrainAwareness();
// The program clock the alert timer and the profile scale read (tests
// replace it; nullptr restores it).
void SetTerrainAwarenessClock(long (*clockMs)());

// The terrain profile along the track below the map.
struct ProfileScale {
    int range = 1000;
    int base = 0;
    double distanceStep = 1;
};
void SampleTerrainProfile(float zoomFactor);
// Range, base and distance step of the samples (the remembered values are
// kept up to 30 s so the scale does not jump).
void ComputeProfileScale(int* range, int* base, double* distanceStep);
int GetTerrainProfileCount();
const int32_t* GetTerrainProfileSamples();
// The profile box's left edge in the bezel as a share of the width, by
// AspectRatio; the box is as far from the right edge.
float ProfileBoxInset(int aspectRatio);
// The profile box under the map; aspectRatio is the layout's AspectRatio.
void DrawTerrainProfile(int aspectRatio);
