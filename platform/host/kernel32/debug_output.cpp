#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/host/kernel32/debug_output.h"

#include "platform/common/utf16.h"
#include "platform/common/wide_format.h"
#include "platform/host/posix/problem_report.h"
#include "platform/host/posix/quiet_write.h"
#include "platform/platform.h"

namespace {

// Appends the line to the log file; false (with errno set) when it cannot.
// Nothing waits: a FIFO that nobody reads is refused (ENXIO), and a line a
// full pipe cannot take is refused too (EAGAIN).
bool AppendToLog(const char* path, std::string_view line) {
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool written = qoz::host::WriteQuietly(fd, line);
    int error = errno;
    close(fd);
    errno = error;
    return written;
}

std::string& NamedLog() {
    static std::string path;
    return path;
}

}  // namespace

void qoz::host::UseDebugLog(const std::string& path) { NamedLog() = path; }

// NKDbgPrintfW (kernel32)
// As on the device, the debug output never fails its caller: a line that
// cannot be written anywhere is dropped.
void NKDbgPrintfW(LPCWSTR format, ...) {
    std::u16string text;
    QOZ_FORMAT_ARGUMENTS(text, format);
    std::string line = qoz::Utf16ToUtf8(text);

    const char* logPath = NamedLog().empty() ? getenv("QOZCAL_DEBUG_LOG") : NamedLog().c_str();
    if (logPath != nullptr && *logPath != 0) {
        if (AppendToLog(logPath, line)) return;
        qoz::host::ReportProblemOnce("debug log", std::string("cannot write debug log ") + logPath +
                                                      ": " + strerror(errno) +
                                                      "; debug lines go to standard error");
    }
    qoz::host::WriteQuietly(STDERR_FILENO, line);
}
