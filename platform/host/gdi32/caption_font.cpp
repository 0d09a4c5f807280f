#include "platform/host/gdi32/caption_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/common/utf16.h"
#include "platform/host/gdi32/caption_cache.h"
#include "platform/host/gdi32/font_choice_cache.h"

namespace qoz::host {

namespace {

// 삭 and 제: a face without them cannot draw the Hangul captions.
constexpr FcChar32 kHangulProbes[] = {0xC0AD, 0xC81C};
constexpr const char* kFontPattern = "sans-serif:lang=ko";

enum class Lookup { NotYet, Found, Missing };
Lookup lookup = Lookup::NotYet;
FT_Library library = nullptr;
FT_Face face = nullptr;
// The face's choice: remembered by an earlier process until the face is
// opened, then the one opened.
bool recallTried = false;
std::optional<FontChoice> choice;

const std::optional<FontChoice>& Choice() {
    if (!recallTried) choice = RecallFontChoice();
    recallTried = true;
    return choice;
}

bool FaceHasProbes(FT_Face candidate) {
    return std::all_of(std::begin(kHangulProbes), std::end(kHangulProbes),
                       [&](FcChar32 code) { return FT_Get_Char_Index(candidate, code) != 0; });
}

bool CharsetHasProbes(const FcPattern* font) {
    FcCharSet* charset = nullptr;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch) return false;
    return std::all_of(std::begin(kHangulProbes), std::end(kHangulProbes),
                       [&](FcChar32 code) { return FcCharSetHasChar(charset, code); });
}

FT_Face OpenFaceWithProbes(const FontChoice& wanted) {
    FT_Face candidate = nullptr;
    if (FT_New_Face(library, wanted.file.c_str(), wanted.index, &candidate) != 0) return nullptr;
    if (FaceHasProbes(candidate)) return candidate;
    FT_Done_Face(candidate);
    return nullptr;
}

FT_Face OpenFace(const FcPattern* font) {
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) return nullptr;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    FontChoice found{reinterpret_cast<const char*>(file), index};
    FT_Face opened = OpenFaceWithProbes(found);
    if (opened) {
        RememberFontChoice(found);
        choice = found;
    }
    return opened;
}

// The face an earlier process chose, without loading fontconfig.
FT_Face OpenRecalledFace() {
    FT_Face opened = Choice() ? OpenFaceWithProbes(*Choice()) : nullptr;
    if (!opened) choice.reset();
    return opened;
}

// The best Korean sans-serif face that really has the probe glyphs.
FT_Face FindHangulFace() {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return nullptr;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(kFontPattern));
    FcCharSet* probes = FcCharSetCreate();
    for (FcChar32 code : kHangulProbes) FcCharSetAddChar(probes, code);
    FcPatternAddCharSet(pattern, FC_CHARSET, probes);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(config, pattern, FcTrue, nullptr, &result);
    FT_Face found = nullptr;
    for (int i = 0; fonts && i < fonts->nfont && !found; ++i)
        if (CharsetHasProbes(fonts->fonts[i])) found = OpenFace(fonts->fonts[i]);

    if (fonts) FcFontSetDestroy(fonts);
    FcCharSetDestroy(probes);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return found;
}

bool EnsureFont() {
    if (lookup == Lookup::NotYet) {
        lookup = Lookup::Missing;
        if (FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            std::fputs(
                "qozcal: the FreeType library did not start; buttons are drawn without "
                "captions\n",
                stderr);
        } else if ((face = OpenRecalledFace()) == nullptr && (face = FindHangulFace()) == nullptr) {
            std::fputs(
                "qozcal: no font with Hangul glyphs found (install fonts-nanum); buttons "
                "are drawn without captions\n",
                stderr);
        } else {
            lookup = Lookup::Found;
        }
    }
    return lookup == Lookup::Found;
}

std::u32string CodePoints(std::u16string_view text) {
    std::u32string result;
    for (size_t i = 0; i < text.size();) {
        Utf16CodePoint next = DecodeUtf16(text, i);
        result += next.OrReplacement();
        i += next.units;
    }
    return result;
}

struct PlacedGlyph {
    int left = 0;  // in the line, from the pen's start
    int top = 0;   // from the top of the line box
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;
};

PlacedGlyph TakeRenderedGlyph(const FT_GlyphSlot slot, int penX, int ascender) {
    const FT_Bitmap& bitmap = slot->bitmap;
    PlacedGlyph glyph{penX + slot->bitmap_left,
                      ascender - slot->bitmap_top,
                      int(bitmap.width),
                      int(bitmap.rows),
                      {}};
    glyph.coverage.resize(size_t(glyph.width) * size_t(glyph.height));
    const int pitch = bitmap.pitch;
    for (int row = 0; row < glyph.height; ++row) {
        const unsigned char* line =
            bitmap.buffer + (pitch >= 0 ? row * pitch : (glyph.height - 1 - row) * -pitch);
        for (int column = 0; column < glyph.width; ++column) {
            uint8_t value = 0;
            if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
                value = uint8_t(line[column] * 255 / std::max(1, int(bitmap.num_grays) - 1));
            else if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                value = (line[column >> 3] & (0x80 >> (column & 7))) ? 255 : 0;
            glyph.coverage[size_t(row) * size_t(glyph.width) + size_t(column)] = value;
        }
    }
    return glyph;
}

std::optional<CaptionImage> RenderAtSize(const std::u32string& text, int pixelSize) {
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize)) != 0) return std::nullopt;
    const FT_Size_Metrics& metrics = face->size->metrics;
    const int ascender = int((metrics.ascender + 63) >> 6);
    const int descender = int(metrics.descender >> 6);  // negative, rounded down

    std::vector<PlacedGlyph> glyphs;
    FT_Pos pen = 0;  // 26.6 fixed point
    FT_UInt previous = 0;
    int leftmost = 0;
    int rightmost = 0;
    for (char32_t code : text) {
        FT_UInt index = FT_Get_Char_Index(face, code);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector kerning{0, 0};
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kerning) == 0)
                pen += kerning.x;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP) != 0) continue;
        glyphs.push_back(TakeRenderedGlyph(face->glyph, int((pen + 32) >> 6), ascender));
        leftmost = std::min(leftmost, glyphs.back().left);
        rightmost = std::max(rightmost, glyphs.back().left + glyphs.back().width);
        pen += face->glyph->advance.x;
        previous = index;
    }
    rightmost = std::max(rightmost, int((pen + 32) >> 6));

    CaptionImage image{rightmost - leftmost, ascender - descender, {}};
    if (image.width <= 0 || image.height <= 0) return std::nullopt;
    image.coverage.assign(size_t(image.width) * size_t(image.height), 0);
    for (const PlacedGlyph& glyph : glyphs) {
        for (int row = 0; row < glyph.height; ++row) {
            int y = glyph.top + row;
            if (y < 0 || y >= image.height) continue;
            for (int column = 0; column < glyph.width; ++column) {
                int x = glyph.left - leftmost + column;
                uint8_t& cell = image.coverage[size_t(y) * size_t(image.width) + size_t(x)];
                cell = std::max(cell,
                                glyph.coverage[size_t(row) * size_t(glyph.width) + size_t(column)]);
            }
        }
    }
    return image;
}

}  // namespace

std::optional<CaptionImage> RenderCaption(std::u16string_view text, int maxWidth, int maxHeight) {
    if (text.empty() || maxWidth <= 0 || maxHeight <= 0) return std::nullopt;
    if (lookup != Lookup::Missing && Choice()) {
        std::optional<CaptionImage> remembered = RecallCaption(*Choice(), text, maxWidth, maxHeight);
        if (remembered) return remembered;
    }
    if (!EnsureFont()) return std::nullopt;
    const std::u32string codePoints = CodePoints(text);
    for (int size = kLargestCaptionPixelSize; size >= kSmallestCaptionPixelSize; --size) {
        std::optional<CaptionImage> image = RenderAtSize(codePoints, size);
        if (image && image->width <= maxWidth && image->height <= maxHeight) {
            if (choice) RememberCaption(*choice, text, maxWidth, maxHeight, *image);
            return image;
        }
    }
    return std::nullopt;
}

void ForgetCaptionFontForTesting() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
    face = nullptr;
    library = nullptr;
    lookup = Lookup::NotYet;
    recallTried = false;
    choice.reset();
    ForgetCaptionsForTesting();
}

}  // namespace qoz::host
