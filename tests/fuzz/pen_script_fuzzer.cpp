// Feeds arbitrary text to the pen-script parser. Besides not crashing, a
// parse must keep its promises: an error names a real line and leaves no
// steps; accepted steps are within their limits, the pen goes down before it
// moves or lifts, and writing the steps out as a script again parses to the
// very same steps.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/simulator/pen_script.h"

namespace {

using qoz::host::PenAction;
using qoz::host::RawInput;
using qoz::sim::ParsePenScript;
using qoz::sim::ScriptParse;
using qoz::sim::ScriptStep;

constexpr int kLargestCoordinate = 65535;
constexpr uint64_t kLongestWait = 86400000;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "pen script property broken: %s\n", what);
    std::abort();
}

void Require(bool holds, const char* what) {
    if (!holds) Fail(what);
}

int CountLines(std::string_view text) {
    int lines = 1;
    for (char c : text) lines += c == '\n' ? 1 : 0;
    return lines;
}

std::string KeyName(UINT virtualKey) {
    if (virtualKey == VK_SPACE) return "space";
    if (virtualKey == VK_RETURN) return "return";
    if (virtualKey == VK_ESCAPE) return "escape";
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return std::string(1, char('a' + (virtualKey - 'A')));
    if (virtualKey >= '0' && virtualKey <= '9') return std::string(1, char(virtualKey));
    Fail("a key step holds a key that no script can name");
}

bool EndsWithPngAnyCase(const std::string& path) {
    if (path.size() <= 4) return false;
    std::string suffix = path.substr(path.size() - 4);
    for (char& c : suffix) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return suffix == ".png";
}

// Checks the accepted steps and writes them out as one command a line.
std::string CheckAndRewrite(const std::vector<ScriptStep>& steps, int lineCount) {
    std::string script;
    bool penDown = false;
    int previousLine = 1;
    for (const ScriptStep& step : steps) {
        Require(step.line >= previousLine && step.line <= lineCount, "step lines out of order");
        previousLine = step.line;
        switch (step.kind) {
            case ScriptStep::Kind::Wait:
                Require(step.milliseconds <= kLongestWait, "a wait beyond its limit");
                script += "wait " + std::to_string(step.milliseconds) + "\n";
                break;
            case ScriptStep::Kind::Shot:
                Require(EndsWithPngAnyCase(step.shotPath), "a shot file not ending in .png");
                script += "shot " + step.shotPath + "\n";
                break;
            case ScriptStep::Kind::Input: {
                const RawInput& input = step.input;
                if (input.kind == RawInput::Kind::Key) {
                    script += "key " + KeyName(input.virtualKey) + "\n";
                    break;
                }
                Require(input.x >= 0 && input.x <= kLargestCoordinate && input.y >= 0 &&
                            input.y <= kLargestCoordinate,
                        "a pen position beyond 0..65535");
                const char* command = "down";
                if (input.pen == PenAction::Down) {
                    Require(!penDown, "pen-down while the pen is down");
                    penDown = true;
                } else {
                    Require(penDown, "pen move or pen-up while the pen is up");
                    command = input.pen == PenAction::Move ? "move" : "up";
                    penDown = input.pen == PenAction::Move;
                }
                script += std::string(command) + " " + std::to_string(input.x) + " " +
                          std::to_string(input.y) + "\n";
                break;
            }
        }
    }
    return script;
}

bool SameStep(const ScriptStep& a, const ScriptStep& b) {
    return a.kind == b.kind && a.milliseconds == b.milliseconds && a.shotPath == b.shotPath &&
           a.input.kind == b.input.kind && a.input.pen == b.input.pen && a.input.x == b.input.x &&
           a.input.y == b.input.y && a.input.virtualKey == b.input.virtualKey;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ScriptParse parse = ParsePenScript(text);
    int lineCount = CountLines(text);
    if (!parse.ok) {
        Require(parse.steps.empty(), "a failed parse kept steps");
        Require(parse.errorLine >= 1 && parse.errorLine <= lineCount, "an error on no such line");
        Require(!parse.errorMessage.empty(), "an error without a message");
        return 0;
    }
    Require(parse.errorLine == 0 && parse.errorMessage.empty(), "an accepted script with an error");

    std::string rewritten = CheckAndRewrite(parse.steps, lineCount);
    ScriptParse again = ParsePenScript(rewritten);
    Require(again.ok, "the rewritten script does not parse");
    Require(again.steps.size() == parse.steps.size(), "the rewritten script has other steps");
    for (size_t i = 0; i < parse.steps.size(); ++i)
        Require(SameStep(parse.steps[i], again.steps[i]), "the rewritten script has other steps");
    return 0;
}
