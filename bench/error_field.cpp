#include "bench/error_field.h"

#include <cmath>
#include <cstdint>

#include "platform/host/simulator/png_writer.h"

namespace qoz::bench {

namespace {

constexpr uint32_t paper = 0xFFFFFF, frame = 0x808080, touchColour = 0x2060D0,
                   arrowColour = 0xD02020;
constexpr int gap = 24;  // pixels between the two screens
constexpr double headLength = 7, headAngle = 0.45;

class Canvas {
public:
    Canvas(int width, int height)
        : width_(width), height_(height), pixels_(size_t(width) * size_t(height), paper) {}

    void Dot(double x, double y, uint32_t colour) {
        int cx = int(std::lround(x)), cy = int(std::lround(y));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) Set(cx + dx, cy + dy, colour);
    }

    void Line(double x0, double y0, double x1, double y1, uint32_t colour) {
        int steps = int(std::ceil(std::max(std::abs(x1 - x0), std::abs(y1 - y0)))) + 1;
        for (int step = 0; step <= steps; ++step) {
            double t = double(step) / steps;
            Set(int(std::lround(x0 + (x1 - x0) * t)), int(std::lround(y0 + (y1 - y0) * t)), colour);
        }
    }

    void DrawArrow(double x0, double y0, double x1, double y1, uint32_t colour) {
        Line(x0, y0, x1, y1, colour);
        double length = std::hypot(x1 - x0, y1 - y0);
        if (length < 1) return;
        double back = std::atan2(y0 - y1, x0 - x1), head = std::min(headLength, length / 2);
        for (double side : {-headAngle, headAngle})
            Line(x1, y1, x1 + head * std::cos(back + side), y1 + head * std::sin(back + side),
                 colour);
    }

    void Frame(int left, int top, int right, int bottom) {
        Line(left, top, right, top, frame);
        Line(right, top, right, bottom, frame);
        Line(right, bottom, left, bottom, frame);
        Line(left, bottom, left, top, frame);
    }

    const std::vector<uint32_t>& Pixels() const { return pixels_; }

private:
    void Set(int x, int y, uint32_t colour) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_)
            pixels_[size_t(y) * size_t(width_) + size_t(x)] = colour;
    }
    int width_, height_;
    std::vector<uint32_t> pixels_;
};

void DrawScreen(Canvas& canvas, int left, int width, int height, const std::vector<Arrow>& arrows,
                int zoom) {
    canvas.Frame(left, 0, left + width * zoom - 1, height * zoom - 1);
    auto at = [&](double pixel) { return (pixel + 0.5) * zoom; };
    for (const Arrow& arrow : arrows) {
        canvas.DrawArrow(left + at(arrow.fromX), at(arrow.fromY), left + at(arrow.toX),
                         at(arrow.toY), arrowColour);
        canvas.Dot(left + at(arrow.fromX), at(arrow.fromY), touchColour);
    }
}

}  // namespace

bool WriteErrorField(const std::string& path, int width, int height,
                     const std::vector<Arrow>& before, const std::vector<Arrow>& after, int zoom,
                     std::string& error) {
    int screenWidth = width * zoom;
    Canvas canvas(2 * screenWidth + gap, height * zoom);
    DrawScreen(canvas, 0, width, height, before, zoom);
    DrawScreen(canvas, screenWidth + gap, width, height, after, zoom);
    return sim::WritePng(path, canvas.Pixels(), 2 * screenWidth + gap, height * zoom, error);
}

}  // namespace qoz::bench
