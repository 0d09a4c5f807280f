// Debug logs that cannot be written: the user is told once, every debug line
// still reaches standard error, and the calibration's settings are stored.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/calibration_script.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/settings_values.h"

namespace fs = std::filesystem;

namespace {

const std::string expectedLines = kSeedLines +
                                  "Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n"
                                  "Completes Calibration ..........r\n";

std::string Notice(const std::string& path, const std::string& reason) {
    return "qozcal: cannot write debug log " + path + ": " + reason +
           "; debug lines go to standard error\n";
}

TEST(UnwritableDebugLog, FallsBackToStandardErrorWithOneNotice) {
    struct Case {
        const char* what;
        std::string path;  // relative to the scratch folder unless absolute
        std::string reason;
    };
    const Case cases[] = {
        {"in a folder that does not exist", "missing/debug.log", "No such file or directory"},
        {"a folder", "folder", "Is a directory"},
        {"a full device", "/dev/full", "No space left on device"},
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.what);
        ScratchEnvironment scratch;
        fs::create_directory(scratch.dir() / "folder");
        std::string path = bad.path[0] == '/' ? bad.path : (scratch.dir() / bad.path).string();
        ChildResult run =
            RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets()), .debugLog = path});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.error, Notice(path, bad.reason) + expectedLines);
        EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
        EXPECT_FALSE(fs::exists(scratch.dir() / "missing"));
        EXPECT_TRUE(fs::is_empty(scratch.dir() / "folder"));
    }
}

TEST(UnwritableDebugLog, AFileWithoutWritePermissionIsNamedAndKept) {
    ScratchEnvironment scratch;
    ASSERT_EQ(chmod(scratch.dir().c_str(), 0777), 0);
    std::string log = scratch.writeFile("debug.log", "earlier lines\n");
    std::string script = scratch.writeFile("run.pen", CalibrationScript(TapsAtTheTargets()));
    ASSERT_EQ(chmod(log.c_str(), 0444), 0);
    ASSERT_EQ(chmod(script.c_str(), 0644), 0);
    ChildResult run = RunScript(scratch, {.script = script, .debugLog = log, .unprivileged = true});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, Notice(log, "Permission denied") + expectedLines);
    EXPECT_EQ(ReadWholeFile(log), "earlier lines\n");
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
}

}  // namespace
