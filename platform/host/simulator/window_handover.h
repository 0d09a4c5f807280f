// The headless qozcal leaves the window to a program of its own, so that a
// headless run never loads SDL and the libraries behind it.
#pragma once

namespace qoz::sim {

// Replaces this process with qozcal-window, given the same arguments, once
// it is found to be one nobody else can have planted or changed. Returns
// only when it is not, or cannot be started (exit status 2, a message said),
// or when a quit was asked for first (exit status 0).
int HandOverToWindow(char** argv);

}  // namespace qoz::sim
