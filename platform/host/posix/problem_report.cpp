#include "platform/host/posix/problem_report.h"

#include <unistd.h>

#include <mutex>
#include <set>

#include "platform/host/posix/quiet_write.h"

namespace qoz::host {

void ReportProblemOnce(const std::string& message) { ReportProblemOnce(message, message); }

void ReportProblemOnce(const std::string& key, const std::string& message) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (!reported.insert(key).second) return;
    WriteQuietly(STDERR_FILENO, "qozcal: " + message + "\n");
}

void SayOnStandardError(const std::string& text) { WriteQuietly(STDERR_FILENO, text); }

}  // namespace qoz::host
