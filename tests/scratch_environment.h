// A scratch directory for one test: its own settings file, debug log and
// event namespace, so tests never see each other's or the user's state.
#pragma once

#include <filesystem>
#include <string>

#include "platform/platform.h"

class ScratchEnvironment {
public:
    ScratchEnvironment();
    ~ScratchEnvironment();
    ScratchEnvironment(const ScratchEnvironment&) = delete;
    ScratchEnvironment& operator=(const ScratchEnvironment&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path registryPath() const { return dir_ / "registry.reg"; }
    std::filesystem::path debugLogPath() const { return dir_ / "debug.log"; }

    // Everything written to the debug output so far, as UTF-8.
    std::string debugLog() const;
    void clearDebugLog() const;

    std::string registryText() const;
    void writeRegistryText(const std::string& text) const;

private:
    std::filesystem::path dir_;
};

std::string ReadWholeFile(const std::filesystem::path& path);

// Reads a value of HKEY_CURRENT_USER\Software\QozSerial straight through the
// platform's registry calls. Empty when the key or value is missing.
struct StoredValue {
    bool present = false;
    DWORD type = 0;
    std::u16string text;  // the data as UTF-16 units
    DWORD size = 0;
};
StoredValue QueryQozSerialValue(const char16_t* name);
