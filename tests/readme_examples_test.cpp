// The README's example commands, run verbatim as a new user runs them: each
// ```sh block that runs the built programs, from a project root in which
// build/host/bin holds this build's programs, with a home of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/png_image.h"
#include "tests/support/qozcal_run.h"

namespace fs = std::filesystem;

namespace {

// The README's fenced blocks of the given language ("" for plain ones).
std::vector<std::string> ReadmeBlocks(const std::string& language) {
    std::istringstream readme(ReadWholeFile(fs::path(QOZCAL_SOURCE_DIR) / "README.md"));
    std::vector<std::string> blocks;
    std::string line, block;
    bool inside = false, wanted = false;
    while (std::getline(readme, line)) {
        if (line.starts_with("```")) {
            if (inside && wanted) blocks.push_back(block);
            wanted = !inside && line == "```" + language;
            inside = !inside;
            block.clear();
        } else {
            block += line + "\n";
        }
    }
    return blocks;
}

class ReadmeExamples : public ::testing::Test {
protected:
    ReadmeExamples() {
        fs::create_directories(root / "build/host");
        fs::create_directory_symlink(fs::path(QOZCAL_PATH).parent_path(), root / "build/host/bin");
        fs::create_directory_symlink(QOZCAL_EXAMPLES_DIR, root / "examples");
        fs::create_directories(root / "docs");
        fs::create_directories(scratch.dir() / "home");
        fs::create_directories(scratch.dir() / "tmp");
    }

    ChildResult Run(const std::string& block, const std::string& runtimeFolder = {}) {
        std::vector<std::pair<std::string, std::string>> environment = {
            {"HOME", (scratch.dir() / "home").string()},
            {"TMPDIR", (scratch.dir() / "tmp").string()}};
        if (!runtimeFolder.empty()) environment.emplace_back("XDG_RUNTIME_DIR", runtimeFolder);
        return RunChild({.argv = {"/bin/bash", "-e", "-c", block},
                         .directory = root,
                         .setEnvironment = environment,
                         .unsetEnvironment = {"QOZCAL_REGISTRY", "QOZCAL_DEBUG_LOG",
                                              "XDG_STATE_HOME", "XDG_CACHE_HOME"}},
                        std::chrono::seconds(60));
    }

    ScratchEnvironment scratch;
    fs::path root = scratch.dir() / "root";
};

TEST_F(ReadmeExamples, RunAsWrittenLeaveNothingInTheProjectAndPrintWhatTheReadmeShows) {
    std::vector<std::string> examples;
    for (const std::string& block : ReadmeBlocks("sh"))
        if (block.find("build/host/bin/") != std::string::npos) examples.push_back(block);
    ASSERT_EQ(examples.size(), 3u) << "a calibration, the panel, the listener";
    std::vector<std::string> snippets;
    for (const std::string& block : ReadmeBlocks(""))
        if (block.starts_with("[HKEY_CURRENT_USER\\Software\\QozSerial]\n"))
            snippets.push_back(block);
    ASSERT_EQ(snippets.size(), 1u);

    for (const std::string& example : examples) {
        SCOPED_TRACE(example);
        // Twice: a second run must give what the first gave.
        for (int time = 0; time < 2; ++time) {
            ChildResult run = Run(example);
            EXPECT_EQ(run.status, 0) << run.error;
            if (example.find("qozcal-listen --reg") != std::string::npos) {
                EXPECT_EQ(run.output,
                          "CALSTARTEVENT\nCALENDEVENT\nScaleX=1.02673\nScaleY=1.01587\n"
                          "OffsetX=-13.68984\nOffsetY=-6.50159\n" + snippets[0]);
            } else if (example.find("calibration.pen") != std::string::npos) {
                EXPECT_EQ(run.output,
                          "calibration-done.png\ncalibration-first-mark.png\n"
                          "calibration-second-mark.png\nqoz.log\nqoz.reg\nqoz.reg.lock\n");
            }
            std::vector<std::string> left;
            for (const auto& entry : fs::directory_iterator(root))
                left.push_back(entry.path().filename());
            std::sort(left.begin(), left.end());
            EXPECT_EQ(left, (std::vector<std::string>{"build", "docs", "examples"}));
        }
    }
    // The panel's pictures are the ones committed beside the README.
    for (const char* picture : {"panel-before-calibration.png", "panel-after-calibration.png"}) {
        std::optional<PngImage> made = ReadPng(root / "docs" / picture);
        std::optional<PngImage> committed = ReadPng(fs::path(QOZCAL_SOURCE_DIR) / "docs" / picture);
        ASSERT_TRUE(made && committed) << picture;
        EXPECT_EQ(made->pixels, committed->pixels) << picture;
    }
    EXPECT_FALSE(fs::exists(scratch.dir() / "home/.local/state/qozcal/registry.reg"))
        << "the user's own settings were used";
}

// A listener that cannot start (its event folder is open to others) stops
// the recipe at once: it neither waits for ever nor calibrates unheard.
TEST_F(ReadmeExamples, TheListenerRecipeStopsWhenTheListenerFails) {
    std::string recipe;
    for (const std::string& block : ReadmeBlocks("sh"))
        if (block.find("--ready listening") != std::string::npos) recipe = block;
    ASSERT_FALSE(recipe.empty());
    fs::path shared = scratch.dir() / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms(0777));
    ChildResult run = Run(recipe, shared.string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.error.find("qozcal-listen: cannot open event CALSTARTEVENT"), std::string::npos)
        << run.error;
    for (const auto& entry : fs::recursive_directory_iterator(scratch.dir() / "tmp"))
        EXPECT_NE(entry.path().filename(), "qoz.log") << "qozcal ran unheard";
}

// A new user runs the examples right after scripts/run.sh, which builds only
// some programs: every program they start is among them.
TEST(ReadmeExamplesAfterRunSh, UseOnlyTheProgramsRunShBuilds) {
    std::string runSh = ReadWholeFile(fs::path(QOZCAL_SOURCE_DIR) / "scripts/run.sh");
    size_t targets = runSh.find("--target ");
    ASSERT_NE(targets, std::string::npos);
    std::string built = runSh.substr(targets, runSh.find('\n', targets) - targets) + " ";
    for (const std::string& block : ReadmeBlocks("sh")) {
        for (size_t at = block.find("build/host/bin/"); at != std::string::npos;
             at = block.find("build/host/bin/", at + 1)) {
            std::string program = block.substr(at + 15, block.find_first_of(" \n", at) - at - 15);
            EXPECT_NE(built.find(" " + program + " "), std::string::npos) << program;
        }
    }
}

}  // namespace
