#include "platform/host/simulator/touch_panel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>

namespace qoz::sim {

namespace {

std::optional<double> ParseNumber(std::string_view text, double low, double high) {
    double value = 0;
    auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result != std::errc() || end != text.data() + text.size()) return {};
    if (!std::isfinite(value) || value < low || value > high) return {};
    return value;
}

struct Field {
    const char* name;
    double low, high;
    const char* range;
};

constexpr Field fields[] = {{"dx", -4096, 4096, "-4096 to 4096 pixels"},
                            {"dy", -4096, 4096, "-4096 to 4096 pixels"},
                            {"sx", 0.01, 100, "0.01 to 100"},
                            {"sy", 0.01, 100, "0.01 to 100"},
                            {"rot", -360, 360, "-360 to 360 degrees"},
                            {"noise", 0, 1000, "0 to 1000 pixels"},
                            {"seed", 0, 4294967295.0, "0 to 4294967295"}};
constexpr size_t fieldCount = std::size(fields);
constexpr size_t requiredFields = 4;  // dx, dy, sx, sy

}  // namespace

bool ParsePanelModel(std::string_view text, PanelModel& model, std::string& error) {
    double values[fieldCount] = {0, 0, 1, 1, 0, 0, 1};
    bool seen[fieldCount] = {};
    while (!text.empty()) {
        size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        text = comma == text.npos ? std::string_view() : text.substr(comma + 1);
        if (comma != std::string_view::npos && text.empty()) {
            error = "trailing ',' in --panel";
            return false;
        }
        size_t equals = item.find('=');
        std::string name(item.substr(0, equals));
        size_t field = 0;
        while (field < fieldCount && name != fields[field].name) ++field;
        if (equals == item.npos || field == fieldCount) {
            error = "bad item '" + std::string(item) +
                    "' in --panel (dx=, dy=, sx=, sy=, rot=, noise=, seed=)";
            return false;
        }
        if (seen[field]) {
            error = "'" + name + "' given twice in --panel";
            return false;
        }
        std::string_view valueText = item.substr(equals + 1);
        std::optional<double> value = ParseNumber(valueText, fields[field].low, fields[field].high);
        bool wholeSeed = name != "seed" || (value && *value == std::floor(*value));
        if (!value || !wholeSeed) {
            error = "bad value '" + std::string(valueText) + "' for " + name + " in --panel (" +
                    fields[field].range + ")";
            return false;
        }
        seen[field] = true;
        values[field] = *value;
    }
    for (size_t field = 0; field < requiredFields; ++field) {
        if (!seen[field]) {
            error = std::string("--panel needs ") + fields[field].name +
                    "= (dx=..,dy=..,sx=..,sy=..[,rot=..][,noise=..][,seed=..])";
            return false;
        }
    }
    model = PanelModel{values[0], values[1], values[2],          values[3],
                       values[4], values[5], uint32_t(values[6])};
    return true;
}

TouchPanel::TouchPanel(const PanelModel& model, int screenWidth, int screenHeight)
    : model_(model),
      width_(screenWidth),
      height_(screenHeight),
      cosine_(std::cos(model.rotationDegrees * std::numbers::pi / 180)),
      sine_(std::sin(model.rotationDegrees * std::numbers::pi / 180)),
      generator_(model.seed),
      noise_(0.0, 1.0) {}

void TouchPanel::Misplace(double x, double y, double& readX, double& readY) const {
    double scaledX = (x - width_ / 2.0) * model_.sx + model_.dx;
    double scaledY = (y - height_ / 2.0) * model_.sy + model_.dy;
    readX = width_ / 2.0 + scaledX * cosine_ - scaledY * sine_;
    readY = height_ / 2.0 + scaledX * sine_ + scaledY * cosine_;
}

PanelReading TouchPanel::Read(double x, double y) {
    double readX = 0, readY = 0;
    Misplace(x, y, readX, readY);
    if (model_.noisePixels > 0) {
        readX += model_.noisePixels * noise_(generator_);
        readY += model_.noisePixels * noise_(generator_);
    }
    auto units = [](double pixels, int screenSize) {
        double value = std::round(pixels * panelUnits / screenSize);
        return int(std::clamp(value, 0.0, double(panelUnits - 1)));
    };
    return {units(readX, width_), units(readY, height_)};
}

}  // namespace qoz::sim
