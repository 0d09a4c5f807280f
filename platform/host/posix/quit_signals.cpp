#include "platform/host/posix/quit_signals.h"

#include <signal.h>

#include <atomic>

namespace qoz::host {

namespace {

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void NoteRequest(int) { requested.store(true); }

void PassOnAsTerm(int) {
    requested.store(true);
    raise(SIGTERM);
}

void Catch(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;  // what the program was doing goes on
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

}  // namespace

void CatchQuitSignals() {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) Catch(signal, NoteRequest);
}

void LeaveQuitSignalsToTerm() {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
}

void CatchHangupAsTerm() {
    struct sigaction term {};
    sigaction(SIGTERM, nullptr, &term);
    if (term.sa_handler == SIG_DFL) {
        CatchQuitSignals();
    } else {
        Catch(SIGHUP, PassOnAsTerm);
    }
}

bool QuitRequested() { return requested.load(); }

}  // namespace qoz::host
