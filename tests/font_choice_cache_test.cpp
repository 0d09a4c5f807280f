#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/host/gdi32/caption_font.h"
#include "platform/host/gdi32/font_choice_cache.h"
#include "tests/support/scratch_environment.h"

namespace {

namespace fs = std::filesystem;
using qoz::host::FontChoice;
using qoz::host::RecallFontChoice;
using qoz::host::RememberFontChoice;

ino_t Inode(const fs::path& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

// Every test keeps its cache in its own scratch folder.
class FontChoiceCache : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CACHE_HOME", scratch.dir().c_str(), 1);
        unsetenv("FONTCONFIG_FILE");
        std::ofstream(fontFile) << "not really a font";
        qoz::host::ForgetCaptionFontForTesting();
    }
    void TearDown() override {
        unsetenv("XDG_CACHE_HOME");
        unsetenv("FONTCONFIG_FILE");
        qoz::host::ForgetCaptionFontForTesting();
    }
    fs::path CacheFile() const { return scratch.dir() / "qozcal" / "caption-font"; }

    ScratchEnvironment scratch;
    fs::path fontFile = scratch.dir() / "face.ttf";
};

TEST_F(FontChoiceCache, RecallsWhatWasRememberedWhileTheFileAndEnvironmentStay) {
    EXPECT_FALSE(RecallFontChoice());
    RememberFontChoice({fontFile.string(), 2});
    std::optional<FontChoice> recalled = RecallFontChoice();
    ASSERT_TRUE(recalled);
    EXPECT_EQ(recalled->file, fontFile.string());
    EXPECT_EQ(recalled->index, 2);

    setenv("FONTCONFIG_FILE", "/elsewhere/fonts.conf", 1);
    EXPECT_FALSE(RecallFontChoice()) << "made under another fontconfig configuration";
    unsetenv("FONTCONFIG_FILE");
    EXPECT_TRUE(RecallFontChoice());

    std::ofstream(fontFile, std::ios::app) << " and now longer";
    EXPECT_FALSE(RecallFontChoice()) << "the font file changed";
    RememberFontChoice({fontFile.string(), 0});
    fs::remove(fontFile);
    EXPECT_FALSE(RecallFontChoice()) << "the font file is gone";
}

TEST_F(FontChoiceCache, IgnoresADamagedOrForeignCacheFile) {
    RememberFontChoice({fontFile.string(), 0});
    std::string good = ReadWholeFile(CacheFile());
    ASSERT_FALSE(good.empty());
    for (std::string damaged :
         {std::string(""), std::string("garbage\n"), good.substr(0, good.size() / 2),
          "qozcal caption font 2" + good.substr(good.find('\n'))}) {
        std::ofstream(CacheFile(), std::ios::trunc) << damaged;
        EXPECT_FALSE(RecallFontChoice()) << damaged;
    }
    std::string badIndex = good;
    badIndex.replace(badIndex.find("\n0\n"), 3, "\n-1\n");
    std::ofstream(CacheFile(), std::ios::trunc) << badIndex;
    EXPECT_FALSE(RecallFontChoice());
}

TEST_F(FontChoiceCache, ACaptionRemembersTheHangulFaceAndNeverUsesOneWithoutIt) {
    // A remembered file that holds no Hangul face is passed over.
    RememberFontChoice({fontFile.string(), 0});
    ASSERT_TRUE(qoz::host::RenderCaption(u"삭제", 30, 30)) << "needs a font with Hangul glyphs";
    std::optional<FontChoice> chosen = RecallFontChoice();
    ASSERT_TRUE(chosen);
    EXPECT_NE(chosen->file, fontFile.string());

    // A new process takes the remembered face, draws the same caption and
    // leaves the cache alone: a fresh lookup would have renamed a new file
    // over it.
    std::optional<qoz::host::CaptionImage> first = qoz::host::RenderCaption(u"종료", 30, 30);
    ino_t cacheInode = Inode(CacheFile());
    qoz::host::ForgetCaptionFontForTesting();
    std::optional<qoz::host::CaptionImage> recalled = qoz::host::RenderCaption(u"종료", 30, 30);
    ASSERT_TRUE(first && recalled);
    EXPECT_EQ(first->coverage, recalled->coverage);
    EXPECT_EQ(Inode(CacheFile()), cacheInode);
}

TEST_F(FontChoiceCache, ALinkOrAFolderOthersMayWriteIsNotUsed) {
    RememberFontChoice({fontFile.string(), 0});
    std::string good = ReadWholeFile(CacheFile());
    fs::path elsewhere = scratch.dir() / "elsewhere";
    std::ofstream(elsewhere) << good;
    fs::remove(CacheFile());
    fs::create_symlink(elsewhere, CacheFile());
    EXPECT_FALSE(RecallFontChoice()) << "read through a link";
    fs::remove(CacheFile());

    fs::permissions(CacheFile().parent_path(), fs::perms::all);
    RememberFontChoice({fontFile.string(), 0});
    EXPECT_FALSE(fs::exists(CacheFile())) << "written to a folder anyone may write to";
}

TEST_F(FontChoiceCache, NothingIsWrittenWithoutACacheFolder) {
    setenv("XDG_CACHE_HOME", (fontFile / "not-a-folder").c_str(), 1);
    RememberFontChoice({fontFile.string(), 0});
    EXPECT_FALSE(RecallFontChoice());
    EXPECT_FALSE(fs::exists(fontFile / "not-a-folder"));
}

TEST_F(FontChoiceCache, ACaptionIsDrawnAsRememberedWhileItsFaceStaysAndRenderedAnewOtherwise) {
    ASSERT_TRUE(qoz::host::RenderCaption(u"삭제", 30, 30)) << "needs a font with Hangul glyphs";
    fs::path face = scratch.dir() / "copy.ttf";
    fs::copy_file(RecallFontChoice()->file, face);
    RememberFontChoice({face.string(), 0});
    qoz::host::ForgetCaptionFontForTesting();
    std::optional<qoz::host::CaptionImage> rendered = qoz::host::RenderCaption(u"종료", 30, 30);
    ASSERT_TRUE(rendered);
    fs::path captions = CacheFile().parent_path() / "captions";
    const std::string good = ReadWholeFile(captions);
    const std::string cells = good.substr(good.rfind('\n', good.size() - 2) + 1);
    ASSERT_EQ(cells.size(), 2 * rendered->coverage.size() + 1);

    // What the next process draws, from each cache file.
    std::string marked = good;
    marked.replace(marked.size() - 3, 2, "7f");
    const struct {
        const char* what;
        std::string file;
        bool remembered;
    } rows[] = {
        {"remembered", marked, true},
        {"coverage cut short", marked.substr(0, marked.size() - 3) + "\n", false},
        {"not hex", marked.substr(0, marked.size() - 3) + "zz\n", false},
        {"another FreeType", std::string("qozcal captions 1 FreeType 1.0.0") +
                                 marked.substr(marked.find(" sizes")), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::ofstream(captions, std::ios::trunc) << row.file;
        qoz::host::ForgetCaptionFontForTesting();
        std::optional<qoz::host::CaptionImage> drawn = qoz::host::RenderCaption(u"종료", 30, 30);
        ASSERT_TRUE(drawn);
        EXPECT_EQ(drawn->coverage.back(), row.remembered ? 0x7f : rendered->coverage.back());
    }
    // The face's file changed: its captions are rendered anew.
    std::ofstream(captions, std::ios::trunc) << marked;
    fs::last_write_time(face, fs::last_write_time(face) + std::chrono::seconds(1));
    RememberFontChoice({face.string(), 0});
    qoz::host::ForgetCaptionFontForTesting();
    EXPECT_EQ(qoz::host::RenderCaption(u"종료", 30, 30)->coverage, rendered->coverage);
}

}  // namespace
