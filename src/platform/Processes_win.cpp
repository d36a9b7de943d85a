// The Toolhelp header builds on the types of windows.h.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <functional>
#include <memory>
#include <vector>

#include "platform/Processes.h"
#include "platform/WinText.h"

namespace platform {
namespace {

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle Own(HANDLE h) {
    return Handle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

// `path` as the system names the file: full, with backslashes and long names, so that it
// compares with what QueryFullProcessImageNameW reports.
std::wstring FullPath(const std::string& path) {
    const std::wstring wide = Utf8ToWide(path);
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) {
        return wide;
    }
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    full.resize(n);
    DWORD longSize = GetLongPathNameW(full.c_str(), nullptr, 0);
    if (longSize == 0) {
        return full;
    }
    std::wstring longPath(longSize, L'\0');
    longSize = GetLongPathNameW(full.c_str(), longPath.data(), longSize);
    if (longSize == 0 || longSize >= longPath.size()) {
        return full;
    }
    longPath.resize(longSize);
    return longPath;
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FileNameOf(const std::wstring& path) {
    auto cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring ImagePath(HANDLE process) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (QueryFullProcessImageNameW(process, 0, buffer.data(), &size)) {
            buffer.resize(size);
            return buffer;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The user a process runs as (its token's SID); empty when the system does not tell.
std::vector<unsigned char> UserOf(HANDLE process) {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &rawToken)) {
        return {};
    }
    Handle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(rawToken, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> info(size);
    if (size == 0 || !GetTokenInformation(rawToken, TokenUser, info.data(), size, &size)) {
        return {};
    }
    PSID sid = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
    const DWORD length = GetLengthSid(sid);
    auto* bytes = static_cast<unsigned char*>(sid);
    return std::vector<unsigned char>(bytes, bytes + length);
}

// Calls `use` with an open handle (with `access`) of every process of the current user
// whose image is `executablePath`. The image and user are checked on that very handle, so
// an id that a new process took over since the snapshot is never used.
void ForEachMatching(const std::string& executablePath, DWORD access,
                     const std::function<void(HANDLE, DWORD)>& use) {
    const std::wstring wanted = FullPath(executablePath);
    const std::wstring wantedName = FileNameOf(wanted);
    const std::vector<unsigned char> user = UserOf(GetCurrentProcess());
    if (user.empty()) {
        return;
    }
    Handle snapshot = Own(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        // The file name in the snapshot spares opening every process on the machine.
        if (!SameIgnoringCase(entry.szExeFile, wantedName)) {
            continue;
        }
        Handle process(
            OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (!process || !SameIgnoringCase(ImagePath(process.get()), wanted) ||
            UserOf(process.get()) != user) {
            continue;
        }
        use(process.get(), entry.th32ProcessID);
    }
}

}  // namespace

std::vector<long> FindProcesses(const std::string& executablePath) {
    std::vector<long> ids;
    ForEachMatching(executablePath, 0,
                    [&ids](HANDLE, DWORD id) { ids.push_back(static_cast<long>(id)); });
    return ids;
}

int TerminateProcesses(const std::string& executablePath) {
    int count = 0;
    ForEachMatching(executablePath, PROCESS_TERMINATE, [&count](HANDLE process, DWORD) {
        count += TerminateProcess(process, 1) ? 1 : 0;
    });
    return count;
}

long CurrentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

}  // namespace platform
