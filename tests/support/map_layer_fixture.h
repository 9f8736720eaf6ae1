// The fixture of the map layer tests: the headless device with the shipped
// sprites, colours undimmed, no chart and nothing drawn through a texture.
// A test's own set-up then lays out the tile map view it draws on
// (SetUpTileMapView) once its settings are in.
#pragma once

#include "app/settings.h"
#include "display/sprite_table.h"
#include "tests/display/map_centre.h"
#include "tests/render/render_fixture.h"

#include <gtest/gtest.h>

class MapLayerTest : public RenderTest {
protected:
    explicit MapLayerTest(int width = 640, int height = 480) : RenderTest(width, height) {}
    void SetUp() override
    {
        RenderTest::SetUp();
        ASSERT_TRUE(LoadSpriteTable(TVL_ROOT_DIR, 1));
        Settings.Dimlevel = 255;
        Settings.AirportChart = 0;
        Settings.RenderToTexture = 0;
    }
};
