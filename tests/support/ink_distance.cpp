#include "tests/support/ink_distance.h"

#include <algorithm>
#include <cmath>
#include <limits>

PixelSet InkPixels(const PngImage& image, const std::vector<Area>& skip) {
    PixelSet ink;
    // The client area of the 240 x 320 window: screen 1..238 x 1..318.
    for (int y = 1; y <= std::min(318, image.height - 1); ++y)
        for (int x = 1; x <= std::min(238, image.width - 1); ++x) {
            bool skipped = std::any_of(skip.begin(), skip.end(),
                                       [&](const Area& area) { return area.Contains(x, y); });
            if (!skipped && image.At(x, y) == black) ink.insert({x, y});
        }
    return ink;
}

double DistanceToPath(double x, double y, const PenPath& path) {
    double best = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < path.size(); ++i) {
        double ax = path[i].first, ay = path[i].second;
        double bx = path[std::min(i + 1, path.size() - 1)].first;
        double by = path[std::min(i + 1, path.size() - 1)].second;
        double lengthSquared = (bx - ax) * (bx - ax) + (by - ay) * (by - ay);
        double t =
            lengthSquared == 0 ? 0 : ((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / lengthSquared;
        t = std::clamp(t, 0.0, 1.0);
        best = std::min(best, std::hypot(x - (ax + t * (bx - ax)), y - (ay + t * (by - ay))));
    }
    return best;
}

InkDistances MeasureInk(const PixelSet& ink, const PenPath& path) {
    InkDistances result{ink.size(), std::numeric_limits<double>::infinity(), 0};
    for (const Pixel& pixel : ink) {
        double distance = DistanceToPath(pixel.first, pixel.second, path);
        result.nearest = std::min(result.nearest, distance);
        result.farthest = std::max(result.farthest, distance);
    }
    return result;
}
