// qozcal-listen: stands in for the touch driver. It opens the two
// calibration events, prints a line for each one it sees and, after the end
// event, the four settings the calibration has written.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/common/utf16.h"
#include "platform/platform.h"

#if !defined(_WIN32)
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/host/posix/standard_descriptors.h"
#endif

namespace {

// Each event is waited on this long in turn; an automatic-reset event stays
// signalled until the next wait, so nothing set meanwhile is lost.
constexpr DWORD kPollMs = 20;

const char kUsage[] =
    "usage: qozcal-listen [--count N] [--timeout MS] [--ready FILE]\n"
    "Prints CALSTARTEVENT or CALENDEVENT for each calibration event it sees,\n"
    "and after CALENDEVENT the settings ScaleX, ScaleY, OffsetX and OffsetY.\n"
    "  --count N     exit with status 0 after N events\n"
    "  --timeout MS  exit with status 1 if MS milliseconds pass first\n"
    "  --ready FILE  create FILE once both events are open\n"
    "  --help        show this text\n";

struct Options {
    long count = -1;  // -1: no limit
    long timeoutMs = -1;
    const char* readyFile = nullptr;
    bool help = false;
};

// Counts and times up to this; larger ones are refused rather than overflow
// a conversion (a time-out of about 24 days).
constexpr long kLargestNumber = 2147483647;

bool ReadCount(const char* text, long& value) {
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(text, &end, 10);
    if (*text == 0 || *end != 0 || errno != 0 || number < 0 || number > kLargestNumber)
        return false;
    value = number;
    return true;
}

// Returns false (with a message on standard error) when the options are bad.
bool ReadOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (std::strcmp(option, "--help") == 0) {
            options.help = true;
            continue;
        }
        bool known = std::strcmp(option, "--count") == 0 || std::strcmp(option, "--timeout") == 0 ||
                     std::strcmp(option, "--ready") == 0;
        if (!known) {
            std::fprintf(stderr, "qozcal-listen: unknown option '%s'\n", option);
            return false;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "qozcal-listen: %s needs a value\n", option);
            return false;
        }
        const char* value = argv[++i];
        bool valid = true;
        if (std::strcmp(option, "--count") == 0) {
            valid = ReadCount(value, options.count);
        } else if (std::strcmp(option, "--timeout") == 0) {
            valid = ReadCount(value, options.timeoutMs);
        } else {
            options.readyFile = value;
        }
        if (!valid) {
            std::fprintf(stderr, "qozcal-listen: %s needs a whole number from 0 to %ld, not '%s'\n",
                         option, kLargestNumber, value);
            return false;
        }
    }
    return true;
}

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The value as text, or what stands in its place: (missing), (type N), (error N).
std::string SettingText(HKEY key, const WCHAR* name) {
    if (key == nullptr) return "(missing)";
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (result == ERROR_SUCCESS && type == REG_SZ) {
        std::vector<BYTE> data(size + sizeof(WCHAR));
        result = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
        if (result == ERROR_SUCCESS && type == REG_SZ) {
            std::u16string text(size / sizeof(char16_t), 0);
            if (!text.empty()) std::memcpy(&text[0], data.data(), text.size() * sizeof(char16_t));
            while (!text.empty() && text.back() == 0) text.pop_back();
            return qoz::Utf16ToUtf8(text);
        }
    }
    if (result == ERROR_FILE_NOT_FOUND) return "(missing)";
    if (result != ERROR_SUCCESS) return "(error " + std::to_string(result) + ")";
    return "(type " + std::to_string(type) + ")";
}

void PrintSettings() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\QozSerial"), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        key = nullptr;
    const struct {
        const WCHAR* name;
        const char* label;
    } settings[] = {{TEXT("ScaleX"), "ScaleX"},
                    {TEXT("ScaleY"), "ScaleY"},
                    {TEXT("OffsetX"), "OffsetX"},
                    {TEXT("OffsetY"), "OffsetY"}};
    for (const auto& setting : settings)
        PrintLine(std::string(setting.label) + "=" + SettingText(key, setting.name));
    if (key != nullptr) RegCloseKey(key);
}

// WAIT_OBJECT_0 when the event was signalled within waitMs and is now taken,
// WAIT_TIMEOUT when not, WAIT_FAILED (and a message) when the wait failed.
DWORD TakeEvent(HANDLE event, const char* name, DWORD waitMs) {
    DWORD result = WaitForSingleObject(event, waitMs);
    if (result == WAIT_FAILED)
        std::fprintf(stderr, "qozcal-listen: waiting for %s failed (error %lu)\n", name,
                     static_cast<unsigned long>(GetLastError()));
    return result;
}

int Listen(const Options& options, HANDLE startEvent, HANDLE endEvent) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point began = Clock::now();
    const char kStart[] = "CALSTARTEVENT";
    const char kEnd[] = "CALENDEVENT";
    long seen = 0;
    auto remaining = [&] { return options.count < 0 ? 2 : options.count - seen; };
    while (remaining() > 0) {
        DWORD start = TakeEvent(startEvent, kStart, kPollMs);
        if (start == WAIT_FAILED) return 1;
        if (start == WAIT_OBJECT_0) {
            PrintLine(kStart);
            ++seen;
            if (remaining() <= 0) break;
        }
        DWORD end = TakeEvent(endEvent, kEnd, kPollMs);
        if (end == WAIT_FAILED) return 1;
        if (end == WAIT_OBJECT_0) {
            // Both can come while the start is not being watched. A
            // calibration starts before it ends, so a start already pending
            // when the end arrives is the earlier of the two.
            if (remaining() > 1) {
                DWORD earlier = TakeEvent(startEvent, kStart, 0);
                if (earlier == WAIT_FAILED) return 1;
                if (earlier == WAIT_OBJECT_0) {
                    PrintLine(kStart);
                    ++seen;
                }
            }
            PrintLine(kEnd);
            PrintSettings();
            ++seen;
        }
        if (options.timeoutMs >= 0 && remaining() > 0 &&
            Clock::now() - began >= std::chrono::milliseconds(options.timeoutMs))
            return 1;
    }
    return 0;
}

#if !defined(_WIN32)
// On Linux, opening or waiting on an event that another process keeps locked
// takes up to the host's patience. The timeout holds all the same: a little
// after it, once the loop has had its chance to end on its own, the program
// ends with status 1 wherever it is.
constexpr long kTimeoutGraceMs = 250;

void EndAtTimeout(int) { _exit(1); }

void KeepTimeout(long timeoutMs) {
    if (timeoutMs < 0) return;
    long limit = timeoutMs + kTimeoutGraceMs;
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

}  // namespace

int main(int argc, char** argv) {
#if !defined(_WIN32)
    if (!qoz::host::OpenStandardDescriptors()) return 2;
#endif
    Options options;
    if (!ReadOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    KeepTimeout(options.timeoutMs);
    HANDLE startEvent = OpenCalibrationEvent(TEXT("CALSTARTEVENT"), "CALSTARTEVENT");
    HANDLE endEvent = OpenCalibrationEvent(TEXT("CALENDEVENT"), "CALENDEVENT");
    int status = 1;
    if (startEvent != nullptr && endEvent != nullptr) {
        std::FILE* ready =
            options.readyFile != nullptr ? std::fopen(options.readyFile, "w") : nullptr;
        if (options.readyFile != nullptr && ready == nullptr) {
            std::fprintf(stderr, "qozcal-listen: cannot create %s\n", options.readyFile);
        } else {
            if (ready != nullptr) std::fclose(ready);
            status = Listen(options, startEvent, endEvent);
        }
    }
    if (startEvent != nullptr) CloseHandle(startEvent);
    if (endEvent != nullptr) CloseHandle(endEvent);
    return status;
}
