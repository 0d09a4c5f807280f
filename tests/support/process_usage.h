// What a running process has cost so far, read from /proc: how a test or a
// benchmark tells a program that sleeps while idle from one that keeps
// waking up.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>

struct ProcessUsage {
    std::chrono::microseconds cpu{0};  // time its threads spent on a processor
    long wakeups = 0;                  // times its threads went to sleep and woke again
};

// Empty when the process is gone.
std::optional<ProcessUsage> ReadProcessUsage(pid_t pid);

// What it cost between two readings.
ProcessUsage operator-(const ProcessUsage& later, const ProcessUsage& earlier);
