#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

namespace platform {

// Files named by UTF-8 paths on every system; Windows takes them through its wide API, so
// every character of a name survives there too.

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` with an fopen mode ("rb", "wb", "ab", with or without '+'); the stream is
// always binary. Null on failure, with errno saying why (ENOENT when there is no such
// file). On Windows others may still rename or delete the file while it is open, as they
// may elsewhere.
FileHandle OpenFile(const std::string& path, const char* mode);

// Writes what the stream buffers and asks the system to put the file's data on the disk.
bool FlushToDisk(std::FILE* file);

// Identifies one version of a file: every atomic save renames a new file into place, so a
// save by another writer changes it.
struct FileVersion {
    bool exists = false;
    uint64_t size = 0;
    int64_t modified = 0;  // nanoseconds since 1970 where the system keeps them
    uint64_t inode = 0;    // the file's number on its volume (Windows: its file index)
    bool operator==(const FileVersion&) const = default;
};

struct FileStatus {
    FileVersion version;   // version.exists is false when there is no such file
    bool regular = false;  // a plain file (links followed), not a directory or device
};

// The status of the file at `path`, and of an open file. Both give the same version for
// the same file.
FileStatus StatusOf(const std::string& path);
FileStatus StatusOf(std::FILE* file);

// Renames `from` to `to` in one step, replacing a file at `to`: anyone opening `to` finds
// either the old or the new file. Both must be on the same volume. On Windows the rename
// is written through to the disk, and retried for up to two seconds while another program
// holds the target (a virus scanner looking at a new file does so for a moment).
std::error_code RenameOver(const std::string& from, const std::string& to);

// The error of the system call that failed last on this thread. The common Windows errors come
// as the portable conditions they stand for, so that a test such as
// `error == std::errc::permission_denied` holds for "access denied" on every system.
std::error_code LastSystemError();

}  // namespace platform
