// Settings files and paths that qozcal cannot use as they are: what the user
// is told, that the calibration still runs, and that the file is not touched.
#include <gtest/gtest.h>
#include <time.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "platform/host/advapi32/registry_file.h"
#include "platform/host/advapi32/registry_text.h"
#include "tests/support/calibration_script.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/settings_values.h"

namespace fs = std::filesystem;

namespace {

const std::string header = "Windows Registry Editor Version 5.00\n\n";
const std::string section = "[HKEY_CURRENT_USER\\Software\\QozSerial]\n";
const std::string calibratedLine = "Calibrate1Dimension : Scale = [";
const std::string completionLine = "Completes Calibration ..........r\n";
const std::string createFailedLine = "InitQOZCalRegistry : Fail RegCreateKeyEx\r\n";

std::string CorruptMessage(const fs::path& path, int line, const std::string& reason) {
    return SettingsProblemOutput("cannot read settings file " + path.string() + ", line " +
                                 std::to_string(line) + ": " + reason +
                                 "; the file is left unchanged");
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

struct BadFile {
    const char* what;
    std::string text;
    int line;
    const char* reason;
};

TEST(BadSettingsFiles, AreNamedOnceLeftAsTheyAreAndTheCalibrationStillRuns) {
    std::string binary = "\x89PNG\r\n\x1a\n";
    binary += std::string("\0\0\0\rIHDR\0\0\0\xf0\0\0\x01\x40\x08\x06", 18);
    const BadFile cases[] = {
        {"cut off inside a value", header + section + "\"ScaleX\"=\"1.12", 4,
         "unterminated string"},
        {"cut off inside a section line", header + "[HKEY_CURRENT_USER\\Software\\Qoz", 3,
         "bad section line (no closing bracket at its end)"},
        {"binary from the start", binary, 1, "invalid UTF-8"},
        {"binary after the header", header + section + std::string("\0\x01\x02\xff\xfe", 5), 4,
         "invalid UTF-8"},
        {"UTF-16 cut off inside the header", std::string("\xff\xfeW\0i\0n\0d\0o\0w\0s\0 \0", 18), 1,
         "incorrect header"},
        {"a REGEDIT4 header in UTF-16", std::string("\xff\xfeR\0E\0G\0E\0D\0I\0T\0\x34\0\n\0", 20),
         1, "incorrect header (a REGEDIT4 file is ANSI text, without a byte-order mark)"},
        {"Latin-1 text", header + section + "\"ScaleX\"=\"1\xe9\"\n", 4, "invalid UTF-8"},
        {"a duplicate value", header + section + "\"ScaleX\"=\"1\"\n\"SCALEX\"=\"2\"\n", 5,
         "the value name \"SCALEX\" appears twice in the key"},
        {"an unknown type", header + section + "\"ScaleX\"=str:\"1\"\n", 4, "unknown value type"},
        {"a hex list with an odd digit", header + section + "\"ScaleX\"=hex(1):31,00,3\n", 4,
         "bad hex data (odd number of digits)"},
        {"a 10 MB line",
         header + section + "\"OffsetX\"=\"0\"\n" + std::string(10 << 20, '7') + "\n", 5,
         "bad value line (it must start with \"name\"= or @=)"},
    };
    for (const BadFile& bad : cases) {
        SCOPED_TRACE(bad.what);
        ScratchEnvironment scratch;
        scratch.writeRegistryText(bad.text);
        ChildResult run = RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets())});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.error, CorruptMessage(scratch.registryPath(), bad.line, bad.reason));
        EXPECT_TRUE(scratch.registryText() == bad.text) << "the file was changed";
        std::string log = scratch.debugLog();
        EXPECT_EQ(log.rfind(createFailedLine + calibratedLine, 0), 0u) << log;
        EXPECT_NE(log.find(completionLine), std::string::npos) << log;
        EXPECT_EQ(FolderEntries(scratch.dir()),
                  (std::vector<std::string>{"debug.log", "registry.reg", "run.pen"}))
            << "no temporary or replacement file is left beside it";
    }
}

TEST(BadSettingsFiles, AHugeButWellFormedValueIsReadAndOnlyThatValueIsReplaced) {
    ScratchEnvironment scratch;
    scratch.writeRegistryText(header + section + "\"ScaleX\"=\"" + std::string(10 << 20, '1') +
                              "\"\n\"Driver\"=\"keep me\"\n");
    ChildResult run = RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets())});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
    EXPECT_EQ(SettingsText(scratch, "ScaleY"), "1.00000");
    EXPECT_EQ(SettingsText(scratch, "Driver"), "keep me");
    EXPECT_LT(fs::file_size(scratch.registryPath()), 1000u);
}

TEST(BadSettingsPaths, AFolderIsNamedAndKeptWithWhatItHolds) {
    ScratchEnvironment scratch;
    fs::path folder = scratch.dir() / "settings";
    fs::create_directory(folder);
    scratch.writeFile("settings/keep", "x");
    ChildResult run = RunScript(
        scratch, {.text = CalibrationScript(TapsAtTheTargets()), .registry = folder.string()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error,
              SettingsProblemOutput("cannot read settings file " + folder.string() + ": Is a directory"));
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"keep"}));
    EXPECT_EQ(ReadWholeFile(folder / "keep"), "x");
    std::string log = scratch.debugLog();
    EXPECT_EQ(log.rfind(createFailedLine + calibratedLine, 0), 0u) << log;
}

TEST(BadSettingsPaths, AFolderThatDoesNotExistYetIsCreatedAndFilled) {
    ScratchEnvironment scratch;
    fs::path nested = scratch.dir() / "new" / "deeper" / "registry.reg";
    ChildResult run = RunScript(
        scratch, {.text = CalibrationScript(TapsAtTheTargets()), .registry = nested.string()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, "");
    std::string text = ReadWholeFile(nested);
    EXPECT_NE(text.find(section + "\"ScaleX\"=\"0.99999\"\n\"ScaleY\"=\"1.00000\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(scratch.debugLog().find(kSeedLines), std::string::npos);
}

TEST(OversizedSettings, AThreeGigabyteFileIsRefusedUnread) {
    ScratchEnvironment scratch;
    { std::ofstream(scratch.registryPath()) << header; }
    fs::resize_file(scratch.registryPath(), 3ull << 30);  // sparse: no disk is used
    ChildResult run = RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets())});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error,
              SettingsProblemOutput("cannot read settings file " + scratch.registryPath().string() +
                                    ": it is larger than 16 MiB; the file is left unchanged"));
    EXPECT_EQ(fs::file_size(scratch.registryPath()), 3ull << 30);
    EXPECT_LT(run.peakKilobytes, 512 * 1024);
    std::string log = scratch.debugLog();
    EXPECT_EQ(log.rfind(createFailedLine + calibratedLine, 0), 0u) << log;
    EXPECT_NE(log.find(completionLine), std::string::npos) << log;
}

TEST(OversizedSettings, AKeyFiveHundredTenLevelsDeepIsNotWrittenOutAsThirtyThreeMegabytes) {
    // Legal as Windows limits keys (up to 512 levels, 255 characters a name).
    // Writing every ancestor's section would repeat its path: 33 MB of text.
    // The file is kept as it was read, with only the changed values laid in.
    ScratchEnvironment scratch;
    std::string path = "HKEY_CURRENT_USER";
    for (int level = 1; level < 510; ++level) path += "\\" + std::string(255, 'k');
    const std::string text = header + "[" + path + "]\n\n" + section + "\"ScaleX\"=\"1\"\n";
    scratch.writeRegistryText(text);
    ChildResult run = RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets())});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, "");
    const std::string written = scratch.registryText();
    EXPECT_EQ(written.rfind(header + "[" + path + "]\n\n" + section, 0), 0u);
    EXPECT_LT(written.size(), text.size() + 200);
    EXPECT_EQ(written.find("\"ScaleX\"=\"1\"\n"), std::string::npos) << "ScaleX was not stored";
    EXPECT_NE(scratch.debugLog().find(completionLine), std::string::npos);
}

// The worst a file inside the limit can hold for its size: value lines as
// short as they come, each a value of its own, in the program's key.
std::string FileOfTinyValuesAtTheLimit() {
    std::string text =
        header + section + "\"ScaleX\"=\"1\"\n\"ScaleY\"=\"1\"\n\"OffsetX\"=\"0\"\n\"OffsetY\"=\"0\"\n";
    char line[32];
    for (unsigned n = 0; text.size() < qoz::host::kLargestSettingsFile - 4096; ++n)
        text.append(line, static_cast<size_t>(std::snprintf(line, sizeof line, "\"%x\"=\"\"\n", n)));
    return text;
}

// The processor time the work takes, which tests running beside it on the
// same cores do not lengthen as they do its wall time.
long Microseconds(const std::function<void()>& work) {
    auto now = [] {
        timespec time{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
        return time.tv_sec * 1000000L + time.tv_nsec / 1000;
    };
    long began = now();
    work();
    return now() - began;
}

// Each child prints its figures in microseconds and is measured for memory.
ChildResult MeasuredChild(std::function<std::string()> work) {
    return RunChild({.function = [work] {
                         std::string figures = work();
                         std::fputs(figures.c_str(), stdout);
                         std::fflush(stdout);
                         return 0;
                     }},
                    std::chrono::seconds(240));
}

TEST(OversizedSettings, AFileAtTheLimitIsParsedOncePerChangeNotOncePerCall) {
    ScratchEnvironment scratch;
    scratch.writeRegistryText(FileOfTinyValuesAtTheLimit());
    ChildResult parse = MeasuredChild([&] {
        std::string text = ReadWholeFile(scratch.registryPath());
        return std::to_string(Microseconds([&] { qoz::host::ParseRegistry(text); }));
    });
    // What a calibration does: open its key, read the four settings, write them.
    ChildResult calls = MeasuredChild([] {
        std::string figures;
        HKEY key = nullptr;
        figures += std::to_string(Microseconds([&] { CreateSettingsKey(&key); })) + " ";
        for (const char16_t* name : {u"ScaleX", u"ScaleY", u"OffsetX", u"OffsetY"})
            figures += std::to_string(Microseconds([&] { QueryQozSerialValue(name); })) + " ";
        for (const char16_t* name : {u"ScaleX", u"ScaleY", u"OffsetX", u"OffsetY"})
            figures += std::to_string(Microseconds([&] { SetTextValue(key, name, u"0.5"); })) + " ";
        RegCloseKey(key);
        return figures;
    });
    ASSERT_EQ(parse.status, 0);
    ASSERT_EQ(calls.status, 0);
    double once = std::stod(parse.output);
    std::istringstream figures(calls.output);
    std::vector<double> perCall{std::istream_iterator<double>(figures), {}};
    ASSERT_EQ(perCall.size(), 9u) << calls.output;
    std::string report = "one parse " + parse.output + " us, " +
                         std::to_string(parse.peakKilobytes) + " kB; the calls " + calls.output +
                         "us, " + std::to_string(calls.peakKilobytes) + " kB";
    RecordProperty("figures", report);
    // The first call parses the file; the reads after it find it unchanged;
    // each write formats the new text and parses it back once.
    for (double call : perCall) EXPECT_LE(call, 2 * once) << report;
    for (size_t read = 1; read <= 4; ++read) EXPECT_LE(perCall[read], 0.1 * once) << report;
    EXPECT_LE(calls.peakKilobytes, 3 * parse.peakKilobytes) << report;
    EXPECT_EQ(SettingsText(scratch, "OffsetY"), "0.5");
}

// Permission bits only bind a process without root privileges, so qozcal runs
// as an unprivileged user here; its debug log sits in a folder anyone may
// write to.
class UnprivilegedRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(chmod(scratch.dir().c_str(), 0755), 0);
        fs::create_directory(open());
        ASSERT_EQ(chmod(open().c_str(), 0777), 0);
        script = scratch.writeFile("run.pen", CalibrationScript(TapsAtTheTargets()));
        ASSERT_EQ(chmod(script.c_str(), 0644), 0);
    }
    fs::path open() const { return scratch.dir() / "open"; }
    ChildResult Run(const fs::path& registry) {
        return RunScript(scratch, {.script = script,
                                   .registry = registry.string(),
                                   .debugLog = (open() / "debug.log").string(),
                                   .unprivileged = true,
                                   .directory = open()});
    }
    std::string DebugLog() const { return ReadWholeFile(open() / "debug.log"); }

    ScratchEnvironment scratch;
    std::string script;
};

TEST_F(UnprivilegedRun, AnUnreadableSettingsFileIsNamedAndKept) {
    const std::string text = header + section + "\"ScaleX\"=\"1.5\"\n";
    std::string path = scratch.writeFile("registry.reg", text);
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    ChildResult run = Run(path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error,
              SettingsProblemOutput("cannot read settings file " + path + ": Permission denied"));
    EXPECT_EQ(ReadWholeFile(path), text);
    EXPECT_EQ(DebugLog().rfind(createFailedLine + calibratedLine, 0), 0u) << DebugLog();
}

TEST_F(UnprivilegedRun, ASettingsFileInAFolderThatCannotBeWrittenIsReadAndKept) {
    fs::path locked = scratch.dir() / "locked";
    fs::create_directory(locked);
    const std::string text = header + section + "\"ScaleX\"=\"1.5\"\n";
    scratch.writeFile("locked/registry.reg", text);
    ASSERT_EQ(chmod((locked / "registry.reg").c_str(), 0644), 0);
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    fs::path path = locked / "registry.reg";
    ChildResult run = Run(path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, SettingsProblemOutput("cannot write settings file " + path.string() +
                                               ": cannot open the lock file " + path.string() +
                                               ".lock: Permission denied; the file is left unchanged"));
    EXPECT_EQ(ReadWholeFile(locked / "registry.reg"), text);
    EXPECT_EQ(FolderEntries(locked), (std::vector<std::string>{"registry.reg"}));
    // The key exists, so nothing is seeded; the calibration's writes fail
    // silently and the completion is still logged.
    EXPECT_EQ(DebugLog().rfind(calibratedLine, 0), 0u) << DebugLog();
    EXPECT_NE(DebugLog().find(completionLine), std::string::npos);
    chmod(locked.c_str(), 0755);
}

}  // namespace
