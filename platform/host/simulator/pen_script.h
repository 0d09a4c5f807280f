// Pen scripts: the text that drives the simulated pen and keyboard, one
// command a line, and its parser. A whole script is checked before the
// program starts, so a bad script never half-runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/shell.h"

namespace qoz::sim {

// One thing the script does. `tap`, `stroke` and `key` are spelled out into
// the pen and key inputs they stand for.
struct ScriptStep {
    enum class Kind { Input, Wait, Shot };
    Kind kind = Kind::Input;
    host::RawInput input{};     // Kind::Input
    uint64_t milliseconds = 0;  // Kind::Wait
    std::string shotPath{};     // Kind::Shot
    int line = 0;               // the script line it came from
};

struct ScriptParse {
    std::vector<ScriptStep> steps;
    bool ok = true;
    int errorLine = 0;
    std::string errorMessage;
};

// Parses script text. Stops at the first error. Shot folders are checked
// against the file system, relative to the current directory.
ScriptParse ParsePenScript(std::string_view text);

// Far above any real script; a larger one is refused before it is parsed.
constexpr size_t kLargestPenScript = 16 * 1024 * 1024;

// Reads and parses the script file at `path`. On failure `error` is a line
// ready for standard error: "FILE:LINE: message" for a bad line.
bool LoadPenScript(const std::string& path, std::vector<ScriptStep>& steps, std::string& error);

// The steps as parsed, one a line: "LINE down|move|up X Y", "LINE key NAME",
// "LINE wait MS" or "LINE shot FILE" (a tap is a down and an up, a stroke a
// down, its moves and an up): what other tools replay, so that the
// grammar is read in one place only.
std::string DescribeSteps(const std::vector<ScriptStep>& steps);

// The first of the pen positions off a screen of the given size, and on how
// many lines there are such: they reach no window.
struct OffScreen {
    int count = 0;
    const ScriptStep* first = nullptr;
    int last = 0;  // the line of the last one
};
OffScreen PointsOffScreen(const std::vector<ScriptStep>& steps, int width, int height);

}  // namespace qoz::sim
