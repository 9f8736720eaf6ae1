// The sprite drawers: rectangle from the picture's size and the scale, the
// dimming rule, then one textured quad of the renderer.
#include "display/sprite_draw.h"

#include "app/settings.h"
#include "display/draw_helpers.h"
#include "render/quads.h"

uint32_t SpriteColour(const SpriteSlot& slot, uint32_t colour)
{
    return slot.dimmable ? DimmedColour(colour, Settings.Dimlevel) : colour;
}

static const SpriteSlot* LoadedSlot(int slot)
{
    const SpriteSlot* s = GetSpriteSlot(slot);
    return s && s->loaded && s->texture ? s : nullptr;
}

static ScreenRect SpriteRect(float x, float y, float width, float height, float scale)
{
    return {x, x + width * scale, y, y + height * scale};
}

void DrawTextureScaled(const SpriteSlot* entry, float x, float y, uint32_t colour, float angle, float scale,
                       QuadPlacement placement, OwnAngle own)
{
    if (!entry || !entry->loaded || !entry->texture)
        return;
    ScreenRect r = SpriteRect(x, y, static_cast<float>(entry->width), static_cast<float>(entry->height), scale);
    DrawTexturedQuadRotated(entry->texture, &r, SpriteColour(*entry, colour), angle, placement, own);
}

void DrawSprite(int slot, float x, float y, uint32_t colour, float angle, float scale, QuadPlacement placement,
                OwnAngle own)
{
    DrawTextureScaled(LoadedSlot(slot), x, y, colour, angle, scale, placement, own);
}

void DrawSpritePart(int slot, float x, float y, int srcX, int srcY, int srcW, int srcH, uint32_t colour, float angle,
                    float scale, QuadPlacement placement, OwnAngle own, int sheetSide)
{
    const SpriteSlot* s = LoadedSlot(slot);
    if (!s)
        return;
    if (sheetSide <= 0)
        sheetSide = s->width;
    ScreenRect r = SpriteRect(x, y, static_cast<float>(srcW), static_cast<float>(srcH), scale);
    DrawTexturedQuadPart(s->texture, &r, srcX, srcY, srcW, srcH, SpriteColour(*s, colour), angle, placement, own,
                         sheetSide);
}

void DrawSpriteAbout(int slot, float x, float y, uint32_t colour, float angle, float scale, QuadPlacement placement,
                     OwnAngle own)
{
    const SpriteSlot* s = LoadedSlot(slot);
    if (!s)
        return;
    ScreenRect r = SpriteRect(x, y, static_cast<float>(s->width), static_cast<float>(s->height), scale);
    DrawTexturedQuadAbout(s->texture, &r, SpriteColour(*s, colour), angle, placement, own);
}

void DrawSpriteScaled(int slot, float x, float y, uint32_t colour, float scale, float angle)
{
    const SpriteSlot* s = LoadedSlot(slot);
    if (!s)
        return;
    float left = x * ScreenScaleX, top = y * ScreenScaleY;
    ScreenRect r{left, left + s->width * scale * ScreenScaleX, top, top + s->height * scale * ScreenScaleY};
    DrawTexturedQuadAngle(s->texture, &r, SpriteColour(*s, colour), angle);
}
