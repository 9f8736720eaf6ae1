// Anti-aliased shapes on an RGBA canvas, and the writer through FreeImage.
#include "canvas.h"

#include <FreeImage.h>

#include <algorithm>
#include <cmath>
#include <cstring>

Rgba Hex(uint32_t rgb, float alpha)
{
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, alpha};
}

Canvas::Canvas(int width, int height, double designWidth, double designHeight)
    : width_(width), height_(height), sx_(width / designWidth), sy_(height / designHeight),
      pixels_(static_cast<size_t>(width) * height, Rgba{0, 0, 0, 0})
{
}

void Canvas::Clear(Rgba colour)
{
    std::fill(pixels_.begin(), pixels_.end(), colour);
}

void Canvas::Blend(int px, int py, Rgba c, float coverage)
{
    Rgba& d = pixels_[static_cast<size_t>(py) * width_ + px];
    float a = c.a * coverage;
    float outA = a + d.a * (1 - a);
    if (outA <= 0) {
        d = {0, 0, 0, 0};
        return;
    }
    d.r = (c.r * a + d.r * d.a * (1 - a)) / outA;
    d.g = (c.g * a + d.g * d.a * (1 - a)) / outA;
    d.b = (c.b * a + d.b * d.a * (1 - a)) / outA;
    d.a = outA;
}

void Canvas::ShadeWhere(double x0, double y0, double x1, double y1,
                        const std::function<bool(double, double)>& inside,
                        const std::function<Rgba(double, double)>& shade)
{
    int px0 = std::max(0, static_cast<int>(std::floor(x0 * sx_)) - 1);
    int py0 = std::max(0, static_cast<int>(std::floor(y0 * sy_)) - 1);
    int px1 = std::min(width_ - 1, static_cast<int>(std::ceil(x1 * sx_)) + 1);
    int py1 = std::min(height_ - 1, static_cast<int>(std::ceil(y1 * sy_)) + 1);
    for (int py = py0; py <= py1; ++py)
        for (int px = px0; px <= px1; ++px) {
            int hits = 0;
            Rgba sum{0, 0, 0, 0};
            for (int k = 0; k < 16; ++k) {
                double x = (px + (k % 4 + 0.5) / 4) / sx_;
                double y = (py + (k / 4 + 0.5) / 4) / sy_;
                if (!inside(x, y))
                    continue;
                Rgba c = shade(x, y);
                sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b, sum.a + c.a};
                ++hits;
            }
            if (hits)
                Blend(px, py, {sum.r / hits, sum.g / hits, sum.b / hits, sum.a / hits}, hits / 16.0f);
        }
}

void Canvas::FillWhere(double x0, double y0, double x1, double y1, Rgba colour,
                       const std::function<bool(double, double)>& inside)
{
    ShadeWhere(x0, y0, x1, y1, inside, [colour](double, double) { return colour; });
}

void Canvas::CutOut(double x0, double y0, double x1, double y1)
{
    for (int py = 0; py < height_; ++py)
        for (int px = 0; px < width_; ++px) {
            double x = (px + 0.5) / sx_, y = (py + 0.5) / sy_;
            if (x >= x0 && x < x1 && y >= y0 && y < y1)
                pixels_[static_cast<size_t>(py) * width_ + px] = {0, 0, 0, 0};
        }
}

void Canvas::FillRect(double x0, double y0, double x1, double y1, Rgba colour)
{
    FillWhere(x0, y0, x1, y1, colour, [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; });
}

static bool InsideRoundRect(double x0, double y0, double x1, double y1, double r, double x, double y)
{
    if (x < x0 || x >= x1 || y < y0 || y >= y1)
        return false;
    double cx = std::clamp(x, x0 + r, x1 - r);
    double cy = std::clamp(y, y0 + r, y1 - r);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

void Canvas::FillRoundRect(double x0, double y0, double x1, double y1, double radius, Rgba colour)
{
    FillWhere(x0, y0, x1, y1, colour,
              [=](double x, double y) { return InsideRoundRect(x0, y0, x1, y1, radius, x, y); });
}

void Canvas::StrokeRoundRect(double x0, double y0, double x1, double y1, double radius, double w, Rgba colour)
{
    FillWhere(x0, y0, x1, y1, colour, [=](double x, double y) {
        return InsideRoundRect(x0, y0, x1, y1, radius, x, y) &&
               !InsideRoundRect(x0 + w, y0 + w, x1 - w, y1 - w, std::max(0.0, radius - w), x, y);
    });
}

void Canvas::FillEllipse(double cx, double cy, double rx, double ry, Rgba colour)
{
    FillWhere(cx - rx, cy - ry, cx + rx, cy + ry, colour, [=](double x, double y) {
        double u = (x - cx) / rx, v = (y - cy) / ry;
        return u * u + v * v <= 1.0;
    });
}

void Canvas::Ring(double cx, double cy, double r, double w, Rgba colour)
{
    double outer = r + w / 2, inner = r - w / 2;
    FillWhere(cx - outer, cy - outer, cx + outer, cy + outer, colour, [=](double x, double y) {
        double d = std::hypot(x - cx, y - cy);
        return d <= outer && d >= inner;
    });
}

bool InsidePolygon(const std::vector<Point>& p, double x, double y)
{
    int winding = 0;
    for (size_t i = 0, n = p.size(); i < n; ++i) {
        const Point& a = p[i];
        const Point& b = p[(i + 1) % n];
        double cross = (b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y);
        if (a.y <= y) {
            if (b.y > y && cross > 0)
                ++winding;
        } else if (b.y <= y && cross < 0) {
            --winding;
        }
    }
    return winding != 0;
}

static void Bounds(const std::vector<Point>& p, double* x0, double* y0, double* x1, double* y1)
{
    *x0 = *y0 = 1e300;
    *x1 = *y1 = -1e300;
    for (const Point& q : p) {
        *x0 = std::min(*x0, q.x);
        *y0 = std::min(*y0, q.y);
        *x1 = std::max(*x1, q.x);
        *y1 = std::max(*y1, q.y);
    }
}

void Canvas::FillPolygon(const std::vector<Point>& points, Rgba colour)
{
    if (points.size() < 3)
        return;
    double x0, y0, x1, y1;
    Bounds(points, &x0, &y0, &x1, &y1);
    FillWhere(x0, y0, x1, y1, colour, [&](double x, double y) { return InsidePolygon(points, x, y); });
}

double SegmentDistance(Point p, Point a, Point b)
{
    double dx = b.x - a.x, dy = b.y - a.y;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

void Canvas::Line(Point a, Point b, double width, Rgba colour)
{
    double h = width / 2;
    FillWhere(std::min(a.x, b.x) - h, std::min(a.y, b.y) - h, std::max(a.x, b.x) + h, std::max(a.y, b.y) + h,
              colour, [=](double x, double y) { return SegmentDistance({x, y}, a, b) <= h; });
}

void Canvas::Polyline(const std::vector<Point>& p, double width, Rgba colour, bool closed)
{
    if (p.size() < 2)
        return;
    double x0, y0, x1, y1;
    Bounds(p, &x0, &y0, &x1, &y1);
    double h = width / 2;
    size_t segments = closed ? p.size() : p.size() - 1;
    FillWhere(x0 - h, y0 - h, x1 + h, y1 + h, colour, [&](double x, double y) {
        for (size_t i = 0; i < segments; ++i)
            if (SegmentDistance({x, y}, p[i], p[(i + 1) % p.size()]) <= h)
                return true;
        return false;
    });
}

std::vector<Point> Rotated(const std::vector<Point>& points, Point c, double angle)
{
    std::vector<Point> out;
    double cs = std::cos(angle), sn = std::sin(angle);
    for (const Point& p : points)
        out.push_back({c.x + (p.x - c.x) * cs - (p.y - c.y) * sn, c.y + (p.x - c.x) * sn + (p.y - c.y) * cs});
    return out;
}

std::vector<Point> Scaled(const std::vector<Point>& points, Point c, double sx, double sy)
{
    std::vector<Point> out;
    for (const Point& p : points)
        out.push_back({c.x + (p.x - c.x) * sx, c.y + (p.y - c.y) * sy});
    return out;
}

static BYTE ToByte(float v)
{
    return static_cast<BYTE>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

bool Canvas::Save(const char* path) const
{
    FIBITMAP* image = FreeImage_Allocate(width_, height_, 32);
    if (!image)
        return false;
    for (int y = 0; y < height_; ++y) {
        BYTE* line = FreeImage_GetScanLine(image, height_ - 1 - y);  // rows run bottom-up
        for (int x = 0; x < width_; ++x) {
            const Rgba& p = pixels_[static_cast<size_t>(y) * width_ + x];
            line[FI_RGBA_RED] = ToByte(p.r);
            line[FI_RGBA_GREEN] = ToByte(p.g);
            line[FI_RGBA_BLUE] = ToByte(p.b);
            line[FI_RGBA_ALPHA] = ToByte(p.a);
            line += 4;
        }
    }
    FREE_IMAGE_FORMAT format = FreeImage_GetFIFFromFilename(path);
    bool ok = false;
    if (format == FIF_JPEG) {
        FIBITMAP* rgb = FreeImage_ConvertTo24Bits(image);
        ok = rgb && FreeImage_Save(FIF_JPEG, rgb, path, JPEG_QUALITYGOOD);
        if (rgb)
            FreeImage_Unload(rgb);
    } else if (format != FIF_UNKNOWN) {
        ok = FreeImage_Save(format, image, path, 0);
    }
    FreeImage_Unload(image);
    return ok;
}
