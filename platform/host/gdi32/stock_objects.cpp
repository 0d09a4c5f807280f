#include "platform/host/gdi32/stock_objects.h"

#include <array>

#include "platform/host/kernel32/handle_table.h"

namespace qoz::host {

namespace {

// WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH.
constexpr uint32_t kStockBrushColours[] = {kWhite, 0x00C0C0C0, 0x00808080, 0x00404040, kBlack};
constexpr int kStockBrushCount = int(sizeof kStockBrushColours / sizeof kStockBrushColours[0]);

// Made once, never closed: each index keeps its handle.
struct StockBrushes {
    HandleTable<HBRUSH, uint32_t, SlotReuse::Never> colours{HandleKind::StockBrush};
    std::array<HBRUSH, kStockBrushCount> handles{};

    StockBrushes() {
        for (int index = 0; index < kStockBrushCount; ++index)
            handles[size_t(index)] = colours.Add(uint32_t(kStockBrushColours[index]));
    }
};

const StockBrushes& Brushes() {
    static const StockBrushes brushes;
    return brushes;
}

}  // namespace

std::optional<uint32_t> BrushColour(HBRUSH brush) {
    const uint32_t* colour = Brushes().colours.Find(brush);
    if (!colour) return std::nullopt;
    return *colour;
}

}  // namespace qoz::host

using namespace qoz::host;

// GetStockObject (gdi32)
HGDIOBJ GetStockObject(int index) {
    if (index < 0 || index >= kStockBrushCount) return nullptr;
    return Brushes().handles[size_t(index)];
}
