// X protocol errors that must not end the simulator.
#pragma once

namespace qoz::sim {

// SDL talks to the X server over two connections; on the second it wakes
// its own event wait by sending an event to the window. When the window is
// destroyed at the end of the run, the server may take the destruction
// first, and Xlib's default handler would then end the process with status
// 1 over an event nobody needs any more. From this call on, errors about a
// window that no longer exists are ignored; any other error is handled as
// before. Call it before SDL starts: SDL puts a handler of its own in front
// of this one, and puts this one back when it closes its connections.
void IgnoreErrorsAboutGoneWindows();

}  // namespace qoz::sim
