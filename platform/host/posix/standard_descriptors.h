// Descriptors 0, 1 and 2 are standard input, output and error. A program
// started with one of them closed would hand that number to the next file it
// opens, and its messages would land in that file.
#pragma once

namespace qoz::host {

// Opens /dev/null on each of them that is closed; false when it cannot.
// Call it first thing in main, before anything opens a file.
bool OpenStandardDescriptors();

}  // namespace qoz::host
