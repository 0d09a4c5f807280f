#include "platform/host/posix/problem_report.h"

#include <unistd.h>

#include <mutex>
#include <set>

#include "platform/host/posix/quiet_write.h"

namespace qoz::host {

namespace {

std::string& Reporter() {
    static std::string name = "qozcal";
    return name;
}

}  // namespace

void NameTheReporter(const std::string& program) { Reporter() = program; }

const std::string& ReporterName() { return Reporter(); }

void ReportProblemOnce(const std::string& message) { ReportProblemOnce(message, message); }

void ReportProblemOnce(const std::string& key, const std::string& message) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (!reported.insert(key).second) return;
    WriteQuietly(STDERR_FILENO, Reporter() + ": " + message + "\n");
}

void SayOnStandardError(const std::string& text) { WriteQuietly(STDERR_FILENO, text); }

}  // namespace qoz::host
