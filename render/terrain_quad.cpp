// The terrain quad (see terrain_quad.h): four vertices in the quad order of
// the textured quads, then the tile's shading values set one by one in a fixed
// order, the legend colours as raw float4 values last.
#include "render/terrain_quad.h"

#include "render/screen_centre.h"
#include "render/quads.h"

#include <cmath>

namespace {

ID3DX11EffectScalarVariable* Scalar(const char* name)
{
    return RenderDevice.effect->GetVariableByName(name)->AsScalar();
}

// "factor" goes to the effect as an integer, truncated toward zero; values
// beyond the integer range (a zero distance flown gives infinity) are held
// at its ends and NaN counts as 0.
int TruncatedFactor(float factor)
{
    if (std::isnan(factor))
        return 0;
    double t = std::trunc(static_cast<double>(factor));
    if (t >= 2147483647.0)
        return 2147483647;
    if (t <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(t);
}

// Sets the variables in their order; returns the status of the last one.
HRESULT SetTerrainVariables(ID3D11ShaderResourceView* view, const TerrainShaderParams& p)
{
    if (!RenderDevice.effect)
        return E_FAIL;
    RenderDevice.effect->GetVariableByName("diffuseTexture")->AsShaderResource()->SetResource(view);
    Scalar("altitude")->SetFloat(p.altitude);
    Scalar("blendfactor")->SetFloat(p.blendfactor);
    Scalar("mode")->SetInt(p.mode);
    Scalar("warn")->SetInt(p.warn);
    Scalar("zerolimit")->SetInt(p.zerolimit);
    Scalar("brightness")->SetFloat(p.brightness);
    if (p.warn > 0)
        Scalar("factor")->SetInt(TruncatedFactor(p.factor));
    Scalar("uextern")->SetFloat(p.uextern);
    Scalar("vextern")->SetFloat(p.vextern);
    Scalar("uoff")->SetFloat(p.uoff);
    Scalar("voff")->SetFloat(p.voff);
    Scalar("cosb")->SetFloat(p.cosb);
    const char* names[4] = {"color1", "color2", "color3", "color4"};
    HRESULT hr = S_OK;
    for (int k = 0; k < 4; k++)
        hr = RenderDevice.effect->GetVariableByName(names[k])->SetRawValue(TerrainColors[k], 0, 16);
    return hr;
}

} // namespace

HRESULT DrawTerrainQuadFrom(TerrainParamsSource source, ID3D11ShaderResourceView* view, const ScreenRect* rect,
                            uint32_t colour, float mapAngle, QuadPlacement placement, int tileIndex, OwnAngle own)
{
    QuadDraw d;
    HRESULT hr = BeginQuadDraw(rect, &d);
    if (FAILED(hr))
        return hr;
    const auto& [out, cx, cy, r] = d;
    QuadGeometry q;
    // A virtual-screen terrain quad is never turned about its own centre.
    if (placement != QuadPlacement::MapPixels)
        own = OwnAngle{};
    PlaceRotatedQuad(r, mapAngle, placement, own, cx, cy, q);
    SetQuadTexcoords(q);
    WriteQuad(out, q, colour);
    TerrainShaderParams params{};
    if (source)
        source(tileIndex, &params);
    hr = SetTerrainVariables(view, params);
    FinishDraw(4, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP, params.mode < 3 ? TechRender2 : TechRender3, view);
    return hr;
}
