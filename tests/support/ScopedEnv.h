#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets (or, with nullptr, removes) an environment variable for one scope, and puts the old
// value back afterwards. The C runtime's time zone follows TZ after tzset().
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void Set(const char* value) {
#ifdef _WIN32
        _putenv_s(name_.c_str(), value != nullptr ? value : "");
        _tzset();
#else
        if (value != nullptr) {
            setenv(name_.c_str(), value, 1);
        } else {
            unsetenv(name_.c_str());
        }
        tzset();
#endif
    }

    std::string name_;
    std::optional<std::string> old_;
};
