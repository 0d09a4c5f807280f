#include "platform/host/gdi32/caption_cache.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/host/gdi32/cache_folder.h"

namespace qoz::host {

namespace {

constexpr const char* kFileName = "captions";
constexpr int kLargestSide = 4096;
constexpr int kLargestCaptionSide = 256;

struct Entry {
    std::u16string text;
    int maxWidth = 0;
    int maxHeight = 0;
    CaptionImage image;
};

// The first line names the format, the FreeType version and the sizes tried.
std::string FormatLine() {
    char line[96];
    std::snprintf(line, sizeof line, "qozcal captions 1 FreeType %d.%d.%d sizes %d-%d\n",
                  FREETYPE_MAJOR, FREETYPE_MINOR, FREETYPE_PATCH, kSmallestCaptionPixelSize,
                  kLargestCaptionPixelSize);
    return line;
}

std::string Hex(const std::u16string& text) {
    std::string hex;
    for (char16_t unit : text) {
        char four[5];
        std::snprintf(four, sizeof four, "%04x", unsigned(unit));
        hex += four;
    }
    return hex;
}

bool Unhex(const std::string& hex, size_t digits, std::vector<unsigned>& values) {
    if (hex.size() % digits != 0) return false;
    for (size_t i = 0; i < hex.size(); i += digits) {
        unsigned value = 0;
        for (size_t j = i; j < i + digits; ++j) {
            int digit = hex[j] >= '0' && hex[j] <= '9'   ? hex[j] - '0'
                        : hex[j] >= 'a' && hex[j] <= 'f' ? hex[j] - 'a' + 10
                                                         : -1;
            if (digit < 0) return false;
            value = value * 16 + unsigned(digit);
        }
        values.push_back(value);
    }
    return true;
}

bool Within(int value, int largest) { return value >= 1 && value <= largest; }

// One entry: "caption MAXW MAXH W H TEXT" and a line of coverage, in hex.
bool ReadEntry(std::istream& in, Entry& entry) {
    std::string header, word, text, coverage;
    if (!std::getline(in, header) || !std::getline(in, coverage)) return false;
    std::istringstream fields(header);
    if (!(fields >> word >> entry.maxWidth >> entry.maxHeight >> entry.image.width >>
          entry.image.height >> text) ||
        word != "caption" || !Within(entry.maxWidth, kLargestSide) ||
        !Within(entry.maxHeight, kLargestSide) ||
        !Within(entry.image.width, kLargestCaptionSide) ||
        !Within(entry.image.height, kLargestCaptionSide))
        return false;
    std::vector<unsigned> units, cells;
    if (!Unhex(text, 4, units) || !Unhex(coverage, 2, cells) ||
        cells.size() != size_t(entry.image.width) * size_t(entry.image.height))
        return false;
    entry.text.assign(units.begin(), units.end());
    entry.image.coverage.assign(cells.begin(), cells.end());
    return true;
}

std::vector<Entry> entries;

// The file's entries, when it begins with the header.
void ReadEntries(const std::string& header) {
    entries.clear();
    std::optional<std::string> text = ReadCacheFile(kFileName);
    if (header.empty() || !text || text->compare(0, header.size(), header) != 0) return;
    std::istringstream in(text->substr(header.size()));
    for (Entry entry; ReadEntry(in, entry);) entries.push_back(std::move(entry));
}

std::mutex mutex;
std::optional<FontChoice> loadedFace;  // the face the entries below were read for
std::string loadedFor;                 // and the header they were read under

// The entries remembered for this face; read from the file once per face,
// so that a repaint costs no look at the font file.
std::vector<Entry>* EntriesFor(const FontChoice& face) {
    if (!loadedFace || loadedFace->file != face.file || loadedFace->index != face.index) {
        loadedFace = face;
        std::optional<std::string> key = FontChoiceKey(face);
        loadedFor = key ? FormatLine() + *key : std::string();
        ReadEntries(loadedFor);
    }
    return loadedFor.empty() ? nullptr : &entries;
}

}  // namespace

std::optional<CaptionImage> RecallCaption(const FontChoice& face, std::u16string_view text,
                                          int maxWidth, int maxHeight) {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Entry>* remembered = EntriesFor(face);
    if (!remembered) return std::nullopt;
    for (const Entry& entry : *remembered)
        if (entry.text == text && entry.maxWidth == maxWidth && entry.maxHeight == maxHeight)
            return entry.image;
    return std::nullopt;
}

void RememberCaption(const FontChoice& face, std::u16string_view text, int maxWidth,
                     int maxHeight, const CaptionImage& image) {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Entry>* remembered = EntriesFor(face);
    if (!remembered || !Within(image.width, kLargestCaptionSide) ||
        !Within(image.height, kLargestCaptionSide))
        return;
    remembered->push_back({std::u16string(text), maxWidth, maxHeight, image});
    std::string file = loadedFor;
    for (const Entry& entry : *remembered) {
        file += "caption " + std::to_string(entry.maxWidth) + ' ' + std::to_string(entry.maxHeight) +
                ' ' + std::to_string(entry.image.width) + ' ' +
                std::to_string(entry.image.height) + ' ' + Hex(entry.text) + '\n';
        for (uint8_t cell : entry.image.coverage) {
            char two[3];
            std::snprintf(two, sizeof two, "%02x", unsigned(cell));
            file += two;
        }
        file += '\n';
    }
    WriteCacheFile(kFileName, file);
}

void ForgetCaptionsForTesting() {
    std::lock_guard<std::mutex> lock(mutex);
    loadedFace.reset();
    loadedFor.clear();
    entries.clear();
}

}  // namespace qoz::host
