#include "platform/host/gdi32/stock_objects.h"

namespace qoz::host {

namespace {

constexpr uintptr_t kFirstBrush = 0x30000;
constexpr uintptr_t kHandleStep = 4;
// WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH.
constexpr uint32_t kStockBrushColours[] = {kWhite, 0x00C0C0C0, 0x00808080, 0x00404040, kBlack};
constexpr int kStockBrushCount = int(sizeof kStockBrushColours / sizeof kStockBrushColours[0]);

}  // namespace

std::optional<uint32_t> BrushColour(HBRUSH brush) {
    auto value = reinterpret_cast<uintptr_t>(brush);
    if (value < kFirstBrush || (value - kFirstBrush) % kHandleStep != 0) return std::nullopt;
    size_t index = (value - kFirstBrush) / kHandleStep;
    if (index >= size_t(kStockBrushCount)) return std::nullopt;
    return kStockBrushColours[index];
}

}  // namespace qoz::host

using namespace qoz::host;

// GetStockObject
HGDIOBJ GetStockObject(int index) {
    if (index < 0 || index >= kStockBrushCount) return nullptr;
    return reinterpret_cast<HGDIOBJ>(kFirstBrush + kHandleStep * size_t(index));
}
