// The text furniture over the finished map: the waiting or position line,
// the status lines and the timed status message at the top and bottom of the
// map, and the bezel picture with its brightness knob and connection lamp.
// GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

// The status block's font size for a client height: Stateline x 1000 / height,
// rounded, one less with Position on, at most 20.
int32_t ComputeStatusFontSize(int clientHeight);
// The line shown while the simulator is not connected (or a manual position
// is set); "" when UseSimulator names no simulator.
void FormatWaitingLine(char* out, size_t size);
// True when the waiting line stands in for the status lines.
bool IsWaitingLineShown();
// Status line 1 as drawn: the frame rate or counter before it and the map
// centre after it when asked for.
void FormatStatusLine1ForDisplay(char* out, size_t size);

// Text with its top-left corner at (left, top) virtual units, dimmed.
void DrawTextDimmed(float left, float top, uint32_t colour, const char* text);

// The waiting line or the status lines, then the status message.
void DrawStatusLayer(int clientHeight);
// Where the waiting line's or the status lines' band drawn this frame ends
// (virtual units; 0 when none was drawn): messages start below it.
float GetStatusBlockBottom();
// The bezel picture over the whole target, the brightness knob's pointer and
// the connection lamp.
void DrawBezelOverlay();
