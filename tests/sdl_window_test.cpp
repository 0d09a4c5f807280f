// The simulator's real window on a real X server (Xvfb): xdotool clicks it as
// a user would, and screenshots of the whole X screen show what it drew.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <thread>

#include "tests/support/calibration_script.h"
#include "tests/support/child_process.h"
#include "tests/support/process_usage.h"
#include "tests/support/screen_checks.h"
#include "tests/support/x_server.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int zoom = 2;

class RealWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FindProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        for (const char* tool : {"xdotool", "import", "xprop"}) {
            auto found = FindProgram(tool);
            ASSERT_TRUE(found) << tool << " is missing (packages xdotool, imagemagick, x11-utils)";
            tools[tool] = *found;
        }
        server.emplace(scratch.dir() / "xvfb.err");
        ASSERT_TRUE(server->Running()) << server->Error();
        display = server->Display();
    }

    void TearDown() override {
        // Asked to close, qozcal ends cleanly and leaves no event objects behind.
        if (qozcal.pid > 0) kill(qozcal.pid, SIGTERM);
        WaitChild(qozcal, 10s);
    }

    ChildResult Tool(const std::string& name, std::vector<std::string> arguments) {
        ChildLaunch launch;
        launch.argv = {tools[name]};
        launch.argv.insert(launch.argv.end(), arguments.begin(), arguments.end());
        launch.setEnvironment = {{"DISPLAY", display}};
        launch.directory = scratch.dir();
        return RunChild(launch, 20s);
    }

    void StartQozcal(const std::vector<std::string>& options = {}) {
        ChildLaunch launch;
        launch.argv = {QOZCAL_PATH,
                       "--zoom",
                       std::to_string(zoom),
                       "--registry",
                       scratch.registryPath().string(),
                       "--debug-log",
                       scratch.debugLogPath().string()};
        launch.argv.insert(launch.argv.end(), options.begin(), options.end());
        // Under AddressSanitizer the display's system libraries (D-Bus, the
        // X and GL libraries SDL loads and unloads) leave allocations that
        // LeakSanitizer reports as leaks of ours; the headless scenario runs
        // of the same binary keep the leak check.
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        std::string sanitizerOptions = sanitizer != nullptr ? sanitizer : "";
        launch.setEnvironment = {{"DISPLAY", display},
                                 {"ASAN_OPTIONS", sanitizerOptions + ":detect_leaks=0"}};
        launch.unsetEnvironment = {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
        launch.directory = scratch.dir();
        launch.errorPath = scratch.dir() / "qozcal.err";
        qozcal = StartChild(launch);
        ChildResult found = Tool(
            "xdotool", {"search", "--sync", "--onlyvisible", "--pid", std::to_string(qozcal.pid)});
        ASSERT_EQ(found.status, 0) << found.error;
        window = found.output.substr(0, found.output.find('\n'));
        ChildResult geometry = Tool("xdotool", {"getwindowgeometry", "--shell", window});
        ASSERT_EQ(geometry.status, 0) << geometry.error;
        windowX = std::stoi(geometry.output.substr(geometry.output.find("X=") + 2));
        windowY = std::stoi(geometry.output.substr(geometry.output.find("Y=") + 2));
        int width = std::stoi(geometry.output.substr(geometry.output.find("WIDTH=") + 6));
        int height = std::stoi(geometry.output.substr(geometry.output.find("HEIGHT=") + 7));
        EXPECT_EQ(width, 240 * zoom);
        EXPECT_EQ(height, 320 * zoom);
    }

    // Clicks the middle of simulated screen pixel (x, y).
    void Click(int x, int y) {
        ChildResult click =
            Tool("xdotool", {"mousemove", "--window", window, std::to_string(x * zoom + zoom / 2),
                             std::to_string(y * zoom + zoom / 2), "click", "1"});
        ASSERT_EQ(click.status, 0) << click.error;
    }

    // The window's content, read back at simulated-screen resolution.
    PngImage Screen() {
        fs::path file = scratch.dir() / "root.png";
        ChildResult shot = Tool("import", {"-window", "root", file.string()});
        if (shot.status != 0) return {};
        PngImage root = ReadPng(file).value_or(PngImage{});
        if (root.width < windowX + 240 * zoom || root.height < windowY + 320 * zoom) return {};
        PngImage screen;
        screen.width = 240;
        screen.height = 320;
        for (int y = 0; y < 320; ++y)
            for (int x = 0; x < 240; ++x)
                screen.pixels.push_back(root.At(windowX + x * zoom, windowY + y * zoom));
        return screen;
    }

    // Waits until the window shows exactly `blackPixels` in its client area
    // (outside `skip`); the last difference otherwise.
    std::string AwaitClient(const PixelSet& blackPixels, const std::vector<Area>& skip = {}) {
        std::string differences;
        for (auto deadline = std::chrono::steady_clock::now() + 10s;
             std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
            differences = ClientDifferences(Screen(), blackPixels, skip);
            if (differences.empty()) return "";
        }
        return differences;
    }

    ScratchEnvironment scratch;
    std::map<std::string, std::string> tools;
    std::optional<XvfbServer> server;
    ChildProcess qozcal;
    std::string display, window;
    int windowX = 0, windowY = 0;
};

// The window shows exactly what the simulator's own screenshot holds, under
// the device window's name, without OpenGL, and then sleeps: a window that
// redrew on a timer would wake up about a hundred times in two seconds.
TEST_F(RealWindow, ShowsTheScreenUnderTheWindowsNameAndSleepsWhileIdle) {
    ASSERT_NO_FATAL_FAILURE(
        StartQozcal({"--script", scratch.writeFile("shot.pen", "shot screen.png\n")}));
    ChildResult title = Tool("xdotool", {"getwindowname", window});
    EXPECT_EQ(title.output, "펜입력\n");
    // Tools that read X's older property see the same name.
    ChildResult oldName = RunChild({.argv = {tools["xprop"], "-id", window, "WM_NAME"},
                                    .setEnvironment = {{"DISPLAY", display}, {"LANG", "C.UTF-8"}}},
                                   20s);
    EXPECT_EQ(oldName.output, "WM_NAME(UTF8_STRING) = \"펜입력\"\n");

    fs::path shotPath = scratch.dir() / "screen.png";
    std::string differences = "no screenshot";
    for (auto deadline = std::chrono::steady_clock::now() + 10s;
         !differences.empty() && std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(50ms)) {
        std::optional<PngImage> shot = ReadPng(shotPath);
        if (shot) differences = AreaDifferences(Screen(), *shot, {0, 0, 239, 319});
    }
    ASSERT_EQ(differences, "");

    // Drawn in software: no OpenGL driver was loaded for it.
    std::string libraries = ReadWholeFile("/proc/" + std::to_string(qozcal.pid) + "/maps");
    for (const char* driver : {"libGL", "libEGL", "libLLVM", "_dri.so"})
        EXPECT_EQ(libraries.find(driver), std::string::npos) << driver;

    std::optional<ProcessUsage> before = ReadProcessUsage(qozcal.pid);
    std::this_thread::sleep_for(2s);
    std::optional<ProcessUsage> after = ReadProcessUsage(qozcal.pid);
    ASSERT_TRUE(before && after);
    ProcessUsage idle = *after - *before;
    EXPECT_LE(idle.wakeups, 4);
    EXPECT_LE(idle.cpu.count(), 40000) << "microseconds";
}

TEST_F(RealWindow, ShowsTheMarkWhenCalibrationIsClickedAndCalibratesFromClicks) {
    ASSERT_NO_FATAL_FAILURE(StartQozcal());
    // The buttons are drawn, the pad is empty.
    ASSERT_EQ(AwaitClient({}, {buttonsArea}), "");
    EXPECT_NE(ClientDifferences(Screen(), {}), "") << "the buttons are there";

    ASSERT_NO_FATAL_FAILURE(Click(200, 16));
    EXPECT_EQ(AwaitClient(TargetMark(24, 32)), "") << "buttons gone, first mark drawn";

    const TapList& taps = TapsAtTheTargets();
    const Pixel nextMarks[] = {{216, 32}, {216, 288}, {24, 288}, {120, 160}};
    for (int i = 0; i < 4; ++i) {
        ASSERT_NO_FATAL_FAILURE(Click(taps[i].first, taps[i].second));
        ASSERT_EQ(AwaitClient(TargetMark(nextMarks[i].first, nextMarks[i].second)), "")
            << "after tap " << i + 1;
    }
    ASSERT_NO_FATAL_FAILURE(Click(taps[4].first, taps[4].second));
    EXPECT_EQ(AwaitClient({}, {buttonsArea}), "");
    EXPECT_NE(ClientDifferences(Screen(), {}), "") << "the buttons are back";
    EXPECT_NE(scratch.debugLog().find("Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n"),
              std::string::npos)
        << scratch.debugLog();

    ASSERT_NO_FATAL_FAILURE(Click(146, 16));  // 종료
    EXPECT_EQ(WaitChild(qozcal, 10s), 0) << ReadWholeFile(scratch.dir() / "qozcal.err");
}

TEST_F(RealWindow, DrawsAStrokeDraggedWithTheMouse) {
    ASSERT_NO_FATAL_FAILURE(StartQozcal());
    ASSERT_EQ(AwaitClient({}, {buttonsArea}), "");
    auto at = [](int pixel) { return std::to_string(pixel * zoom + zoom / 2); };
    ChildResult drag = Tool(
        "xdotool", {"mousemove", "--window", window,      at(40),     at(150), "mousedown", "1",
                    "sleep",     "0.05",     "mousemove", "--window", window,  at(60),      at(150),
                    "sleep",     "0.05",     "mousemove", "--window", window,  at(180),     at(150),
                    "sleep",     "0.05",     "mouseup",   "1"});
    ASSERT_EQ(drag.status, 0) << drag.error;
    EXPECT_EQ(AwaitClient(StraightLine({60, 150}, {180, 150}), {buttonsArea}), "");
}

TEST_F(RealWindow, EndsWithStatusZeroWhenAskedToClose) {
    ASSERT_NO_FATAL_FAILURE(StartQozcal());
    ASSERT_EQ(AwaitClient({}, {buttonsArea}), "");
    // SDL turns a termination request into the same quit as the window's
    // close button.
    kill(qozcal.pid, SIGTERM);
    EXPECT_EQ(WaitChild(qozcal, 10s), 0) << ReadWholeFile(scratch.dir() / "qozcal.err");
}

}  // namespace
