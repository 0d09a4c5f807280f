// The script's `shot` command: the whole simulated screen as a PNG file.
#pragma once

#include <string>

namespace qoz::sim {

// A file that cannot be written is one line on standard error and nothing
// more: the run goes on.
void WriteScreenShot(const std::string& path);

}  // namespace qoz::sim
