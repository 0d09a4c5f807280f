#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/common/utf16.h"
#include "platform/common/wide_format.h"
#include "platform/platform.h"

namespace {

// Writes all of `bytes`; a single write() unless the kernel takes less.
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

void ReportUnwritableLog(const char* path, int error) {
    static std::atomic<bool> reported{false};
    if (reported.exchange(true)) return;
    std::string message = std::string("qozcal: cannot write debug log ") + path + ": " +
                          strerror(error) + "; debug lines go to standard error\n";
    WriteAll(STDERR_FILENO, message);
}

// Appends the line to the log file; false (with errno set) when it cannot.
bool AppendToLog(const char* path, std::string_view line) {
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool written = WriteAll(fd, line);
    int error = errno;
    close(fd);
    errno = error;
    return written;
}

}  // namespace

// NKDbgPrintfW (kernel32)
void NKDbgPrintfW(LPCWSTR format, ...) {
    std::u16string text;
    va_list args;
    va_start(args, format);
    qoz::AppendFormatted(text, format, args);
    va_end(args);
    std::string line = qoz::Utf16ToUtf8(text);

    const char* logPath = getenv("QOZCAL_DEBUG_LOG");
    if (logPath != nullptr && *logPath != 0) {
        if (AppendToLog(logPath, line)) return;
        ReportUnwritableLog(logPath, errno);
    }
    WriteAll(STDERR_FILENO, line);
}
