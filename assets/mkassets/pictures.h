// The kinds of picture tvl-mkassets draws, one module each; every writer
// returns false when a file could not be written.
#pragma once

#include "canvas.h"

#include <string>

// Writes the canvas as folder/name and reports a failure on stderr.
bool SavePicture(const Canvas& canvas, const std::string& folder, const char* name);

bool WriteBezels(const std::string& bitmaps);
bool WriteAircraftSymbols(const std::string& bitmaps);
bool WriteNavaidSymbols(const std::string& bitmaps);
bool WriteAirportSymbols(const std::string& bitmaps);
bool WriteInstrumentPictures(const std::string& bitmaps);
bool WriteSoftkeyPictures(const std::string& bitmaps);
bool WriteTileFallbacks(const std::string& system);

// The map window of each bezel layout (virtual units of the 640 x 480 screen).
struct BezelLayout {
    const char* suffix;      // "16x9" ...
    const char* upperSuffix; // "16X9" ...
    int width, height;       // picture pixels
    int mapX, mapY, mapW, mapH;
    int knobX, knobY;        // brightness knob centre
    int knob2X, knob2Y;      // transparency knob centre
    int lampX, lampY;
};
extern const BezelLayout BezelLayouts[3];
