// A program that notes how it was started: its working directory and its arguments, one per
// line in UTF-8, appended to the file that RAVIK_RECORD_FILE names. The Windows shell tests
// register it as the browser and start it as a tool.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const wchar_t* target = _wgetenv(L"RAVIK_RECORD_FILE");
    if (target == nullptr) {
        return 2;
    }
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    std::string record = "cwd " + Utf8(cwd) + "\n";
    for (int i = 1; i < argc; ++i) {
        record += "arg " + Utf8(argv[i]) + "\n";
    }
    FILE* out = _wfopen(target, L"ab");
    if (out == nullptr) {
        return 1;
    }
    std::fwrite(record.data(), 1, record.size(), out);
    std::fclose(out);
    return 0;
}
