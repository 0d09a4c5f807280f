// A scratch folder for one test or benchmark: its own settings file, debug
// log and event namespace, so that runs never see each other's or the
// user's state.
#pragma once

#include <filesystem>
#include <string>

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

    // Writes `text` as NAME in the folder; returns its path.
    std::string writeFile(const std::string& name, const std::string& text) const;

private:
    std::filesystem::path dir_;
};

std::string ReadWholeFile(const std::filesystem::path& path);
