#include "platform/host/simulator/pen_script.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <optional>

namespace qoz::sim {

namespace {

using host::PenAction;
using host::RawInput;

constexpr uint64_t maxCoordinate = 65535;
constexpr uint64_t maxWait = 86400000;  // one day

struct LineError {
    std::string message;
};

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        size_t start = line.find_first_not_of(" \t\r\v\f", at);
        if (start == std::string_view::npos) break;
        size_t end = line.find_first_of(" \t\r\v\f", start);
        if (end == std::string_view::npos) end = line.size();
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

std::string Quoted(std::string_view word) { return "'" + std::string(word) + "'"; }

// A decimal number of digits only, within 0..limit.
std::optional<uint64_t> ParseNumber(std::string_view word, uint64_t limit, LineError& error) {
    uint64_t value = 0;
    bool digitsOnly =
        !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
    auto [end, result] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.size() > 1 && word[0] == '-' &&
        word.find_first_not_of("0123456789", 1) == std::string_view::npos) {
        error.message = std::string(word) + " is out of range (0 to " + std::to_string(limit) + ")";
        return std::nullopt;
    }
    if (!digitsOnly || end != word.data() + word.size()) {
        error.message = Quoted(word) + " is not a number";
        return std::nullopt;
    }
    if (result == std::errc::result_out_of_range || value > limit) {
        error.message = std::string(word) + " is out of range (0 to " + std::to_string(limit) + ")";
        return std::nullopt;
    }
    return value;
}

const std::pair<std::string_view, UINT> kNamedKeys[] = {
    {"space", VK_SPACE}, {"return", VK_RETURN}, {"escape", VK_ESCAPE}};

std::optional<UINT> VirtualKeyNamed(std::string_view name) {
    for (auto [named, key] : kNamedKeys)
        if (name == named) return key;
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z') return UINT('A' + (name[0] - 'a'));
    if (name.size() == 1 && name[0] >= '0' && name[0] <= '9') return UINT(name[0]);
    return std::nullopt;
}

std::string KeyName(UINT key) {
    for (auto [named, virtualKey] : kNamedKeys)
        if (key == virtualKey) return std::string(named);
    return std::string(1, char(key >= 'A' && key <= 'Z' ? key - 'A' + 'a' : key));
}

bool ShotFolderExists(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code failure;
    return folder.empty() || std::filesystem::is_directory(folder, failure);
}

bool EndsWithPng(std::string_view name) {
    std::string suffix(name.size() > 4 ? name.substr(name.size() - 4) : "");
    for (char& c : suffix) c = char(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".png";
}

// Turns the words of one command into steps; tracks whether the pen is down.
class LineParser {
public:
    LineParser(std::vector<ScriptStep>& steps, bool& penDown, int line)
        : steps_(steps), penDown_(penDown), line_(line) {}

    bool Parse(const std::vector<std::string_view>& words, LineError& error) {
        std::string_view command = words[0];
        std::vector<std::string_view> args(words.begin() + 1, words.end());
        if (command == "down" || command == "move" || command == "up" || command == "tap")
            return ParsePoint(command, args, error);
        if (command == "stroke") return ParseStroke(args, error);
        if (command == "key") return ParseKey(args, error);
        if (command == "wait") return ParseWait(args, error);
        if (command == "shot") return ParseShot(args, error);
        error.message = "unknown command " + Quoted(command);
        return false;
    }

private:
    bool Add(ScriptStep step) {
        step.line = line_;
        steps_.push_back(std::move(step));
        return true;
    }

    void AddPen(PenAction action, int x, int y) { Add({.input = RawInput::Pen(action, x, y)}); }

    bool ParsePoint(std::string_view command, const std::vector<std::string_view>& args,
                    LineError& error) {
        if (args.size() != 2) {
            error.message = Quoted(command) + " takes X Y, got " + std::to_string(args.size()) +
                            (args.size() == 1 ? " argument" : " arguments");
            return false;
        }
        auto x = ParseNumber(args[0], maxCoordinate, error);
        if (!x) return false;
        auto y = ParseNumber(args[1], maxCoordinate, error);
        if (!y) return false;
        bool needsPenDown = command == "move" || command == "up";
        if (needsPenDown && !penDown_) {
            error.message = Quoted(command) + " while the pen is up";
            return false;
        }
        if (!needsPenDown && penDown_) {
            error.message = Quoted(command) + " while the pen is already down";
            return false;
        }
        int px = int(*x), py = int(*y);
        if (command == "down") {
            AddPen(PenAction::Down, px, py);
            penDown_ = true;
        } else if (command == "move") {
            AddPen(PenAction::Move, px, py);
        } else if (command == "up") {
            AddPen(PenAction::Up, px, py);
            penDown_ = false;
        } else {
            AddPen(PenAction::Down, px, py);
            AddPen(PenAction::Up, px, py);
        }
        return true;
    }

    bool ParseStroke(const std::vector<std::string_view>& args, LineError& error) {
        if (args.size() % 2 != 0) {
            error.message = "'stroke' needs X Y pairs, got an odd number of coordinates";
            return false;
        }
        if (args.size() < 4) {
            error.message = "'stroke' needs at least 2 points";
            return false;
        }
        if (penDown_) {
            error.message = "'stroke' while the pen is already down";
            return false;
        }
        std::vector<std::pair<int, int>> points;
        for (size_t i = 0; i < args.size(); i += 2) {
            auto x = ParseNumber(args[i], maxCoordinate, error);
            if (!x) return false;
            auto y = ParseNumber(args[i + 1], maxCoordinate, error);
            if (!y) return false;
            points.emplace_back(int(*x), int(*y));
        }
        AddPen(PenAction::Down, points.front().first, points.front().second);
        for (size_t i = 1; i < points.size(); ++i)
            AddPen(PenAction::Move, points[i].first, points[i].second);
        AddPen(PenAction::Up, points.back().first, points.back().second);
        return true;
    }

    bool ParseKey(const std::vector<std::string_view>& args, LineError& error) {
        if (args.size() > 1) {
            error.message = "'key' takes at most one key name, got " + std::to_string(args.size());
            return false;
        }
        std::string_view name = args.empty() ? "space" : args[0];
        auto virtualKey = VirtualKeyNamed(name);
        if (!virtualKey) {
            error.message = "unknown key " + Quoted(name) + " (space, return, escape, a-z, 0-9)";
            return false;
        }
        return Add({.input = RawInput::Key(*virtualKey)});
    }

    bool ParseWait(const std::vector<std::string_view>& args, LineError& error) {
        if (args.size() != 1) {
            error.message = "'wait' takes MS, got " + std::to_string(args.size()) + " arguments";
            return false;
        }
        auto milliseconds = ParseNumber(args[0], maxWait, error);
        return milliseconds && Add({.kind = ScriptStep::Kind::Wait, .milliseconds = *milliseconds});
    }

    bool ParseShot(const std::vector<std::string_view>& args, LineError& error) {
        if (args.size() != 1) {
            error.message =
                "'shot' takes one FILE.png, got " + std::to_string(args.size()) + " arguments";
            return false;
        }
        std::string path(args[0]);
        if (!EndsWithPng(path)) {
            error.message = "shot file " + Quoted(path) + " does not end in .png";
            return false;
        }
        if (!ShotFolderExists(path)) {
            error.message = "folder of shot file " + Quoted(path) + " does not exist";
            return false;
        }
        return Add({.kind = ScriptStep::Kind::Shot, .shotPath = path});
    }

    std::vector<ScriptStep>& steps_;
    bool& penDown_;
    int line_;
};

}  // namespace

ScriptParse ParsePenScript(std::string_view text) {
    ScriptParse parse;
    bool penDown = false;
    int lineNumber = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        line = line.substr(0, line.find('#'));
        std::vector<std::string_view> words = SplitWords(line);
        if (words.empty()) continue;
        LineError error;
        if (!LineParser(parse.steps, penDown, lineNumber).Parse(words, error)) {
            parse.ok = false;
            parse.errorLine = lineNumber;
            parse.errorMessage = error.message;
            parse.steps.clear();
            return parse;
        }
    }
    return parse;
}

bool LoadPenScript(const std::string& path, std::vector<ScriptStep>& steps, std::string& error) {
    std::error_code failure;
    if (std::filesystem::is_directory(path, failure)) {
        error = "qozcal: cannot read script " + path + ": it is a folder";
        return false;
    }
    // Opened without waiting for a writer, should it be a FIFO; read after
    // that as usual, so that a pipe of the user's own is read to its end.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = "qozcal: cannot read script " + path + ": " + std::strerror(errno);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Read in pieces up to one byte past the limit, so that neither a huge
    // file nor an endless device such as /dev/zero is taken in whole.
    std::string text;
    char chunk[65536];
    ssize_t count = 0;
    while (text.size() <= kLargestPenScript &&
           ((count = read(fd, chunk, sizeof chunk)) > 0 || (count < 0 && errno == EINTR)))
        if (count > 0) text.append(chunk, static_cast<size_t>(count));
    close(fd);
    if (text.size() > kLargestPenScript) {
        error = "qozcal: cannot read script " + path + ": it is larger than 16 MiB";
        return false;
    }
    if (count < 0) {
        error = "qozcal: cannot read script " + path + ": a read failed";
        return false;
    }
    ScriptParse parse = ParsePenScript(text);
    if (!parse.ok) {
        error = path + ":" + std::to_string(parse.errorLine) + ": " + parse.errorMessage;
        return false;
    }
    steps = std::move(parse.steps);
    return true;
}

std::string DescribeSteps(const std::vector<ScriptStep>& steps) {
    const char* const pens[] = {"down", "move", "up"};
    std::string text;
    for (const ScriptStep& step : steps) {
        text += std::to_string(step.line) + " ";
        if (step.kind == ScriptStep::Kind::Wait) {
            text += "wait " + std::to_string(step.milliseconds);
        } else if (step.kind == ScriptStep::Kind::Shot) {
            text += "shot " + step.shotPath;
        } else if (step.input.kind == host::RawInput::Kind::Key) {
            text += "key " + KeyName(step.input.virtualKey);
        } else {
            text += std::string(pens[int(step.input.pen)]) + " " + std::to_string(step.input.x) +
                    " " + std::to_string(step.input.y);
        }
        text += "\n";
    }
    return text;
}

OffScreen PointsOffScreen(const std::vector<ScriptStep>& steps, int width, int height) {
    OffScreen off;
    for (const ScriptStep& step : steps) {
        const host::RawInput& input = step.input;
        if (step.kind != ScriptStep::Kind::Input || input.kind != host::RawInput::Kind::Pen ||
            (input.x < width && input.y < height) || (off.first && off.last == step.line))
            continue;
        if (off.count++ == 0) off.first = &step;
        off.last = step.line;
    }
    return off;
}

}  // namespace qoz::sim
