#include "platform/host/posix/quit_signals.h"

#include <signal.h>

#include <atomic>
#include <thread>

namespace qoz::host {

namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free);

void NoteRequest(int signal) { requested.store(signal); }

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

void TakeQuitSignalsOnAThread(void (*onQuit)()) {
    sigset_t signals;
    QuitSignals(&signals);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals, onQuit] {
        for (int signal = 0;;) {
            if (sigwait(&signals, &signal) != 0) continue;
            requested.store(signal);
            onQuit();
        }
    }).detach();
}

void HoldQuitSignals(bool hold) {
    sigset_t signals;
    QuitSignals(&signals);
    pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &signals, nullptr);
}

bool QuitRequested() { return requested.load() != 0; }

int QuitSignal() { return requested.load(); }

}  // namespace qoz::host
