// Thick polylines (solid, dashed, coloured per point) and filled triangles in
// map pixels about the screen centre, one triangle list a call. Each segment
// is a rectangle of two triangles, width pixels across, without joins or
// caps. GUI thread only.
#pragma once

#include "render/device.h"

// A point as the callers hand them over: x, y and a third field that only
// DrawPolylineXYZ reads, as the point's colour (0xAABBGGRR bits).
struct OutlinePoint {
    float x, y, z;
};
static_assert(sizeof(OutlinePoint) == 12);

constexpr int kMaxPolylinePoints = 5000;
constexpr int kMaxTriangleVertices = 10000;

HRESULT DrawPolyline(const OutlinePoint* points, int count, uint32_t colour, float angle, float width);
// DrawPolyline of the outer width, then of the inner, in one draw of at most
// kMaxStrokePairPoints points (the vertex buffer holds both).
constexpr int kMaxStrokePairPoints = kMaxPolylinePoints / 2;
HRESULT DrawPolylinePair(const OutlinePoint* points, int count, uint32_t colour, float angle, float outerWidth,
                         float innerWidth);
// Each segment carries its length so the dashed technique can dash it.
HRESULT DrawDashedPolyline(const OutlinePoint* points, int count, uint32_t colour, float angle, float width);
HRESULT DrawPolylineXYZ(const OutlinePoint* points, int count, float width);
// One filled triangle of three points.
HRESULT DrawTriangle(const OutlinePoint* points, uint32_t colour, float angle);
// count points, three a triangle; a last incomplete triangle is left out.
HRESULT DrawTriangles(const OutlinePoint* points, int count, uint32_t colour, float angle);
