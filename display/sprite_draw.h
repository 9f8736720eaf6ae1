// The sprite drawers of the layers: a sprite table slot (or another texture
// entry) as one textured quad at a virtual-screen or map-pixel position, with
// the dimming rule. Nothing is drawn for a picture that is not loaded.
// GUI thread only.
#pragma once

#include "display/sprite_table.h"
#include "render/quads.h"

#include <cstdint>

// The sprite's rectangle is x .. x + width x scale, y .. y + height x scale,
// placed as placement says; angle turns a map-pixel quad about the screen
// centre with the map, own turns the picture about its own centre.
void DrawSprite(int slot, float x, float y, uint32_t colour, float angle, float scale, QuadPlacement placement,
                OwnAngle own = {});
// The same for a texture entry outside the table.
void DrawTextureScaled(const SpriteSlot* entry, float x, float y, uint32_t colour, float angle, float scale,
                       QuadPlacement placement, OwnAngle own = {});
// One cell (srcX, srcY, srcW x srcH pixels) of a square sprite sheet of
// sheetSide pixels (the slot's width when 0 or less).
void DrawSpritePart(int slot, float x, float y, int srcX, int srcY, int srcW, int srcH, uint32_t colour, float angle,
                    float scale, QuadPlacement placement, OwnAngle own = {}, int sheetSide = 0);
// As DrawSprite, but a map turn moves the quad and keeps it upright.
void DrawSpriteAbout(int slot, float x, float y, uint32_t colour, float angle, float scale, QuadPlacement placement,
                     OwnAngle own = {});
// A sprite on the virtual screen with its corner at (x, y) x the screen
// factors, turned by angle about its own centre (the small windows' arrow).
void DrawSpriteScaled(int slot, float x, float y, uint32_t colour, float scale, float angle);

// The colour a slot is drawn in: dimmed when the slot is dimmable.
uint32_t SpriteColour(const SpriteSlot& slot, uint32_t colour);
