// The headless qozcal leaves the window to a program of its own, so that a
// headless run never loads SDL and the libraries behind it.
#pragma once

namespace qoz::sim {

// Replaces this process with qozcal-window, given the same arguments. Only
// returns when that fails, with exit status 2 and a message said.
int HandOverToWindow(char** argv);

}  // namespace qoz::sim
