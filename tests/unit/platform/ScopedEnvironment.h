#pragma once

#include <cstdlib>
#include <string>

#include "platform/Paths.h"

#ifdef _WIN32
#include "platform/WinText.h"
#endif

// Sets an environment variable (UTF-8) for one scope and puts back what was there.
class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::string& value)
        : name_(std::move(name)), old_(platform::EnvironmentVariable(name_)) {
        Set(name_, value);
    }
    ~ScopedEnvironment() { Set(name_, old_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    // An empty value removes the variable.
    static void Set(const std::string& name, const std::string& value) {
#ifdef _WIN32
        _wputenv_s(platform::Utf8ToWide(name).c_str(), platform::Utf8ToWide(value).c_str());
#else
        if (value.empty()) {
            unsetenv(name.c_str());
        } else {
            setenv(name.c_str(), value.c_str(), 1);
        }
#endif
    }

    std::string name_;
    std::string old_;
};
