// The accuracy benchmarks' results, once they have run: a table in Markdown
// on standard output, and the error fields of a few panels as pictures.
#pragma once

#include <string>

namespace qoz::bench {

void PrintAccuracyTable();

// Writes accuracy-<panel>.png into `folder`; false when one failed.
bool WriteAccuracyPictures(const std::string& folder);

}  // namespace qoz::bench
