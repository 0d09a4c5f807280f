#include "platform/host/advapi32/settings_trouble.h"

#include <unistd.h>

#include <mutex>

#include "platform/host/posix/problem_report.h"
#include "platform/host/posix/quiet_write.h"

namespace qoz::host {

namespace {

std::mutex mutex;
std::string firstProblem;

}  // namespace

void ReportSettingsProblem(const std::string& message) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (firstProblem.empty()) firstProblem = message;
    }
    ReportProblemOnce(message);
}

void ReportUnstoredSettings() {
    std::lock_guard<std::mutex> lock(mutex);
    if (firstProblem.empty()) return;
    WriteQuietly(STDERR_FILENO, ReporterName() + ": the settings of this run were not all stored: " +
                                    firstProblem + "\n");
}

}  // namespace qoz::host
