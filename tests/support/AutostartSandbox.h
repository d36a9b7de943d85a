#pragma once

#include <string>

#ifdef _WIN32
#include <windows.h>

#include <random>
#else
#include "ScopedEnv.h"
#include "TempDir.h"
#endif

// Keeps the autostart entry of a test away from the user's own: the registry of the
// current user is mapped to a fresh key on Windows, the XDG configuration directory to a
// fresh directory elsewhere. Everything is removed again afterwards.
#ifdef _WIN32
class AutostartSandbox {
  public:
    AutostartSandbox() {
        std::random_device rd;
        name_ = L"Software\\RavikTest-" + std::to_wstring(rd()) + std::to_wstring(rd());
        RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, key_);
    }
    ~AutostartSandbox() {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
    }
    AutostartSandbox(const AutostartSandbox&) = delete;
    AutostartSandbox& operator=(const AutostartSandbox&) = delete;

    bool Ready() const { return key_ != nullptr; }

  private:
    std::wstring name_;
    HKEY key_ = nullptr;
};
#else
class AutostartSandbox {
  public:
    AutostartSandbox() : config_("XDG_CONFIG_HOME", dir_.path().string().c_str()) {}

    bool Ready() const { return true; }
    const TempDir& ConfigDirectory() const { return dir_; }

  private:
    TempDir dir_;
    ScopedEnv config_;
};
#endif
