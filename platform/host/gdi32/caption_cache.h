// Captions rendered from a face, remembered between processes beside the
// face's choice (font_choice_cache.h) in $XDG_CACHE_HOME/qozcal/captions, so
// that a later start draws them without opening the font: rendering them was
// most of a start-up's work. They hold only while the face's choice holds
// (the same file, size and time) and for the FreeType version and the
// caption sizes they were rendered with. Deleting the file renders them anew.
#pragma once

#include <optional>
#include <string_view>

#include "platform/host/gdi32/caption_font.h"
#include "platform/host/gdi32/font_choice_cache.h"

namespace qoz::host {

// The caption as rendered before from this face into this box, or empty.
std::optional<CaptionImage> RecallCaption(const FontChoice& face, std::u16string_view text,
                                          int maxWidth, int maxHeight);

// Best effort, as the font choice.
void RememberCaption(const FontChoice& face, std::u16string_view text, int maxWidth,
                     int maxHeight, const CaptionImage& image);

// Lets the next recall read the file again, as a new process would.
void ForgetCaptionsForTesting();

}  // namespace qoz::host
