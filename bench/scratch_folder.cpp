#include "scratch_folder.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace qoz::bench {

namespace fs = std::filesystem;

const fs::path& ScratchFolder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "qozcal-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("qozcal-bench: cannot create a temporary folder");
            std::exit(1);
        }
        fs::path made = pattern;
        setenv("QOZCAL_REGISTRY", (made / "registry.reg").c_str(), 1);
        setenv("QOZCAL_DEBUG_LOG", (made / "debug.log").c_str(), 1);
        std::string events = "bench-" + std::to_string(getpid());
        setenv("QOZCAL_EVENT_NAMESPACE", events.c_str(), 1);
        return made;
    }();
    return folder;
}

void RemoveScratchFolder() {
    std::error_code ignored;
    fs::remove_all(ScratchFolder(), ignored);
}

}  // namespace qoz::bench
