#include "install/ToolInstall.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <vector>

#include "install/HttpDownload.h"
#include "install/ZipArchive.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "platform/Shell.h"

namespace install {

namespace {

std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
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

namespace {

// The folder an archive is extracted into before it takes the install directory's place:
// beside it, so moving its files is a rename on the same disk. The process id and a counter
// keep two extractions apart.
std::string StagingDirectory(const std::string& parent) {
    static std::atomic<unsigned> counter{0};
    return parent + platform::kSeparator + std::string(kStagingPrefix) +
           std::to_string(platform::CurrentProcessId()) + "-" + std::to_string(counter++);
}

// Removes the staging folder with whatever is in it unless it was moved into place.
struct StagingCleanup {
    std::filesystem::path path;
    ~StagingCleanup() { RemoveFolder(path); }
};

bool IsReadOnlyFile(const std::filesystem::path& path) {
    std::error_code ec;
    auto status = std::filesystem::symlink_status(path, ec);
    return !ec && std::filesystem::is_regular_file(status) &&
           (status.permissions() & std::filesystem::perms::owner_write) ==
               std::filesystem::perms::none;
}

bool SameBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::file_size(a, ec) != std::filesystem::file_size(b, ec) || ec) {
        return false;
    }
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    std::vector<char> x(64 * 1024);
    std::vector<char> y(x.size());
    while (first && second) {
        first.read(x.data(), static_cast<std::streamsize>(x.size()));
        second.read(y.data(), static_cast<std::streamsize>(y.size()));
        if (first.gcount() != second.gcount() ||
            !std::equal(x.begin(), x.begin() + first.gcount(), y.begin())) {
            return false;
        }
    }
    return first.eof() && second.eof();
}

// Moves the extracted files over an existing install directory: files of the same name are
// replaced, every other file (a tool's saved settings) stays. A read-only file is never
// replaced: the install fails, unless it already holds exactly the new bytes (the same
// archive installed before, or by an install that was killed while moving its files), which
// then stays as it is. Everything that could stop the move is looked at first, so a refused
// install changes nothing there.
job::Result MergeInto(const std::filesystem::path& staging, const std::filesystem::path& target) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> entries;
    for (auto it = fs::recursive_directory_iterator(staging, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        entries.push_back(fs::relative(it->path(), staging));
    }
    if (ec) {
        return job::Result::CannotWrite("cannot read", Utf8(staging), ec);
    }
    std::vector<bool> keep(entries.size(), false);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const fs::path from = staging / entries[i];
        const fs::path into = target / entries[i];
        const auto there = fs::symlink_status(into, ec);
        if (!fs::exists(there)) {
            continue;
        }
        const bool folder = fs::is_directory(from, ec);
        if (folder != fs::is_directory(there)) {
            return job::Result::CannotWrite(folder ? "a file stands where a folder goes:"
                                                   : "a folder stands where a file goes:",
                                            Utf8(into),
                                            std::make_error_code(std::errc::file_exists));
        }
        if (!folder && IsReadOnlyFile(into)) {
            if (!SameBytes(from, into)) {
                return job::Result::CannotWrite("cannot replace the read-only file", Utf8(into),
                                                std::make_error_code(std::errc::permission_denied));
            }
            keep[i] = true;
        }
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const fs::path into = target / entries[i];
        if (keep[i]) {
            continue;
        }
        if (fs::is_directory(staging / entries[i], ec)) {
            fs::create_directory(into, ec);
            continue;
        }
        if (std::error_code moved = platform::RenameOver(Utf8(staging / entries[i]), Utf8(into))) {
            return job::Result::CannotWrite("cannot move into place", Utf8(into), moved);
        }
    }
    return job::Result::Done();
}

}  // namespace

bool RemoveFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    // Windows removes a read-only file only once it lost that attribute.
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code ignored;
        if (!it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::remove_all(folder, ec);
    return !ec;
}

bool IsStagingName(std::string_view name) {
    return name.substr(0, kStagingPrefix.size()) == kStagingPrefix;
}

std::uint64_t RoomOnDisk(const std::string& directory, std::uint64_t reserve) {
    std::error_code ec;
    const auto space = std::filesystem::space(FsPath(directory), ec);
    if (ec) {
        return UINT64_MAX;
    }
    return space.available > reserve ? space.available - reserve : 0;
}

job::Result InstallArchive(const std::string& archivePath, const std::string& installDir,
                           const std::atomic<bool>* cancel, std::uint64_t reserve) {
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
    auto cut = dir.find_last_of("/\\");
    std::string parent = cut == std::string::npos ? std::string(".") : dir.substr(0, cut);
    if (parent.empty()) {
        parent = dir.substr(0, 1);
    }
    if (!CreateDirectoryPath(parent, &ec)) {
        return job::Result::CannotWrite("cannot create the directory", parent, ec);
    }
    ZipArchive archive;
    if (ZipResult r = archive.OpenArchive(archivePath); r != ZipResult::Ok) {
        return ZipFailure(archivePath, r);
    }
    ZipEntry entry;
    archive.GetEntry(-1, entry);
    const std::int64_t count = entry.index;
    // The entries' sizes, which the extraction never exceeds, are added up first: an archive
    // that would expand beyond the room on the disk (a zip bomb among them) is refused before
    // anything is written. An entry that cannot be described is damaged: installing without
    // it would leave a tool that is silently incomplete.
    std::uint64_t expanded = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        if (ZipResult r = archive.GetEntry(i, entry); r != ZipResult::Ok) {
            return ZipFailure("entry " + std::to_string(i + 1), r);
        }
        expanded += std::min<std::uint64_t>(entry.uncompressedSize, UINT64_MAX - expanded);
    }
    if (const std::uint64_t room = RoomOnDisk(parent, reserve); expanded > room) {
        return job::Result::CannotWrite("the archive expands to " + std::to_string(expanded) +
                                            " bytes, more than the " + std::to_string(room) +
                                            " bytes of room for",
                                        dir, std::make_error_code(std::errc::no_space_on_device));
    }

    // Extracted into a folder of its own first: a failed, cancelled or killed install never
    // leaves part of a tool in the install directory, where a later install would meet it.
    StagingCleanup staging{FsPath(StagingDirectory(parent))};
    if (ZipResult r = archive.SetBaseDirectory(Utf8(staging.path)); r != ZipResult::Ok) {
        return ZipFailure(Utf8(staging.path), r);
    }
    std::filesystem::create_directory(staging.path, ec);
    for (std::int64_t i = 0; i < count; ++i) {
        if (cancel != nullptr && cancel->load()) {
            return job::Result::Failed(job::Code::Cancelled, "install cancelled");
        }
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
    archive.CloseArchive();
    if (!IsDirectory(dir)) {
        std::filesystem::rename(staging.path, FsPath(dir), ec);
        if (ec) {
            return job::Result::CannotWrite("cannot move into place", dir, ec);
        }
        return job::Result::Done();
    }
    return MergeInto(staging.path, FsPath(dir));
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
