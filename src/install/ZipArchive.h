#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <unordered_set>

namespace platform {
class FileWriter;
}

namespace install {

// Result codes of the archive operations; Ok is 0, every other value is a failure.
enum class ZipResult : std::uint32_t {
    Ok = 0,
    CannotOpen = 0x00000200,        // archive not readable or not a zip; output file not created
    WriteFailed = 0x00000400,       // writing an output file failed (or would not fit on disk)
    BadLocalHeader = 0x00000700,    // the local header disagrees with the central directory
    BadExtraField = 0x00000800,     // the local extra field cannot be read
    UnsafeEntry = 0x00000900,       // name escapes the base directory, or a symbolic link
    PasswordMismatch = 0x00001000,  // encrypted entry
    BadArgument = 0x00010000,       // archive not open, or index out of range
    AlreadyOpen = 0x01000000,       // OpenArchive on an archive that is open
    ReadFailed = 0x05000000,        // decoding or reading failed, or the CRC-32 does not match
};

// Windows file attribute bits, the form in which entries describe themselves.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// The description of one archive entry.
struct ZipEntry {
    // The entry's index; for index -1 the number of entries.
    std::int64_t index = 0;
    // The cleaned name (UTF-8): drive prefixes and leading separators removed, and everything
    // up to a "<sep>..<sep>" dropped.
    std::string name;
    std::uint32_t attributes = 0;
    // File times in 100 ns units since 1601-01-01 UTC.
    std::uint64_t accessTime = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t writeTime = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    // Unix permission and type bits for archives made on Unix-like hosts, else 0.
    std::uint32_t unixMode = 0;
    bool encrypted = false;

    bool IsDirectory() const;
    bool IsSymbolicLink() const;
    // An execute bit is set in the Unix mode: the extracted file must stay startable.
    bool IsExecutable() const;
};

// A zip archive opened for extraction below a base directory. Entries are addressed by
// index in archive order; walking them in order costs one step each. One 16384-byte transfer
// buffer, allocated at the first extraction, carries all entry data.
//
// Entries are refused (UnsafeEntry) when their cleaned name would still leave the base
// directory or when they are symbolic links; the CRC-32 of every extracted entry is checked;
// an entry is never written beyond its declared size, and one that would not fit on the disk
// is not started. An entry whose data fails leaves no output file behind.
class ZipArchive {
  public:
    ZipArchive();
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Opens the archive file; the base directory becomes the current directory.
    ZipResult OpenArchive(const std::string& path);
    ZipResult SetBaseDirectory(const std::string& directory);
    // Describes entry `index`; index -1 gives the number of entries in `entry.index`. On
    // failure `entry` is left cleared (index 0, empty name, size 0).
    ZipResult GetEntry(std::int64_t index, ZipEntry& entry);
    // Writes entry `index` to `name` below the base directory. `name` must be relative and
    // must not climb out with "..".
    ZipResult ExtractEntry(std::int64_t index, const std::string& name);
    // Closes the archive; BadArgument when it is not open. The destructor closes as well.
    ZipResult CloseArchive();

    bool IsOpen() const;
    const std::string& BaseDirectory() const { return base_; }
    // When the last ExtractEntry failed because its output file could not be created or
    // written (or would not fit on the disk): that file's path and the system's error, so the
    // caller can tell a full or read-only disk from a damaged archive. Empty otherwise.
    const std::string& FailedOutput() const { return failedOutput_; }
    const std::error_code& FailedOutputError() const { return failedOutputError_; }

    // Creates `directory` below `base` (or as given when `base` is empty) with every missing
    // parent; an absent base is created too. Failures are left for the file creation to report.
    static void EnsureDirectory(const std::string& base, const std::string& directory);
    // The name cleaning applied to raw entry names.
    static std::string CleanName(std::string name);
    // True when `name` is absolute or has a ".." component (with either separator).
    static bool EscapesBase(const std::string& name);

  private:
    struct Reader;

    ZipResult MoveTo(std::int64_t index);
    ZipResult Describe(std::int64_t index, ZipEntry& entry);
    ZipResult CopyEntryData(const ZipEntry& entry, platform::FileWriter& out);
    void CloseEntry();

    std::unique_ptr<Reader> reader_;
    std::int64_t count_ = 0;
    std::int64_t position_ = -1;  // entry the reader stands on
    bool entryOpen_ = false;
    std::int64_t cachedIndex_ = -1;
    ZipEntry cached_;
    std::string base_;
    std::unordered_set<std::string> ensured_;  // folders made sure of, not checked again
    std::unique_ptr<char[]> buffer_;
    std::string failedOutput_;
    std::error_code failedOutputError_;
};

// Text of a result code for messages ("0x00000700 local header disagrees ...").
std::string DescribeZipResult(ZipResult result);

}  // namespace install
