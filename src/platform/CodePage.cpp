#include "platform/CodePage.h"

#include <mutex>

namespace platform {
namespace {

std::mutex g_codePageMutex;

std::string& CodePageName() {
    static std::string name = SystemAnsiCodePage();
    return name;
}

}  // namespace

void SetAnsiCodePage(const std::string& encoding) {
    std::lock_guard lock(g_codePageMutex);
    CodePageName() = encoding;
}

std::string AnsiCodePage() {
    std::lock_guard lock(g_codePageMutex);
    return CodePageName();
}

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    if (!ConvertFromUtf8(utf8, AnsiCodePage(), out)) {
        return std::string(utf8);
    }
    return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    if (!ConvertToUtf8(ansi, AnsiCodePage(), out)) {
        return std::string(ansi);
    }
    return out;
}

}  // namespace platform
