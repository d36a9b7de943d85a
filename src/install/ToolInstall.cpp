#include "install/ToolInstall.h"

#include <algorithm>
#include <filesystem>

#include "install/HttpDownload.h"
#include "install/ZipArchive.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

namespace install {

namespace {

std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The archive's own codes stay inside ZipArchive; callers see the kind of failure and the
// code's text (with its hex number) in the reason.
job::Result ZipFailure(const std::string& where, ZipResult result) {
    const job::Code code =
        result == ZipResult::WriteFailed ? job::Code::WriteFailed
        : result == ZipResult::UnsafeEntry || result == ZipResult::PasswordMismatch
            ? job::Code::Refused
            : job::Code::BadData;
    return job::Result::Failed(code, where + ": " + DescribeZipResult(result));
}

}  // namespace

std::string ToolArchivePath(const std::string& programDir, std::uint32_t toolId) {
    return platform::WithTrailingSeparator(programDir) + "ToolDownload" + platform::kSeparator +
           std::to_string(toolId) + ".zip";
}

void RemoveToolArchive(const std::string& programDir, std::uint32_t toolId) {
    const std::string archive = ToolArchivePath(programDir, toolId);
    std::error_code ec;
    std::filesystem::remove(FsPath(archive), ec);
    std::filesystem::remove(FsPath(HttpDownload::PartialPath(archive)), ec);
}

std::string ToolInstallDirectory(const std::string& programDir, std::uint32_t toolId) {
    return platform::WithTrailingSeparator(programDir) + "LocalGameTool" + platform::kSeparator +
           std::to_string(toolId);
}

std::string ToolProgramPath(const std::string& programDir, std::uint32_t toolId,
                            const std::string& exeName) {
    // The name comes from the catalog: it may only name a file inside the tool's folder, so a
    // catalog entry can never start a program elsewhere on the machine.
    if (ZipArchive::EscapesBase(exeName)) {
        return {};
    }
    std::string name = exeName;
    std::replace(name.begin(), name.end(), '\\', platform::kSeparator);
    return ToolInstallDirectory(programDir, toolId) + platform::kSeparator + name;
}

bool IsDirectory(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(FsPath(path), ec);
}

bool CreateDirectoryPath(const std::string& path, std::error_code* error) {
    std::error_code ec;
    std::error_code last;
    // Each level from the top down; a level that cannot be made is left for the final check.
    auto make = [&](const std::string& level) {
        std::filesystem::create_directory(FsPath(level), ec);
        if (ec) {
            last = ec;
        }
    };
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (IsSeparator(path[i]) && !IsSeparator(path[i - 1])) {
            make(path.substr(0, i));
        }
    }
    make(path);
    if (IsDirectory(path)) {
        return true;
    }
    if (error != nullptr) {
        *error = last ? last : std::make_error_code(std::errc::not_a_directory);
    }
    return false;
}

job::Result InstallArchive(const std::string& archivePath, const std::string& installDir,
                           const std::atomic<bool>* cancel) {
    if (archivePath.empty() || installDir.empty()) {
        return job::Result::Failed(job::Code::NotFound, "no archive or install directory given");
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(FsPath(archivePath), ec)) {
        return job::Result::Failed(job::Code::NotFound, "no archive at " + archivePath);
    }
    std::string dir = installDir;
    while (dir.size() > 1 && IsSeparator(dir.back())) {
        dir.pop_back();
    }
    if (!IsDirectory(dir)) {
        // The install directory itself is made by the extraction; its parent must exist.
        auto cut = dir.find_last_of("/\\");
        std::string parent = cut == std::string::npos ? std::string() : dir.substr(0, cut);
        if (!parent.empty() && !CreateDirectoryPath(parent, &ec)) {
            return job::Result::CannotWrite("cannot create the directory", parent, ec);
        }
    }
    ZipArchive archive;
    if (ZipResult r = archive.OpenArchive(archivePath); r != ZipResult::Ok) {
        return ZipFailure(archivePath, r);
    }
    if (ZipResult r = archive.SetBaseDirectory(dir); r != ZipResult::Ok) {
        return ZipFailure(dir, r);
    }
    ZipEntry entry;
    archive.GetEntry(-1, entry);
    const std::int64_t count = entry.index;
    for (std::int64_t i = 0; i < count; ++i) {
        if (cancel != nullptr && cancel->load()) {
            return job::Result::Failed(job::Code::Cancelled, "install cancelled");
        }
        // An entry that cannot be described is damaged: installing without it would leave a
        // tool that is silently incomplete.
        if (ZipResult r = archive.GetEntry(i, entry); r != ZipResult::Ok) {
            return ZipFailure("entry " + std::to_string(i + 1), r);
        }
        auto slash = entry.name.find('/');
        std::string name = slash == std::string::npos ? entry.name : entry.name.substr(slash + 1);
        if (name.empty()) {
            continue;
        }
        if (ZipResult r = archive.ExtractEntry(i, name); r != ZipResult::Ok) {
            if (!archive.FailedOutput().empty()) {
                return job::Result::CannotWrite("cannot write", archive.FailedOutput(),
                                                archive.FailedOutputError());
            }
            return ZipFailure(entry.name, r);
        }
    }
    return job::Result::Done();
}

bool RunInstalledTool(const std::string& programPath) {
    // The program is started from its own directory, so a relative path must not be
    // resolved against that directory a second time.
    std::error_code ec;
    auto absolute = std::filesystem::absolute(FsPath(programPath), ec);
    std::u8string text =
        ec ? std::u8string(programPath.begin(), programPath.end()) : absolute.u8string();
    std::string program(text.begin(), text.end());
    auto cut = program.find_last_of("/\\");
    std::string workingDir = cut == std::string::npos ? std::string() : program.substr(0, cut + 1);
    return platform::StartProgram(program, {}, workingDir);
}

}  // namespace install
