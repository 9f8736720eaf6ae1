// The aspect layouts of the bezel: the 23 ScreenLayout values of each layout
// (16:9, 16:10, 4:3), the layout in use and the aspect detection from the
// monitor. GUI thread only.
#pragma once

struct ScreenLayoutValues {
    int MapRectX;
    int MapRectY;
    int MapRectW;
    int MapRectH;
    int ZoomButtonsX;  // the zoom buttons' and the Direct-To button's
    int ZoomOutButtonY;
    int ZoomInButtonY;
    int ConnectionLampX;
    int ConnectionLampY;
    // The lamp's scale and the knobs' pointer radii follow the layout here;
    // the bezel draws with the 16:9 values.
    double ConnectionLampScale;
    int BrightnessKnobX;  // the knobs' centres
    int BrightnessKnobY;
    double BrightnessKnobRadiusX;
    double BrightnessKnobRadiusY;
    int TransparencyKnobX;
    int TransparencyKnobY;
    double TransparencyKnobRadiusX;
    double TransparencyKnobRadiusY;
    int NearestButtonX;
    int TooltipRowY;  // the row of the NEAREST and flight-plan buttons
    int FlightPlanButtonX;
    int DirectToButtonY;
    int TrafficButtonX;
};

// Columns for AspectRatio 1 (16:9), 2 (16:10) and 3 or 4 (4:3).
inline constexpr ScreenLayoutValues ScreenLayoutColumns[3] = {
    {84, 40, 472, 319, 584, 52, 102, 577, 14, 0.4, 25, 91, 7.0, 7.0, 24, 196, 7.0, 10.0, 103, 394, 335, 159, 85},
    {94, 40, 453, 319, 579, 52, 102, 568, 12, 0.5, 28, 93, 8.0, 8.0, 28, 196, 8.0, 8.0, 115, 394, 335, 159, 94},
    {109, 40, 422, 319, 567, 52, 102, 557, 12, 0.5, 37, 93, 9.0, 9.0, 37, 196, 9.0, 9.0, 130, 394, 332, 159, 112},
};

// The layout in use; the 16:9 column until ApplyAspectLayout runs.
extern ScreenLayoutValues ScreenLayout;

// AspectRatio: 1 16:9, 2 16:10, 3 4:3, 4 free (the 4:3 values).
int GetAspectRatio();
void SetAspectRatio(int aspectRatio);
// 16/9 for layout 1, 1.6 for layout 2, 4/3 otherwise.
double GetAspectValue();
double AspectValueOf(int aspectRatio);
// The column of a layout: 1 -> 0, 2 -> 1, anything else -> 2.
int ScreenLayoutColumn(int aspectRatio);
// Writes the column of the current AspectRatio and its aspect value.
void ApplyAspectLayout();
// The layout (1, 2 or 3) whose ratio lies nearest to width / height; ties go
// to the squarer one. 1 for an empty height.
int AspectRatioForSize(int width, int height);
// AspectRatio from the monitor of the main window (the primary screen when
// the window has none).
void DetectAspectRatio();
