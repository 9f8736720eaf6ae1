// The pixel work of the terrain techniques. For now it shows the elevation
// texture as it is (times the vertex colour); the terrain colouring from the
// terrain constants takes this function's place.
#include "platform/gpu/raster.h"

#include <algorithm>
#include <cmath>

void ShadeTerrainSpan(const TerrainConstants&, const RasterTexture& texture, uint32_t colour, double u, double v,
                      double du, double dv, uint32_t* dst, int n, BlendMode blend)
{
    for (int i = 0; i < n; i++, u += du, v += dv) {
        double fu = std::isnan(u) ? 0.0 : std::floor(u), fv = std::isnan(v) ? 0.0 : std::floor(v);
        int x = static_cast<int>(std::clamp(fu, 0.0, texture.width - 1.0));
        int y = static_cast<int>(std::clamp(fv, 0.0, texture.height - 1.0));
        uint32_t t = texture.texels[static_cast<size_t>(y) * texture.pitch + x];
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8)
            out |= (((t >> shift) & 0xFF) * ((colour >> shift) & 0xFF) / 255) << shift;
        dst[i] = blend == BlendMode::Over ? BlendOver(out, dst[i]) : BlendOverStraight(out, dst[i]);
    }
}
