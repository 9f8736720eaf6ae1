// The terrain quad: one terrain elevation tile drawn as a textured quad with
// the terrain techniques, its shading values handed to the effect by name.
// GUI thread only.
#pragma once

#include "render/device.h"
#include "render/quads.h"
#include "render/terrain_params.h"

#include <cstdint>

// Placed as DrawTexturedQuadRotated, except that a virtual-screen quad is
// never turned and no corners are remembered; the tile's values are taken
// from source (the terrain code's GetTerrainShaderParams), asked once the
// vertex buffer is mapped. Draws with "Render2" for a mode below 3, else
// "Render3". Returns E_FAIL without a context, the buffer map's failure,
// else the status of setting "color4".
typedef int (*TerrainParamsSource)(int tile, TerrainShaderParams* out);
HRESULT DrawTerrainQuadFrom(TerrainParamsSource source, ID3D11ShaderResourceView* view, const ScreenRect* rect,
                            uint32_t colour, float mapAngle, QuadPlacement placement, int tileIndex,
                            OwnAngle own = {});
