// A program the host starts for itself, checked as ssh checks the files it
// trusts: the program and every folder above it belong to root or the user,
// and nobody else may change them (a sticky folder such as /tmp excepted,
// where nobody may move or remove what is not theirs).
#pragma once

#include <string>

namespace qoz::host {

struct CheckedProgram {
    std::string path;     // the program with every link resolved
    std::string problem;  // why it may not be run; empty when it may
};

// The program at path, which must not be the running program itself.
CheckedProgram CheckTrustedProgram(const std::string& path);

}  // namespace qoz::host
