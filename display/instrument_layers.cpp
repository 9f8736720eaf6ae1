// The instrument layers.
#include "display/instrument_layers.h"

#include "app/settings.h"
#include "display/airport_view.h"
#include "display/draw_helpers.h"
#include "display/map_view.h"
#include "display/sprite_draw.h"

int32_t AircraftSpriteSlot(int32_t icon)
{
    // Six pictures follow the required one; an icon outside them is a
    // settings value we cannot draw, so it gets the standard aircraft.
    return SpriteAircraft + (icon >= 0 && icon <= 5 ? icon : 0);
}

void DrawAircraftSymbol(float mapAngle, float trackAngle, float headingOffset)
{
    if (Settings.AirportChart || MapPanning)
        return;
    int32_t slot = AircraftSpriteSlot(Settings.AircraftIcon);
    const SpriteSlot& s = SpriteTable[slot];
    if (!s.loaded)
        return;
    float cx = static_cast<float>(ScreenCentre.x), cy = static_cast<float>(ScreenCentre.y);
    float halfW = s.width / 2.0f, halfH = s.height / 2.0f;
    if (Settings.NavAirport && !Settings.AirportOverlay) {
        double ax = 0, ay = 0;
        LatLonToAirportViewXY(&ax, &ay, MapCenter.longitude.load(), MapCenter.latitude.load());
        double k = FrameZoom * GetTextScale();
        float x = static_cast<float>(cx + k * ax) - halfW, y = static_cast<float>(cy + k * ay) - halfH;
        if (y > 47 / ScreenScaleY)
            DrawSprite(slot, x, y, Settings.AircraftColor, mapAngle, 1.0f, 1, trackAngle + headingOffset, 1);
        return;
    }
    DrawSprite(slot, cx - halfW, cy - halfH, Settings.AircraftColor, mapAngle, 1.0f, 1, trackAngle + headingOffset, 1);
}
