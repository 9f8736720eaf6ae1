// The softkey bar ("MENU"/"EXIT" or the rows of the current page) and the
// tooltip band of the screen button under the pointer, drawn late in every
// whole-screen frame. GUI thread only.
#pragma once

#include <cstddef>

// How far the bar and the band move down while the bezel is hidden, so that
// they sit at the bottom of the virtual screen; 0 with the bezel.
float SoftkeyBarShift();
// Whether the bar of a page is up this frame: always without DynamicSoftkeys,
// else while the pointer is over it and one second after it left.
bool IsSoftkeyBarUp(double nowSeconds);
// The bar; clientHeight is the client area's height in pixels.
void DrawSoftkeyBar(int clientHeight);

// The text of button's tooltip band ("" for none) into out.
void GetTooltipBandText(int button, char* out, size_t size);
// The bands of the buttons whose tooltip flag is set.
void DrawTooltipBands(int clientHeight);
