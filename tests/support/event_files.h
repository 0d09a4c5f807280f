// Named events seen from outside the event calls: their files, their
// waiters, and polling until something about them holds.
#pragma once

#include <chrono>
#include <functional>
#include <string>

// The file of the named event in the user's event folder (made if needed),
// in the namespace of the moment.
std::string EventFile(const char16_t* name);

// The threads waiting on the named event now; -1 when it cannot be opened.
int WaitersOn(const char16_t* name);

// Polls every millisecond until done holds or the patience runs out.
bool Eventually(const std::function<bool()>& done,
                std::chrono::milliseconds patience = std::chrono::seconds(5));
