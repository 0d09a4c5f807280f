// qozcal-listen: stands in for the touch driver. It opens the two
// calibration events, prints a line for each one it sees and, after the end
// event, the four settings the calibration has written; or it prints the
// stored settings as a .reg snippet a device image can take.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/common/utf16.h"
#include "platform/platform.h"
#include "tools/listen_options.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/time.h>
#include <unistd.h>

#include <sys/stat.h>

#include "platform/host/advapi32/registry_location.h"
#include "platform/host/posix/problem_report.h"
#include "platform/host/posix/quit_signals.h"
#include "platform/host/posix/standard_descriptors.h"
#endif

namespace {

using qoz::listen::CommandLine;
using qoz::listen::Options;

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A setting as it is stored: its text, or what stands in its place:
// (missing), (type N), (error N).
struct Setting {
    bool isText = false;
    std::string shown;
    std::vector<BYTE> data;  // a text value's bytes, as stored
};

// The key opened, or the error that kept it closed.
struct SettingsKey {
    HKEY key = nullptr;
    LONG error = ERROR_SUCCESS;
};

Setting ReadSetting(const SettingsKey& opened, const WCHAR* name) {
    Setting setting;
    setting.shown = "(missing)";
    HKEY key = opened.key;
    if (opened.error != ERROR_SUCCESS && opened.error != ERROR_FILE_NOT_FOUND)
        setting.shown = "(error " + std::to_string(opened.error) + ")";
    if (key == nullptr) return setting;
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (result == ERROR_SUCCESS && type == REG_SZ) {
        setting.data.resize(size + sizeof(WCHAR));
        result = RegQueryValueExW(key, name, nullptr, &type, setting.data.data(), &size);
        if (result == ERROR_SUCCESS && type == REG_SZ) {
            setting.data.resize(size);
            std::u16string text(size / sizeof(char16_t), 0);
            if (!text.empty()) std::memcpy(&text[0], setting.data.data(), text.size() * 2);
            while (!text.empty() && text.back() == 0) text.pop_back();
            setting.isText = true;
            setting.shown = qoz::Utf16ToUtf8(text);
            return setting;
        }
    }
    if (result == ERROR_FILE_NOT_FOUND) return setting;
    setting.shown = result != ERROR_SUCCESS ? "(error " + std::to_string(result) + ")"
                                            : "(type " + std::to_string(type) + ")";
    return setting;
}

const struct {
    const WCHAR* name;
    const char* label;
} kSettings[] = {{TEXT("ScaleX"), "ScaleX"},
                 {TEXT("ScaleY"), "ScaleY"},
                 {TEXT("OffsetX"), "OffsetX"},
                 {TEXT("OffsetY"), "OffsetY"}};

// Where the settings are read from, as the user is told.
std::string SettingsSource() {
#if defined(_WIN32)
    return "the registry";
#else
    std::string path = qoz::host::RegistryFilePath();
    return path.empty() ? "nowhere (no settings file can be found)" : path;
#endif
}

// The settings key, or null when it cannot be opened; says where it looked.
SettingsKey OpenSettings() {
    std::fprintf(stderr, "qozcal-listen: settings read from %s\n", SettingsSource().c_str());
#if !defined(_WIN32)
    struct stat file {};
    std::string path = qoz::host::RegistryFilePath();
    if (!path.empty() && stat(path.c_str(), &file) != 0 && errno == ENOENT)
        std::fprintf(stderr, "qozcal-listen: the settings file %s does not exist\n", path.c_str());
#endif
    SettingsKey opened;
    opened.error =
        RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\QozSerial"), 0, KEY_ALL_ACCESS, &opened.key);
    if (opened.error != ERROR_SUCCESS) opened.key = nullptr;
    return opened;
}

void PrintSettings() {
    SettingsKey opened = OpenSettings();
    for (const auto& setting : kSettings)
        PrintLine(std::string(setting.label) + "=" + ReadSetting(opened, setting.name).shown);
    if (opened.key != nullptr) RegCloseKey(opened.key);
}

// A text value's line as regedit reads it back to the same text: quoted
// when its characters are printable ASCII, which any .reg file holds as
// they are; otherwise (a NUL, a line end, text some encodings cannot hold)
// its exact bytes as hex(1).
std::string RegLine(const char* label, const Setting& setting) {
    std::string line = std::string("\"") + label + "\"=";
    size_t units = setting.data.size() / 2;
    while (units > 0 && setting.data[2 * units - 2] == 0 && setting.data[2 * units - 1] == 0)
        --units;
    bool plain = setting.data.size() % 2 == 0;
    for (size_t unit = 0; plain && unit < units; ++unit) {
        unsigned value = setting.data[2 * unit] | setting.data[2 * unit + 1] << 8;
        plain = value >= 0x20 && value <= 0x7E;
    }
    if (plain) {
        line += '"';
        for (char c : setting.shown) {
            if (c == '\\' || c == '"') line += '\\';
            line += c;
        }
        return line + '"';
    }
    line += "hex(1):";
    const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < setting.data.size(); ++i) {
        if (i > 0) line += ',';
        line += digits[setting.data[i] >> 4];
        line += digits[setting.data[i] & 15];
    }
    return line;
}

// The four settings as regedit writes them, under their key: a snippet for
// a device image's registry or for regedit (behind its header line). A
// setting that is not stored text is left out and named; the status is 1
// then.
int PrintRegSnippet() {
    SettingsKey opened = OpenSettings();
    std::string snippet = "[HKEY_CURRENT_USER\\Software\\QozSerial]\n";
    int status = 0;
    for (const auto& setting : kSettings) {
        Setting stored = ReadSetting(opened, setting.name);
        if (!stored.isText) {
            std::fprintf(stderr, "qozcal-listen: %s is %s, left out\n", setting.label,
                         stored.shown.c_str());
            status = 1;
            continue;
        }
        snippet += RegLine(setting.label, stored) + "\n";
    }
    if (opened.key != nullptr) RegCloseKey(opened.key);
    std::fputs(snippet.c_str(), stdout);
    return status;
}

bool QuitAsked() {
#if defined(_WIN32)
    return false;
#else
    return qoz::host::QuitRequested();
#endif
}

// Waits on both events at once and prints each as it is set; the end event
// is followed by the settings it announces.
int Listen(const Options& options, HANDLE startEvent, HANDLE endEvent) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
    const HANDLE events[] = {startEvent, endEvent};
    long seen = 0;
    while ((options.count < 0 || seen < options.count) && !QuitAsked()) {
        DWORD wait = INFINITE;
        if (options.timeoutMs >= 0) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait = static_cast<DWORD>(std::max<long long>(0, left.count()));
        }
        DWORD result = WaitForMultipleObjects(2, events, FALSE, wait);
        if (result == WAIT_OBJECT_0) {
            PrintLine("CALSTARTEVENT");
        } else if (result == WAIT_OBJECT_0 + 1) {
            PrintLine("CALENDEVENT");
            PrintSettings();
        } else if (result == WAIT_TIMEOUT) {
            if (QuitAsked() || wait == INFINITE || wait > 0) continue;
            std::string counted = std::to_string(seen);
            if (options.count >= 0) counted += " of " + std::to_string(options.count);
            std::fprintf(stderr, "qozcal-listen: timed out after %ld ms with %s events seen\n",
                         options.timeoutMs, counted.c_str());
            return 1;
        } else {
            std::fprintf(stderr, "qozcal-listen: waiting for the events failed (error %lu)\n",
                         static_cast<unsigned long>(GetLastError()));
            return 1;
        }
        ++seen;
    }
    return 0;
}

#if !defined(_WIN32)
// On Linux, opening or waiting on an event that another process keeps locked
// takes up to the host's patience. The timeout holds all the same: a little
// after it, once the loop has had its chance to end on its own, the program
// ends with status 1 wherever it is.
constexpr long kTimeoutGraceMs = 250;

std::string timeoutMessage;

void EndAtTimeout(int) {
    if (write(STDERR_FILENO, timeoutMessage.data(), timeoutMessage.size()) < 0) _exit(1);
    _exit(1);
}

void KeepTimeout(long timeoutMs) {
    if (timeoutMs < 0) return;
    long limit = timeoutMs + kTimeoutGraceMs;
    timeoutMessage = "qozcal-listen: timed out after " + std::to_string(timeoutMs) +
                     " ms, still opening or waiting on an event another process holds\n";
    signal(SIGALRM, EndAtTimeout);
    itimerval timer{};
    timer.it_value.tv_sec = limit / 1000;
    timer.it_value.tv_usec = (limit % 1000) * 1000;
    setitimer(ITIMER_REAL, &timer, nullptr);
}
#else
// Opening and waiting on Windows are bounded by the calls themselves.
void KeepTimeout(long) {}
#endif

HANDLE OpenCalibrationEvent(const WCHAR* name, const char* label) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name);
    if (event == nullptr)
        std::fprintf(stderr, "qozcal-listen: cannot open event %s (error %lu)\n", label,
                     static_cast<unsigned long>(GetLastError()));
    return event;
}

// The settings are read from the file --registry names, as qozcal reads it.
bool UseSettingsFile(const std::optional<std::string>& path) {
    if (!path) return true;
#if defined(_WIN32)
    std::fputs("qozcal-listen: --registry is for the simulator; on Windows the settings are in "
               "the registry\n",
               stderr);
    return false;
#else
    qoz::host::UseSettingsFile(*path);
    return true;
#endif
}

// The file that tells a waiting script both events are open: made anew,
// never through a link nor over a file that is there already, holding this
// process's number, and removed at the end while it is still the one made.
#if defined(_WIN32)
bool MakeReadyFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
        return false;
    }
    std::string number = std::to_string(GetCurrentProcessId()) + "\n";
    DWORD written = 0;
    bool done = WriteFile(file, number.data(), static_cast<DWORD>(number.size()), &written,
                          nullptr) &&
                written == number.size();
    return CloseHandle(file) && done;
}

void RemoveReadyFile(const std::string& path) { DeleteFileA(path.c_str()); }
#else
struct stat readyFile {};

bool MakeReadyFile(const std::string& path) {
    int fd = open(path.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::string number = std::to_string(getpid()) + "\n";
    bool done = write(fd, number.data(), number.size()) == ssize_t(number.size()) &&
                fstat(fd, &readyFile) == 0;
    if (close(fd) != 0) done = false;
    if (!done) unlink(path.c_str());
    return done;
}

void RemoveReadyFile(const std::string& path) {
    struct stat now {};
    if (lstat(path.c_str(), &now) == 0 && now.st_dev == readyFile.st_dev &&
        now.st_ino == readyFile.st_ino)
        unlink(path.c_str());
}
#endif

// Ctrl-C, SIGTERM and SIGHUP end the listener as its time-out does: its
// waits end, it closes its events and removes its ready file, and it exits
// with 128 plus the signal's number, as a shell reports a program the
// signal ended.
int StatusAfterQuit(int status) {
#if defined(_WIN32)
    return status;
#else
    int signal = qoz::host::QuitSignal();
    return signal != 0 ? 128 + signal : status;
#endif
}

}  // namespace

int main(int argc, char** argv) {
#if !defined(_WIN32)
    if (!qoz::host::OpenStandardDescriptors()) return 2;
    qoz::host::CatchQuitSignals();
    qoz::host::NameTheReporter("qozcal-listen");
#endif
    CommandLine commandLine = qoz::listen::ReadCommandLine(argc, argv);
    switch (commandLine.action) {
        case CommandLine::Action::UsageError:
            std::fprintf(stderr,
                         "qozcal-listen: %s\nTry 'qozcal-listen --help' for more information.\n",
                         commandLine.error.c_str());
            return 2;
        case CommandLine::Action::ShowHelp:
            std::fputs(qoz::listen::kUsage, stdout);
            return 0;
        case CommandLine::Action::ShowVersion:
            std::fputs("qozcal-listen " QOZCAL_VERSION "\n", stdout);
            return 0;
        case CommandLine::Action::Run:
            break;
    }
    const Options& options = commandLine.options;
    if (!UseSettingsFile(options.registryFile)) return 2;
    if (options.printReg) return PrintRegSnippet();
    KeepTimeout(options.timeoutMs);
    HANDLE startEvent = OpenCalibrationEvent(TEXT("CALSTARTEVENT"), "CALSTARTEVENT");
    HANDLE endEvent = OpenCalibrationEvent(TEXT("CALENDEVENT"), "CALENDEVENT");
    int status = 1;
    if (startEvent != nullptr && endEvent != nullptr) {
        if (options.readyFile && !MakeReadyFile(*options.readyFile)) {
            std::fprintf(stderr, "qozcal-listen: cannot make the ready file %s: %s\n",
                         options.readyFile->c_str(), std::strerror(errno));
        } else {
            status = Listen(options, startEvent, endEvent);
            if (options.readyFile) RemoveReadyFile(*options.readyFile);
        }
    }
    if (startEvent != nullptr) CloseHandle(startEvent);
    if (endEvent != nullptr) CloseHandle(endEvent);
    return StatusAfterQuit(status);
}
