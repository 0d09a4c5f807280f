// The simulator's one way into the host: the simulated screen (gdi32), the
// title a display shows and the raw input the message loop draws from
// (user32), the clock, real or virtual, and the debug log (kernel32), the
// settings file (advapi32), what a program of the
// host does before anything else: its standard descriptors, the signals
// that end it between messages and the programs it may hand over to
// (posix), how it speaks on standard error (posix), and what it says as it
// ends: the settings it could not store (advapi32).
#pragma once

#include "platform/host/advapi32/registry_location.h"
#include "platform/host/advapi32/settings_trouble.h"
#include "platform/host/gdi32/screen.h"
#include "platform/host/kernel32/clock.h"
#include "platform/host/kernel32/debug_output.h"
#include "platform/host/posix/problem_report.h"
#include "platform/host/posix/quit_signals.h"
#include "platform/host/posix/standard_descriptors.h"
#include "platform/host/posix/trusted_program.h"
#include "platform/host/user32/shell_seam.h"
