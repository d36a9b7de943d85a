#include <windows.h>

#include <algorithm>

#include "platform/FileWriter.h"
#include "platform/Files.h"
#include "platform/WinText.h"

namespace platform {
namespace {

HANDLE AsHandle(std::intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
}

}  // namespace

bool FileWriter::Fail(const std::string& what) {
    const DWORD error = GetLastError();
    errorCode_ = LastSystemError();
    error_ = what + " " + path_ + " (error " + std::to_string(error) + ")";
    return false;
}

bool FileWriter::Prepare(const std::string& path, bool& exists) {
    Close();
    Reset(path);
    exists = false;
    DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return Refuse("refusing to write through the link ",
                          std::errc::operation_not_permitted);
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return Refuse("refusing to replace the read-only file ", std::errc::permission_denied);
        }
        exists = (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    return true;
}

bool FileWriter::Create(const std::string& path, bool /*executable*/) {
    bool exists = false;
    if (!Prepare(path, exists)) {
        return false;
    }
    HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return Fail("cannot create");
    }
    Opened(reinterpret_cast<std::intptr_t>(h));
    return true;
}

bool FileWriter::Append(const std::string& path) {
    bool exists = false;
    if (!Prepare(path, exists)) {
        return false;
    }
    HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return Fail("cannot open");
    }
    LARGE_INTEGER zero{};
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(h, zero, &end, FILE_END)) {
        Fail("cannot find the end of");
        CloseHandle(h);
        return false;
    }
    Opened(reinterpret_cast<std::intptr_t>(h));
    written_ = static_cast<std::uint64_t>(end.QuadPart);
    return true;
}

bool FileWriter::WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD done = 0;
        if (!WriteFile(AsHandle(file_), data, chunk, &done, nullptr) || done == 0) {
            return false;
        }
        data += done;
        size -= done;
    }
    return true;
}

bool FileWriter::Truncate() {
    if (!IsOpen()) {
        return false;
    }
    buffered_ = 0;
    written_ = 0;
    LARGE_INTEGER zero{};
    HANDLE h = AsHandle(file_);
    return (SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) && SetEndOfFile(h)) ||
           Fail("cannot truncate");
}

bool FileWriter::SetTimes(std::uint64_t creation, std::uint64_t access, std::uint64_t write) {
    if (!IsOpen() || !Flush()) {
        return false;
    }
    auto toFileTime = [](std::uint64_t t) {
        FILETIME ft{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
        return ft;
    };
    FILETIME c = toFileTime(creation), a = toFileTime(access), w = toFileTime(write);
    return SetFileTime(AsHandle(file_), creation ? &c : nullptr, access ? &a : nullptr,
                       write ? &w : nullptr) ||
           Fail("cannot set the times of");
}

bool FileWriter::MakeReadOnly() {
    if (!IsOpen()) {
        return false;
    }
    FILE_BASIC_INFO info{};
    HANDLE h = AsHandle(file_);
    if (!GetFileInformationByHandleEx(h, FileBasicInfo, &info, sizeof info)) {
        return Fail("cannot read the attributes of");
    }
    info.FileAttributes |= FILE_ATTRIBUTE_READONLY;
    return SetFileInformationByHandle(h, FileBasicInfo, &info, sizeof info) ||
           Fail("cannot make read-only");
}

bool FileWriter::CloseFile() {
    return CloseHandle(AsHandle(file_));
}

}  // namespace platform
