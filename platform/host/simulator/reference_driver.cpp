#include "platform/host/simulator/reference_driver.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "platform/common/utf16.h"

namespace qoz::sim {

namespace {

// The program's constants: device units per client pixel on each axis (as
// the 32-bit floats it computes with), and the client area's origin on the
// screen (a bordered window at (0, 0)).
constexpr double unitsPerPixelX = double(4.266719f);
constexpr double unitsPerPixelY = double(3.2f);
constexpr double clientOrigin = 1;
constexpr double deviceUnits = 1024;

// The program's own limit for a settings value: 180 bytes of text.
constexpr DWORD maxValueBytes = 180;

std::optional<double> ReadNumber(HKEY key, const WCHAR* name) {
    BYTE data[maxValueBytes] = {};
    DWORD size = sizeof data, type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    std::u16string text(size / sizeof(char16_t), u'\0');
    std::copy_n(data, text.size() * sizeof(char16_t), reinterpret_cast<BYTE*>(text.data()));
    while (!text.empty() && text.back() == 0) text.pop_back();
    std::string bytes = Utf16ToUtf8(text);
    double value = 0;
    auto [end, result] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), value);
    if (bytes.empty() || result != std::errc() || end != bytes.data() + bytes.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

int OnScreen(double pixel, int screenSize) {
    return int(std::clamp(std::round(pixel), 0.0, double(screenSize - 1)));
}

}  // namespace

DriverSettings ReadDriverSettings() {
    DriverSettings settings;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\QozSerial"), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return settings;
    settings.scaleX = ReadNumber(key, TEXT("ScaleX")).value_or(1);
    settings.scaleY = ReadNumber(key, TEXT("ScaleY")).value_or(1);
    settings.offsetX = ReadNumber(key, TEXT("OffsetX")).value_or(0);
    settings.offsetY = ReadNumber(key, TEXT("OffsetY")).value_or(0);
    RegCloseKey(key);
    return settings;
}

ScreenPosition RawPosition(PanelReading reading, int screenWidth, int screenHeight) {
    return {reading.x * screenWidth / deviceUnits, reading.y * screenHeight / deviceUnits};
}

ScreenPosition CalibratedPosition(PanelReading reading, const DriverSettings& settings,
                                  int screenWidth, int screenHeight) {
    ScreenPosition raw = RawPosition(reading, screenWidth, screenHeight);
    double unitsX = (raw.x - clientOrigin) * unitsPerPixelX;
    double unitsY = (raw.y - clientOrigin) * unitsPerPixelY;
    double calibratedX = unitsX * settings.scaleX + settings.offsetX;
    double calibratedY = unitsY * settings.scaleY + settings.offsetY;
    return {clientOrigin + calibratedX * screenWidth / deviceUnits,
            clientOrigin + calibratedY * screenHeight / deviceUnits};
}

ReferenceDriver::ReferenceDriver(int screenWidth, int screenHeight)
    : width_(screenWidth),
      height_(screenHeight),
      startEvent_(CreateEventW(nullptr, FALSE, FALSE, TEXT("CALSTARTEVENT"))),
      endEvent_(CreateEventW(nullptr, FALSE, FALSE, TEXT("CALENDEVENT"))),
      settings_(ReadDriverSettings()) {}

ReferenceDriver::~ReferenceDriver() {
    if (startEvent_ != nullptr) CloseHandle(startEvent_);
    if (endEvent_ != nullptr) CloseHandle(endEvent_);
}

void ReferenceDriver::TakeEvents() {
    if (startEvent_ != nullptr && WaitForSingleObject(startEvent_, 0) == WAIT_OBJECT_0) raw_ = true;
    if (endEvent_ != nullptr && WaitForSingleObject(endEvent_, 0) == WAIT_OBJECT_0) {
        settings_ = ReadDriverSettings();
        raw_ = false;
    }
}

POINT ReferenceDriver::Deliver(PanelReading reading) const {
    ScreenPosition position = raw_ ? RawPosition(reading, width_, height_)
                                   : CalibratedPosition(reading, settings_, width_, height_);
    return POINT{OnScreen(position.x, width_), OnScreen(position.y, height_)};
}

}  // namespace qoz::sim
