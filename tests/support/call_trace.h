// The platform calls that the program's traced build makes (those named in
// traced_platform.h), recorded in order, each as one line such as
// "RegSetValueExW SCALEX 1.12940" or "ShowWindow 펜입력 5"; its debug lines
// are recorded among them as "debug TEXT". A call can be made to fail
// instead of reaching the platform.
#pragma once

#include <string>
#include <vector>

// Forgets the lines recorded so far, the failures asked for and the open
// registry keys counted.
void ClearCallTrace();

// The lines recorded since ClearCallTrace that start with one of `prefixes`
// ("debug" for the debug lines), in order.
std::vector<std::string> CallTrace(const std::vector<std::string>& prefixes);

// Until ClearCallTrace, a call whose line starts with `prefix` fails without
// reaching the platform: a registry call with ERROR_ACCESS_DENIED, window
// creation with a null handle.
void FailCallsStartingWith(const std::string& prefix);

// Registry keys opened or created since ClearCallTrace and not yet closed.
int RegistryKeysLeftOpen();

// Every call since ClearCallTrace with all its arguments, as the coredll
// stand-in records the device's executable (platform/common/call_record.h).
std::string CallRecordText();
