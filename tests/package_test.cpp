// The Debian package as a user gets it: CPack builds it from this build
// tree, dpkg-deb unpacks it into a scratch folder, and the programs, manual
// pages and examples are used from there, away from the build tree.
#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "tests/support/child_process.h"
#include "tests/support/scratch_environment.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class DebianPackage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = std::make_unique<ScratchEnvironment>();
        fs::path output = scratch_->dir() / "package";
        ChildResult built = RunChild(
            {.argv = {CPACK_PATH, "-G", "DEB", "--config", CPACK_CONFIG, "-B", output.string()}},
            240s);
        if (built.status != 0) {
            failure_ = "cpack failed: " + built.output + built.error;
            return;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(output))
            if (entry.path().extension() == ".deb") package_ = entry.path();
        if (package_.empty()) {
            failure_ = "cpack made no .deb: " + built.output;
            return;
        }
        root_ = scratch_->dir() / "root";
        ChildResult unpacked = Run({"dpkg-deb", "-x", package_.string(), root_.string()});
        if (unpacked.status != 0) failure_ = "dpkg-deb -x failed: " + unpacked.error;
    }

    static void TearDownTestSuite() { scratch_.reset(); }

    void SetUp() override { ASSERT_EQ(failure_, ""); }

    // A program from the PATH (dpkg-deb, gzip, groff) or of the package.
    static ChildResult Run(std::vector<std::string> argv, const fs::path& directory = {},
                           const fs::path& outputPath = {}) {
        if (argv[0].find('/') == std::string::npos)
            argv[0] = FindProgram(argv[0]).value_or(argv[0]);
        return RunChild({.argv = argv, .directory = directory, .outputPath = outputPath}, 60s);
    }

    static std::string Field(const std::string& name) {
        ChildResult field = Run({"dpkg-deb", "-f", package_.string(), name});
        return field.output;
    }

    static std::unique_ptr<ScratchEnvironment> scratch_;
    static fs::path package_;
    static fs::path root_;
    static std::string failure_;
};

std::unique_ptr<ScratchEnvironment> DebianPackage::scratch_;
fs::path DebianPackage::package_;
fs::path DebianPackage::root_;
std::string DebianPackage::failure_;

TEST_F(DebianPackage, NamesItsVersionItsLibrariesAndAHangulFont) {
    EXPECT_EQ(package_.filename().string().rfind("qozcal_" QOZCAL_VERSION "-1_", 0), 0u)
        << package_;
    EXPECT_EQ(Field("Package"), "qozcal\n");
    EXPECT_EQ(Field("Version"), QOZCAL_VERSION "-1\n");
    std::string depends = Field("Depends");
    for (const char* library : {"libsdl2-2.0-0", "libpng16-16", "libfreetype6", "libc6"})
        EXPECT_NE(depends.find(library), std::string::npos) << library << " in " << depends;
    EXPECT_NE(Field("Recommends").find("fonts-nanum"), std::string::npos);
}

TEST_F(DebianPackage, UnpackedProgramsAnswerVersionAndHelp) {
    ChildResult version = Run({(root_ / "usr/bin/qozcal").string(), "--version"}, root_);
    EXPECT_EQ(version.status, 0) << version.error;
    EXPECT_EQ(version.output, "qozcal " QOZCAL_VERSION "\n");

    ChildResult help = Run({(root_ / "usr/bin/qozcal-listen").string(), "--help"}, root_);
    EXPECT_EQ(help.status, 0) << help.error;
    EXPECT_EQ(help.output.rfind("Usage: qozcal-listen", 0), 0u) << help.output;
}

// The example calibration from the package's own folder stores the four
// settings and writes its screenshots where it runs.
TEST_F(DebianPackage, UnpackedExampleCalibratesHeadless) {
    fs::path work = scratch_->dir() / "example";
    fs::create_directory(work);
    fs::path registry = work / "settings.reg";
    fs::path script = root_ / "usr/share/doc/qozcal/examples/calibration.pen";
    ChildResult run = Run({(root_ / "usr/bin/qozcal").string(), "--headless", "--virtual-time",
                           "--registry", registry.string(), "--debug-log",
                           (work / "debug.log").string(), "--script", script.string()},
                          work);
    ASSERT_EQ(run.status, 0) << run.error;
    std::string settings = ReadWholeFile(registry);
    for (const char* name : {"ScaleX", "ScaleY", "OffsetX", "OffsetY"}) {
        std::regex calibrated("\"" + std::string(name) + "\"=\"-?[0-9]+\\.[0-9]{5}\"");
        EXPECT_TRUE(std::regex_search(settings, calibrated)) << name << " in " << settings;
    }
    EXPECT_TRUE(fs::exists(work / "calibration-done.png"));
}

TEST_F(DebianPackage, CarriesTheLicenceInDebiansFormatAndAMaintainerWithAnAddress) {
    std::string copyright = ReadWholeFile(root_ / "usr/share/doc/qozcal/copyright");
    EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/"
                              "copyright-format/1.0/\n", 0), 0u) << copyright;
    EXPECT_NE(copyright.find("License: Expat\n"), std::string::npos);
    EXPECT_NE(copyright.find(" THE SOFTWARE IS PROVIDED \"AS IS\""), std::string::npos);
    EXPECT_TRUE(std::regex_match(Field("Maintainer"), std::regex("[^<>]+ <[^@ <>]+@[^@ <>]+>\n")));
    EXPECT_TRUE(fs::exists(root_ / "usr/share/doc/qozcal/changelog.Debian.gz"));
    // A headless run loads no window library; the window program does.
    ChildResult headless = Run({"ldd", (root_ / "usr/bin/qozcal").string()});
    for (const char* library : {"SDL", "pulse", "wayland", "asound", "X11"})
        EXPECT_EQ(headless.output.find(library), std::string::npos) << library;
    ChildResult window = Run({"ldd", (root_ / "usr/libexec/qozcal/qozcal-window").string()});
    EXPECT_NE(window.output.find("libSDL2"), std::string::npos) << window.output;
}

TEST_F(DebianPackage, ManualPagesAreCompressedAndRenderWithoutWarnings) {
    for (const char* page : {"qozcal.1", "qozcal-listen.1"}) {
        fs::path compressed = root_ / "usr/share/man/man1" / (std::string(page) + ".gz");
        fs::path plain = scratch_->dir() / page;
        ChildResult unzipped = Run({"gzip", "-dc", compressed.string()}, {}, plain);
        ASSERT_EQ(unzipped.status, 0) << page << ": " << unzipped.error;
        ChildResult rendered = Run({"groff", "-k", "-man", "-Tutf8", "-ww", "-z", plain.string()});
        EXPECT_EQ(rendered.status, 0) << page;
        EXPECT_EQ(rendered.error, "") << page;
        EXPECT_NE(ReadWholeFile(plain).find(".SH SYNOPSIS"), std::string::npos) << page;
    }
}

TEST_F(DebianPackage, HoldsTheReadmeDocumentsAndEveryExample) {
    fs::path documents = root_ / "usr/share/doc/qozcal";
    EXPECT_TRUE(fs::exists(documents / "README.md"));
    EXPECT_TRUE(fs::exists(documents / "docs/windows.md"));
    for (const fs::directory_entry& example : fs::directory_iterator(QOZCAL_EXAMPLES_DIR))
        EXPECT_TRUE(fs::exists(documents / "examples" / example.path().filename()))
            << example.path().filename();
}

}  // namespace
