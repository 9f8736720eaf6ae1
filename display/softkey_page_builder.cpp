// The builder of a softkey page's faces: each row of the page its caller
// hands over shown on its key, lit by its rule, changed by its face rule.
#include "display/softkey_pages.h"

#include "app/layout_tables.h"
#include "app/settings.h"
#include "display/map_view.h"
#include "maps/tile_sources.h"

void ShowSoftkeyRows(std::span<const SoftkeyRow> rows)
{
    HideAllSoftkeys();
    for (const SoftkeyRow& row : rows) {
        SoftkeyFace face{row.label, row.lit && row.lit(row.choice), row.tooltip, row.offset, 0};
        if (row.face)
            row.face(face, row.choice);
        if (!face.label)
            continue;
        SetButtonLabel(row.key, face.label, face.lit, face.tooltip, face.offset);
        if (face.tint && row.key >= 0 && row.key < SoftkeyCount)
            SoftkeyLabelBoxes[static_cast<size_t>(row.key)].textColour = face.tint;
    }
}

// The chart maps of the maker's catalogue, shown as tiles like the online maps.
static bool IsCatalogueMapType(int32_t id)
{
    return id == 6 || id == 11 || id == 12 || id == 13 || (id >= 30 && id <= 34);
}

bool IsMapTypeInUse(int32_t mapTypeId)
{
    // While tiles are shown their key lights by the tiles' type: MapType
    // stays -1 for every tile map after a start, which lit SAT over a
    // catalogue map's tiles.
    if (TileMapFlag.load() && (mapTypeId < 0 || IsCatalogueMapType(mapTypeId)))
        return CurrentTileMapType.load() == (mapTypeId < 0 ? -mapTypeId : mapTypeId);
    if (mapTypeId == Settings.MapType.load() || (mapTypeId == 3 && Settings.Terrainstate) ||
        (mapTypeId == 100 && Settings.WeatherState.load()))
        return true;
    return (mapTypeId == 4 || (mapTypeId >= 8 && mapTypeId <= 10)) && Settings.ReferencedAirportMapDisplayed != 0;
}
