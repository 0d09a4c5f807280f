#include "scratch_environment.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

ScratchEnvironment::ScratchEnvironment() {
    std::string pattern = (fs::temp_directory_path() / "qozcal-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    setenv("QOZCAL_REGISTRY", registryPath().c_str(), 1);
    setenv("QOZCAL_DEBUG_LOG", debugLogPath().c_str(), 1);
    std::string ns = "test-" + std::to_string(getpid()) + "-" + dir_.filename().string();
    setenv("QOZCAL_EVENT_NAMESPACE", ns.c_str(), 1);
}

ScratchEnvironment::~ScratchEnvironment() {
    unsetenv("QOZCAL_REGISTRY");
    unsetenv("QOZCAL_DEBUG_LOG");
    unsetenv("QOZCAL_EVENT_NAMESPACE");
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
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
    std::ofstream(registryPath(), std::ios::binary) << text;
}

StoredValue QueryQozSerialValue(const char16_t* name) {
    StoredValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\QozSerial", 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return value;
    BYTE data[4096];
    DWORD size = sizeof data;
    if (RegQueryValueExW(key, name, nullptr, &value.type, data, &size) == ERROR_SUCCESS) {
        value.present = true;
        value.size = size;
        value.text.resize(size / 2);
        std::memcpy(value.text.data(), data, value.text.size() * 2);
    }
    RegCloseKey(key);
    return value;
}
