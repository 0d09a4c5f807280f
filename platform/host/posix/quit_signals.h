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

// For a window whose library handles SIGINT and SIGTERM itself, as a
// closing of the window: the first gives the two back to the default, which
// the library takes over; the second, once it has, makes SIGHUP a SIGTERM
// (or catches all three again if it did not).
void LeaveQuitSignalsToTerm();
void CatchHangupAsTerm();

}  // namespace qoz::host
