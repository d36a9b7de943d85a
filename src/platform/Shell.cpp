#include "platform/Shell.h"

#include <mutex>

namespace platform {
namespace {
std::mutex g_openerMutex;
std::function<bool(const std::string&)> g_opener;
}  // namespace

bool OpenUrl(const std::string& url) {
    std::function<bool(const std::string&)> opener;
    {
        std::lock_guard lock(g_openerMutex);
        opener = g_opener;
    }
    return opener ? opener(url) : SystemOpenUrl(url);
}

void SetUrlOpener(std::function<bool(const std::string&)> opener) {
    std::lock_guard lock(g_openerMutex);
    g_opener = std::move(opener);
}

}  // namespace platform
