#include "platform/host/posix/quit_signals.h"

#include <signal.h>

#include <atomic>

namespace qoz::host {

namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free);

void NoteRequest(int signal) { requested.store(signal); }

void PassOnAsTerm(int signal) {
    requested.store(signal);
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
    for (int signal : kQuitSignals) Catch(signal, NoteRequest);
}

void QuitSignals(sigset_t* signals) {
    sigemptyset(signals);
    for (int signal : kQuitSignals) sigaddset(signals, signal);
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

void HoldQuitSignals(bool hold) {
    sigset_t signals;
    QuitSignals(&signals);
    pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &signals, nullptr);
}

bool QuitRequested() { return requested.load() != 0; }

int QuitSignal() { return requested.load(); }

}  // namespace qoz::host
