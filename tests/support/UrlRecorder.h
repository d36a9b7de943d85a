#pragma once

#include <string>
#include <vector>

#include "platform/Shell.h"

// While it lives, the addresses the program would open in the default browser are kept in
// `urls` instead of reaching a browser.
class UrlRecorder {
  public:
    UrlRecorder() {
        platform::SetUrlOpener([this](const std::string& url) {
            urls.push_back(url);
            return true;
        });
    }
    ~UrlRecorder() { platform::SetUrlOpener({}); }
    UrlRecorder(const UrlRecorder&) = delete;
    UrlRecorder& operator=(const UrlRecorder&) = delete;

    std::vector<std::string> urls;
};
