#include "tests/support/event_files.h"

#include <thread>

#include "platform/host/kernel32/event_folder.h"
#include "platform/host/kernel32/named_event.h"

std::string EventFile(const char16_t* name) {
    return qoz::host::OpenEventFolder().path + "/" + *qoz::host::EventObjectName(name);
}

int WaitersOn(const char16_t* name) {
    qoz::host::EventOpening opening = qoz::host::OpenNamedEvent(name, false, false);
    if (opening.status != qoz::host::EventOpenStatus::Created &&
        opening.status != qoz::host::EventOpenStatus::Opened)
        return -1;
    int count = qoz::host::CountEventWaiters(*opening.mapping.state, opening.mapping.party);
    qoz::host::CloseEventMapping(opening.mapping);
    return count;
}

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds patience) {
    for (auto deadline = std::chrono::steady_clock::now() + patience;
         std::chrono::steady_clock::now() < deadline;) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}
