#include "install/ZipArchive.h"

#include <unzip.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "platform/CodePage.h"
#include "platform/FileWriter.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"

namespace install {

namespace {

// Entry data moves through one buffer of this size per archive.
constexpr std::size_t kTransferBuffer = 16384;
// General-purpose flag bits of an entry.
constexpr unsigned kFlagEncrypted = 0x0001;
constexpr unsigned kFlagUtf8Name = 0x0800;
constexpr std::uint32_t kUnixTypeMask = 0170000;
constexpr std::uint32_t kUnixDirectory = 0040000;
constexpr std::uint32_t kUnixSymlink = 0120000;

std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
    std::u8string u = path.u8string();
    return std::string(u.begin(), u.end());
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Byte length of the UTF-8 character that starts `text`; an invalid byte is a character of
// its own.
std::size_t FirstCharLength(const std::string& text) {
    return platform::DecodeUtf8Char(text).length;
}

bool HasDrivePrefix(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    std::size_t first = FirstCharLength(name);
    return name.size() > first && name[first] == ':';
}

std::uint64_t UnixToFileTime(std::int64_t unixSeconds) {
    return static_cast<std::uint64_t>((unixSeconds + 11644473600LL) * 10000000LL);
}

// A DOS date and time, read as local time, as a file time in UTC.
std::uint64_t DosToFileTime(unsigned long dosDateTime) {
    unsigned date = static_cast<unsigned>(dosDateTime >> 16);
    unsigned time = static_cast<unsigned>(dosDateTime & 0xFFFF);
    std::tm tm{};
    tm.tm_year = static_cast<int>(1980 + (date >> 9)) - 1900;
    tm.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1F);
    tm.tm_hour = static_cast<int>(time >> 11);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>((time & 0x1F) * 2);
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? 0 : UnixToFileTime(t);
}

std::uint32_t ReadLe16(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

std::int32_t ReadLe32(const unsigned char* p) {
    return static_cast<std::int32_t>(ReadLe16(p) | ReadLe16(p + 2) << 16);
}

// Applies the first extended-timestamp ("UT") block of a local extra field.
void ApplyExtendedTimes(const std::vector<unsigned char>& extra, ZipEntry& entry) {
    if (extra.size() <= 4) {
        return;
    }
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        std::uint32_t tag = ReadLe16(&extra[pos]);
        std::size_t length = ReadLe16(&extra[pos + 2]);
        std::size_t end = std::min(extra.size(), pos + 4 + length);
        if (tag == 0x5455 && pos + 4 < end) {
            unsigned flags = extra[pos + 4];
            std::size_t p = pos + 5;
            std::uint64_t* targets[] = {&entry.writeTime, &entry.accessTime, &entry.creationTime};
            for (unsigned bit = 0; bit < 3; ++bit) {
                if ((flags & (1u << bit)) == 0) {
                    continue;
                }
                if (p + 4 > end) {
                    break;
                }
                *targets[bit] = UnixToFileTime(ReadLe32(&extra[p]));
                p += 4;
            }
            return;
        }
        pos += 4 + length;
    }
}

ZipResult OpenCodeOf(int minizipError) {
    return minizipError == UNZ_BADZIPFILE ? ZipResult::BadLocalHeader : ZipResult::ReadFailed;
}

// The archive path is UTF-8, which the reader's own fopen would not take on Windows. The
// reader only ever reads.
voidpf ZCALLBACK OpenUtf8(voidpf, const void* filename, int) {
    return platform::OpenFile(static_cast<const char*>(filename), "rb").release();
}

// True for a file that is nothing but an end-of-central-directory record for zero entries
// (plus its comment).
bool IsEmptyArchive(const std::string& path) {
    std::error_code ec;
    auto size = std::filesystem::file_size(FsPath(path), ec);
    if (ec || size < 22 || size > 22 + 0xFFFF) {
        return false;
    }
    platform::FileHandle f = platform::OpenFile(path, "rb");
    if (!f) {
        return false;
    }
    unsigned char record[22];
    bool read = std::fread(record, 1, sizeof record, f.get()) == sizeof record;
    static const unsigned char kZeros[16] = {};
    return read && std::memcmp(record, "PK\x05\x06", 4) == 0 &&
           std::memcmp(record + 4, kZeros, 16) == 0 && 22 + ReadLe16(record + 20) == size;
}

}  // namespace

bool ZipEntry::IsDirectory() const {
    return (attributes & kAttrDirectory) != 0;
}
bool ZipEntry::IsSymbolicLink() const {
    return (unixMode & kUnixTypeMask) == kUnixSymlink;
}
bool ZipEntry::IsExecutable() const {
    return (unixMode & 0111) != 0 && !IsDirectory();
}

struct ZipArchive::Reader {
    unzFile file = nullptr;
    ~Reader() {
        if (file != nullptr) {
            unzClose(file);
        }
    }
};

ZipArchive::ZipArchive() = default;
ZipArchive::~ZipArchive() = default;

bool ZipArchive::IsOpen() const {
    return reader_ != nullptr;
}

ZipResult ZipArchive::OpenArchive(const std::string& path) {
    if (IsOpen()) {
        return ZipResult::AlreadyOpen;
    }
    std::error_code ec;
    base_ = platform::WithTrailingSeparator(Utf8Of(std::filesystem::current_path(ec)));
    ensured_.clear();
    zlib_filefunc64_def io;
    fill_fopen64_filefunc(&io);
    io.zopen64_file = &OpenUtf8;
    auto reader = std::make_unique<Reader>();
    reader->file = unzOpen2_64(path.c_str(), &io);
    unz_global_info64 info{};
    if (reader->file == nullptr) {
        // The reader cannot open an archive without entries (its directory record then sits
        // at offset 0); such an archive is valid and simply has nothing to extract.
        if (!IsEmptyArchive(path)) {
            return ZipResult::CannotOpen;
        }
    } else if (unzGetGlobalInfo64(reader->file, &info) != UNZ_OK) {
        return ZipResult::CannotOpen;
    }
    reader_ = std::move(reader);
    count_ = static_cast<std::int64_t>(info.number_entry);
    // A fresh reader stands on the first entry.
    position_ = count_ > 0 ? 0 : -1;
    entryOpen_ = false;
    cachedIndex_ = -1;
    return ZipResult::Ok;
}

ZipResult ZipArchive::SetBaseDirectory(const std::string& directory) {
    if (!IsOpen()) {
        return ZipResult::BadArgument;
    }
    base_ = directory;
    if (base_.empty() || !IsSeparator(base_.back())) {
        base_.push_back(platform::kSeparator);
    }
    ensured_.clear();
    return ZipResult::Ok;
}

void ZipArchive::CloseEntry() {
    if (entryOpen_) {
        unzCloseCurrentFile(reader_->file);
        entryOpen_ = false;
    }
}

ZipResult ZipArchive::MoveTo(std::int64_t index) {
    if (position_ < 0 || index < position_) {
        if (unzGoToFirstFile(reader_->file) != UNZ_OK) {
            position_ = -1;
            return ZipResult::ReadFailed;
        }
        position_ = 0;
    }
    while (position_ < index) {
        if (unzGoToNextFile(reader_->file) != UNZ_OK) {
            position_ = -1;
            return ZipResult::ReadFailed;
        }
        ++position_;
    }
    return ZipResult::Ok;
}

ZipResult ZipArchive::Describe(std::int64_t index, ZipEntry& entry) {
    if (ZipResult r = MoveTo(index); r != ZipResult::Ok) {
        return r;
    }
    unzFile uf = reader_->file;
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        return ZipResult::ReadFailed;
    }
    std::string raw(info.size_filename, '\0');
    if (!raw.empty() &&
        unzGetCurrentFileInfo64(uf, &info, raw.data(), static_cast<uLong>(raw.size()), nullptr, 0,
                                nullptr, 0) != UNZ_OK) {
        return ZipResult::ReadFailed;
    }
    // A name ends at its first NUL, as the C string it is read into.
    raw.resize(std::strlen(raw.c_str()));
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
        return ZipResult::BadLocalHeader;
    }
    // Opening the entry without decoding checks its local header against the central
    // directory and makes its local extra field readable.
    int method = 0;
    int level = 0;
    int opened = unzOpenCurrentFile3(uf, &method, &level, 1, nullptr);
    if (opened != UNZ_OK) {
        return OpenCodeOf(opened);
    }
    entryOpen_ = true;
    std::vector<unsigned char> extra;
    int extraSize = unzGetLocalExtrafield(uf, nullptr, 0);
    if (extraSize < 0) {
        CloseEntry();
        return ZipResult::BadExtraField;
    }
    if (extraSize > 0) {
        extra.resize(static_cast<std::size_t>(extraSize));
        if (unzGetLocalExtrafield(uf, extra.data(), static_cast<unsigned>(extraSize)) !=
            extraSize) {
            CloseEntry();
            return ZipResult::BadExtraField;
        }
    }
    CloseEntry();

    ZipEntry e;
    e.index = index;
    bool ascii = std::all_of(raw.begin(), raw.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    bool utf8 = (info.flag & kFlagUtf8Name) != 0;
    bool endsWithSeparator = !raw.empty() && IsSeparator(raw.back());
    e.name = CleanName(ascii || utf8 ? raw : platform::AnsiToUtf8(raw));
    e.encrypted = (info.flag & kFlagEncrypted) != 0;

    unsigned host = static_cast<unsigned>(info.version >> 8) & 0xFF;
    std::uint32_t external = static_cast<std::uint32_t>(info.external_fa);
    if (host == 0 || host == 7 || host == 11 || host == 14) {
        e.attributes =
            external & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory | kAttrArchive);
    } else {
        e.unixMode = external >> 16;
        e.attributes = kAttrArchive;
        if ((external & (1u << 30)) != 0) {
            e.attributes |= kAttrDirectory;
        }
        if ((external & (1u << 23)) == 0) {
            e.attributes |= kAttrReadOnly;
        }
    }
    // Many writers mark folders only by the trailing separator of their name.
    if (endsWithSeparator && info.uncompressed_size == 0) {
        e.attributes |= kAttrDirectory;
    }
    if ((e.unixMode & kUnixTypeMask) == kUnixDirectory) {
        e.attributes |= kAttrDirectory;
    }

    std::uint64_t dosTime = DosToFileTime(info.dosDate);
    e.accessTime = e.creationTime = e.writeTime = dosTime;
    ApplyExtendedTimes(extra, e);
    e.compressedSize = info.compressed_size;
    e.uncompressedSize = info.uncompressed_size;

    cached_ = e;
    cachedIndex_ = index;
    entry = std::move(e);
    return ZipResult::Ok;
}

ZipResult ZipArchive::GetEntry(std::int64_t index, ZipEntry& entry) {
    entry = ZipEntry{};
    if (!IsOpen() || index < -1 || index >= count_) {
        return ZipResult::BadArgument;
    }
    CloseEntry();
    if (index == -1) {
        entry.index = count_;
        return ZipResult::Ok;
    }
    if (index == cachedIndex_) {
        entry = cached_;
        return ZipResult::Ok;
    }
    return Describe(index, entry);
}

ZipResult ZipArchive::ExtractEntry(std::int64_t index, const std::string& name) {
    failedOutput_.clear();
    failedOutputError_.clear();
    if (!IsOpen() || index < 0 || index >= count_) {
        return ZipResult::BadArgument;
    }
    CloseEntry();
    ZipEntry entry;
    if (index == cachedIndex_) {
        entry = cached_;
        if (ZipResult r = MoveTo(index); r != ZipResult::Ok) {
            return r;
        }
    } else if (ZipResult r = Describe(index, entry); r != ZipResult::Ok) {
        return r;
    }

    std::string target = name.substr(0, std::strlen(name.c_str()));
    if (entry.IsSymbolicLink() || EscapesBase(entry.name) || EscapesBase(target)) {
        return ZipResult::UnsafeEntry;
    }
    // Archives made on Windows separate folders with backslashes.
    std::replace(target.begin(), target.end(), '\\', platform::kSeparator);
    if (entry.IsDirectory()) {
        EnsureDirectory(base_, target);
        return ZipResult::Ok;
    }

    auto cut = target.find_last_of("/\\");
    std::string directory = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
    if (ensured_.insert(directory).second) {
        EnsureDirectory(base_, directory);
    }
    if (entry.encrypted) {
        return ZipResult::PasswordMismatch;
    }
    // Refuse at once what cannot fit, rather than filling the disk first.
    const std::string path = base_ + target;
    std::error_code ec;
    auto space = std::filesystem::space(FsPath(base_), ec);
    if (!ec && entry.uncompressedSize > space.available) {
        failedOutput_ = path;
        failedOutputError_ = std::make_error_code(std::errc::no_space_on_device);
        return ZipResult::WriteFailed;
    }

    // A file whose data turned out wrong is removed again: nothing half-written or damaged
    // is left looking like an installed file.
    platform::FileWriter out;
    if (!out.Create(path, entry.IsExecutable())) {
        failedOutput_ = path;
        failedOutputError_ = out.ErrorCode();
        return ZipResult::CannotOpen;
    }
    ZipResult result = CopyEntryData(entry, out);
    if (result == ZipResult::Ok) {
        bool ok = out.SetTimes(entry.creationTime, entry.accessTime, entry.writeTime);
        if ((entry.attributes & kAttrReadOnly) != 0) {
            ok = out.MakeReadOnly() && ok;
        }
        result = out.Close() && ok ? ZipResult::Ok : ZipResult::WriteFailed;
    }
    if (result == ZipResult::WriteFailed) {
        failedOutput_ = path;
        failedOutputError_ = out.ErrorCode();
    }
    if (result != ZipResult::Ok) {
        out.Close();
        std::filesystem::remove(FsPath(path), ec);
    }
    return result;
}

ZipResult ZipArchive::CopyEntryData(const ZipEntry& entry, platform::FileWriter& out) {
    unzFile uf = reader_->file;
    int opened = unzOpenCurrentFile3(uf, nullptr, nullptr, 0, nullptr);
    if (opened != UNZ_OK) {
        return OpenCodeOf(opened);
    }
    entryOpen_ = true;
    if (!buffer_) {
        buffer_ = std::make_unique<char[]>(kTransferBuffer);
    }
    // The reader never hands out more than the declared size, so a forged size can only
    // make the data end early, which fails below.
    std::uint64_t written = 0;
    for (;;) {
        int n = unzReadCurrentFile(uf, buffer_.get(), static_cast<unsigned>(kTransferBuffer));
        if (n < 0) {
            CloseEntry();
            return ZipResult::ReadFailed;
        }
        if (n == 0) {
            break;
        }
        if (!out.Write(buffer_.get(), static_cast<std::size_t>(n))) {
            CloseEntry();
            return ZipResult::WriteFailed;
        }
        written += static_cast<std::uint64_t>(n);
    }
    entryOpen_ = false;
    // Closing the entry checks its CRC-32.
    int closed = unzCloseCurrentFile(uf);
    return written == entry.uncompressedSize && closed == UNZ_OK ? ZipResult::Ok
                                                                 : ZipResult::ReadFailed;
}

ZipResult ZipArchive::CloseArchive() {
    if (!IsOpen()) {
        return ZipResult::BadArgument;
    }
    CloseEntry();
    reader_.reset();
    buffer_.reset();
    count_ = 0;
    position_ = -1;
    cachedIndex_ = -1;
    ensured_.clear();
    return ZipResult::Ok;
}

void ZipArchive::EnsureDirectory(const std::string& base, const std::string& directory) {
    std::error_code ec;
    if (!base.empty()) {
        std::filesystem::create_directory(FsPath(base), ec);
    }
    std::string dir = directory;
    std::replace(dir.begin(), dir.end(), '\\', platform::kSeparator);
    while (!dir.empty() && IsSeparator(dir.back())) {
        dir.pop_back();
    }
    if (dir.empty()) {
        return;
    }
    // Each level from the top down; existing ones are left as they are.
    for (std::size_t i = 1; i <= dir.size(); ++i) {
        if (i == dir.size() || (IsSeparator(dir[i]) && !IsSeparator(dir[i - 1]))) {
            std::filesystem::create_directory(FsPath(base + dir.substr(0, i)), ec);
        }
    }
}

std::string ZipArchive::CleanName(std::string name) {
    static const char* const kClimbs[] = {"\\..\\", "\\../", "/../", "/..\\"};
    for (;;) {
        if (HasDrivePrefix(name)) {
            name.erase(0, FirstCharLength(name) + 1);
            continue;
        }
        if (!name.empty() && IsSeparator(name[0])) {
            name.erase(0, 1);
            continue;
        }
        bool dropped = false;
        for (const char* climb : kClimbs) {
            auto at = name.find(climb);
            if (at != std::string::npos) {
                name.erase(0, at + 4);
                dropped = true;
                break;
            }
        }
        if (!dropped) {
            return name;
        }
    }
}

bool ZipArchive::EscapesBase(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    if (IsSeparator(name[0]) || HasDrivePrefix(name)) {
        return true;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) {
            end = name.size();
        }
        if (end - start == 2 && name.compare(start, 2, "..") == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string DescribeZipResult(ZipResult result) {
    const char* text = "unknown failure";
    switch (result) {
        case ZipResult::Ok:
            text = "done";
            break;
        case ZipResult::CannotOpen:
            text = "cannot open the archive or create an output file";
            break;
        case ZipResult::WriteFailed:
            text = "writing an output file failed";
            break;
        case ZipResult::BadLocalHeader:
            text = "local header disagrees with the central directory";
            break;
        case ZipResult::BadExtraField:
            text = "local extra field unreadable";
            break;
        case ZipResult::UnsafeEntry:
            text = "entry would leave the install directory or is a link";
            break;
        case ZipResult::PasswordMismatch:
            text = "encrypted entry";
            break;
        case ZipResult::BadArgument:
            text = "archive not open or no such entry";
            break;
        case ZipResult::AlreadyOpen:
            text = "archive already open";
            break;
        case ZipResult::ReadFailed:
            text = "entry data damaged (read, decode or CRC-32 failed)";
            break;
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X ", static_cast<unsigned>(result));
    return code + std::string(text);
}

}  // namespace install
