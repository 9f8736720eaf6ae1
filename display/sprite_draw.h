// The sprite drawers of the layers: a sprite table slot (or another texture
// entry) as one textured quad at a virtual-screen or map-pixel position, with
// the dimming rule. Nothing is drawn for a picture that is not loaded.
// GUI thread only.
#pragma once

#include "display/sprite_table.h"

#include <cstdint>

// The sprite's rectangle is x .. x + width x scale, y .. y + height x scale.
// angle turns the quad about the screen centre with the map; ownAngle turns
// it about its own centre; mapPixels places it in map pixels (client-pixel
// distances from the screen centre), else on the virtual screen, where a
// clear placed flag stretches it over the whole target.
void DrawSprite(int slot, float x, float y, uint32_t colour, float angle, float scale, uint8_t placed,
                float ownAngle, uint8_t mapPixels);
// The same for a texture entry outside the table.
void DrawTextureScaled(const SpriteSlot* entry, float x, float y, uint32_t colour, float angle, float scale,
                       uint8_t placed, float ownAngle, uint8_t mapPixels);
// One cell (srcX, srcY, srcW x srcH pixels) of a square sprite sheet of
// sheetSide pixels (the slot's width when 0 or less).
void DrawSpritePart(int slot, float x, float y, int srcX, int srcY, int srcW, int srcH, uint32_t colour, float angle,
                    float scale, uint8_t placed, float ownAngle, uint8_t mapPixels, int sheetSide);
// As DrawSprite, but a map turn moves the quad and keeps it upright.
void DrawSpriteAbout(int slot, float x, float y, uint32_t colour, float angle, float scale, uint8_t placed,
                     float ownAngle, uint8_t mapPixels);
// A sprite on the virtual screen with its corner at (x, y) x the screen
// factors, turned by angle about its own centre (the small windows' arrow).
void DrawSpriteScaled(int slot, float x, float y, uint32_t colour, float z, float scale, int reserved, float angle);

// The colour a slot is drawn in: dimmed when the slot is dimmable.
uint32_t SpriteColour(const SpriteSlot& slot, uint32_t colour);
