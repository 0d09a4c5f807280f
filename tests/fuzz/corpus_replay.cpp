// Replays a fuzz target's corpus in an ordinary build: each file in the
// folders named on the command line goes once through LLVMFuzzerTestOneInput.
// A target that finds one of its properties broken aborts, failing the run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/scratch_environment.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
            std::string input = ReadWholeFile(entry.path());
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
            ++replayed;
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;  // an empty corpus would prove nothing
}
