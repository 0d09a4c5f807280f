#include "platform/host/kernel32/event_folder.h"

#include "platform/host/posix/private_folder.h"
#include "platform/host/posix/problem_report.h"
#include "platform/host/posix/user_folders.h"

namespace qoz::host {

std::string EventFolderPath() {
    std::string runtime = RuntimeHome();
    if (!runtime.empty()) return runtime + "/qozcal";
    std::string state = StateHome();
    return state.empty() ? state : state + "/qozcal/events";
}

EventFolder OpenEventFolder() {
    EventFolder folder;
    std::string path = EventFolderPath();
    if (path.empty()) {
        ReportProblemOnce(
            "cannot find a folder for named events: neither XDG_RUNTIME_DIR, XDG_STATE_HOME nor a "
            "home folder is set; named events are not available");
        return folder;
    }
    CheckedFolder checked = CheckPrivateFolder(path, FolderPrivacy::Private, true);
    if (!checked.problem.empty()) {
        ReportProblemOnce("cannot use the event folder " + path + ": " + checked.problem +
                          "; named events are not available");
        return folder;
    }
    folder.fd = std::move(checked.fd);
    folder.path = std::move(checked.path);
    return folder;
}

}  // namespace qoz::host
