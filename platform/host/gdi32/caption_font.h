// Button captions drawn from a system font with Hangul glyphs. The font is
// looked up through fontconfig once per process, on the first caption (or
// taken from the choice an earlier process remembered, font_choice_cache.h),
// and rendered anti-aliased with FreeType; a caption an earlier process
// rendered from the same face is taken as it was (caption_cache.h). Without
// such a font captions are left out and one warning goes to standard error.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qoz::host {

// The pixel sizes a caption is tried at, largest first.
constexpr int kLargestCaptionPixelSize = 12;
constexpr int kSmallestCaptionPixelSize = 8;

struct CaptionImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;  // row by row: 0 no ink, 255 full ink
};

// The text at the largest of the usual caption sizes that fits the box.
// Empty without a font, for empty text, or when even the smallest size
// does not fit.
std::optional<CaptionImage> RenderCaption(std::u16string_view text, int maxWidth, int maxHeight);

// Lets the next caption look the font up again, as a new process would.
void ForgetCaptionFontForTesting();

}  // namespace qoz::host
