// SIGTERM, SIGINT and SIGHUP ask the simulator to end as closing its window
// does. The handler only notes the request: the clock's waits end early on
// it and the message loop's next fetch returns the quit, so the program
// always ends between two messages, never inside one.
#pragma once

#include <signal.h>

namespace qoz::host {

void CatchQuitSignals();

// Whether one of them has come, and which came last (0 when none).
bool QuitRequested();
int QuitSignal();

// The three of them, for a mask.
void QuitSignals(sigset_t* signals);

// Blocks the three (they wait, pending, and survive an exec) or lets them in.
void HoldQuitSignals(bool hold);

// For a program whose thread may wait where a handler cannot wake it (a
// window library's wait for events): the three are blocked in the calling
// thread, and in every thread it starts from now on, and a thread of their
// own takes them, notes the request and calls onQuit, which must be safe to
// call from another thread.
void TakeQuitSignalsOnAThread(void (*onQuit)());

}  // namespace qoz::host
