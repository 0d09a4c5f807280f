#include "tests/support/scratch_environment.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/host/kernel32/named_event.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;

ScratchEnvironment::ScratchEnvironment() {
    dir_ = MakeScratchFolder("environment");
    if (dir_.empty()) throw std::runtime_error("no scratch folder could be made");
    setenv("QOZCAL_REGISTRY", registryPath().c_str(), 1);
    setenv("QOZCAL_DEBUG_LOG", debugLogPath().c_str(), 1);
    std::string ns = "test-" + std::to_string(getpid()) + "-" + dir_.filename().string();
    setenv("QOZCAL_EVENT_NAMESPACE", ns.c_str(), 1);
}

ScratchEnvironment::~ScratchEnvironment() {
    // Events of processes the test killed go now rather than at some later
    // test's first open.
    qoz::host::RemoveAbandonedEvents();
    unsetenv("QOZCAL_REGISTRY");
    unsetenv("QOZCAL_DEBUG_LOG");
    unsetenv("QOZCAL_EVENT_NAMESPACE");
    RemoveScratchFolder(dir_);
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ScratchEnvironment::debugLog() const { return ReadWholeFile(debugLogPath()); }

void ScratchEnvironment::clearDebugLog() const {
    std::error_code ignored;
    fs::remove(debugLogPath(), ignored);
}

std::string ScratchEnvironment::registryText() const { return ReadWholeFile(registryPath()); }

void ScratchEnvironment::writeRegistryText(const std::string& text) const {
    writeFile(registryPath().filename(), text);
}

std::string ScratchEnvironment::writeFile(const std::string& name, const std::string& text) const {
    fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}
