// The simulator's one way into the host: the simulated screen (gdi32), the
// title a display shows and the raw input the message loop draws from
// (user32), and the clock, real or virtual (kernel32).
#pragma once

#include "platform/host/gdi32/screen.h"
#include "platform/host/kernel32/clock.h"
#include "platform/host/user32/shell_seam.h"
