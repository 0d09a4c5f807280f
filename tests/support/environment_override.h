// An environment variable set (or unset, given nothing) for the life of the
// object, and put back as it was afterwards.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvironmentOverride() {
        if (old_) {
            setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};
