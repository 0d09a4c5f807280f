// The caption face that fontconfig chose, remembered between processes.
// Loading fontconfig's configuration is most of the simulator's start-up, so
// a later start opens the remembered file directly. The choice lives in
// $XDG_CACHE_HOME/qozcal/caption-font (default ~/.cache/qozcal/) and holds
// only while the font file keeps its size and modification time and the
// fontconfig environment (FONTCONFIG_FILE, FONTCONFIG_PATH,
// FONTCONFIG_SYSROOT) is the one it was made in. Deleting the file makes
// the next start look again, e.g. after installing other fonts.
#pragma once

#include <optional>
#include <string>

namespace qoz::host {

struct FontChoice {
    std::string file;
    int index = 0;  // the face within the file
};

// The remembered choice, or empty when there is none that still holds.
std::optional<FontChoice> RecallFontChoice();

// Best effort: a cache folder that cannot be written leaves nothing behind.
void RememberFontChoice(const FontChoice& choice);

// What a remembered choice holds on: the file, the face, the file's size and
// time and the fontconfig environment, as lines of text; empty when the file
// is gone.
std::optional<std::string> FontChoiceKey(const FontChoice& choice);

}  // namespace qoz::host
