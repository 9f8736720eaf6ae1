// A small RGBA canvas with anti-aliased shapes (each pixel sampled 4 x 4),
// drawn in design units that the canvas scales to its pixels, and written
// to PNG, BMP or JPEG with FreeImage.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct Rgba {
    float r, g, b, a;  // 0..1, straight alpha
};

Rgba Hex(uint32_t rgb, float alpha = 1.0f);

struct Point {
    double x, y;
};

class Canvas {
public:
    // width x height pixels showing designWidth x designHeight units.
    Canvas(int width, int height, double designWidth, double designHeight);
    Canvas(int width, int height) : Canvas(width, height, width, height) {}

    int Width() const { return width_; }
    int Height() const { return height_; }

    void Clear(Rgba colour);
    // Fills every pixel inside the box (design units) for which inside()
    // holds, weighted by the share of its 16 samples.
    void FillWhere(double x0, double y0, double x1, double y1, Rgba colour,
                   const std::function<bool(double, double)>& inside);
    // Same, with a colour per sample point (gradients).
    void ShadeWhere(double x0, double y0, double x1, double y1,
                    const std::function<bool(double, double)>& inside,
                    const std::function<Rgba(double, double)>& shade);
    // Sets the pixels inside the box to fully transparent (a window).
    void CutOut(double x0, double y0, double x1, double y1);

    void FillRect(double x0, double y0, double x1, double y1, Rgba colour);
    void FillRoundRect(double x0, double y0, double x1, double y1, double radius, Rgba colour);
    void StrokeRoundRect(double x0, double y0, double x1, double y1, double radius, double width, Rgba colour);
    void FillEllipse(double cx, double cy, double rx, double ry, Rgba colour);
    void FillCircle(double cx, double cy, double r, Rgba colour) { FillEllipse(cx, cy, r, r, colour); }
    void Ring(double cx, double cy, double r, double width, Rgba colour);
    void FillPolygon(const std::vector<Point>& points, Rgba colour);
    void Line(Point a, Point b, double width, Rgba colour);
    void Polyline(const std::vector<Point>& points, double width, Rgba colour, bool closed = false);

    // Writes the canvas; the format comes from the extension (.png, .bmp, .jpg).
    bool Save(const char* path) const;

private:
    void Blend(int px, int py, Rgba colour, float coverage);
    int width_, height_;
    double sx_, sy_;  // pixels per design unit
    std::vector<Rgba> pixels_;
};

// Point inside a polygon (non-zero winding).
bool InsidePolygon(const std::vector<Point>& points, double x, double y);
// Distance from p to the segment a-b.
double SegmentDistance(Point p, Point a, Point b);
// The polygon turned by angle (radians, clockwise on screen) about c.
std::vector<Point> Rotated(const std::vector<Point>& points, Point c, double angle);
std::vector<Point> Scaled(const std::vector<Point>& points, Point c, double sx, double sy);
