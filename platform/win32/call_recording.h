// The coredll stand-in's record of every call the device's executable makes,
// with its arguments as the program passed them: kept while the environment
// variable QOZCAL_CALL_RECORD names a file, and written there as the program
// ends (platform/common/call_record.h says how a record reads).
#pragma once

#include "platform/common/call_record.h"

// The record, or null when none is kept.
qoz::CallRecord* Recording();
void FinishCallRecord();
