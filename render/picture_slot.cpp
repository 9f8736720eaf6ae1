// Loaded pictures (see picture_slot.h).
#include "render/picture_slot.h"

#include "render/textures.h"

void ReleaseSpriteSlot(SpriteSlot* slot)
{
    if (!slot)
        return;
    if (slot->texture)
        slot->texture->Release();
    if (slot->resource)
        slot->resource->Release();
    slot->texture = nullptr;
    slot->resource = nullptr;
    slot->loaded = 0;
}

bool LoadPictureIntoSlot(SpriteSlot* slot, const char* path)
{
    ReleaseSpriteSlot(slot);
    uint8_t ok = 0;
    int width = 0, height = 0;
    slot->texture = LoadTexture(path, &ok, &width, &height, -1);
    slot->loaded = slot->texture ? 1 : 0;
    slot->width = width;
    slot->height = height;
    slot->dimmable = 1;
    return slot->loaded != 0;
}
