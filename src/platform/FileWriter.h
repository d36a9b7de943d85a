#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

namespace platform {

// One output file being written: created anew (an existing file is replaced), written
// sequentially, closed by the destructor. Paths are UTF-8. With a buffer size above 0 small writes
// are gathered into writes of that size; with 0 every Write goes to the file as it comes.
class FileWriter {
  public:
    explicit FileWriter(std::size_t bufferSize = 0);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Creates `path` for writing. `executable` asks for execute permission where the platform
    // has one. An existing file is replaced, unless it is read-only (refused, as Windows
    // refuses it, even for an administrator) or a symbolic link (refused, so a link left in
    // place can never redirect the data elsewhere).
    bool Create(const std::string& path, bool executable = false);
    // Opens `path` to write on at its end, creating it when missing, so that an interrupted
    // download can be taken up again; Written() starts at the size it already has. Refused
    // for a read-only file or a symbolic link, as Create refuses them.
    bool Append(const std::string& path);
    bool Write(const void* data, std::size_t size);
    // Drops everything written so far; the next Write starts at the beginning of the file.
    bool Truncate();
    // File times in 100 ns units since 1601-01-01 UTC; 0 leaves that time alone.
    bool SetTimes(std::uint64_t creation, std::uint64_t access, std::uint64_t write);
    // Clears every write permission (the read-only attribute on Windows).
    bool MakeReadOnly();
    // Writes what is buffered and closes; false when that or an earlier write failed.
    bool Close();

    bool IsOpen() const;
    // Bytes in the file: those handed to Write since Create or Truncate, after Append also
    // those it found.
    std::uint64_t Written() const { return written_; }
    // Why the last failing call failed: a line for the log, and the system's error.
    const std::string& Error() const { return error_; }
    const std::error_code& ErrorCode() const { return errorCode_; }

  private:
    bool Flush();
    // The calls in which the systems differ (FileWriter_win.cpp, FileWriter_posix.cpp).
    bool WriteAll(const char* data, std::size_t size);
    bool CloseFile();
    bool Fail(const std::string& what);
    bool Refuse(const std::string& why, std::errc error);
    // What Create and Append share before they open `path`: the writer starts afresh, and a
    // link or a read-only file is refused. `exists` tells whether a plain file is there.
    bool Prepare(const std::string& path, bool& exists);
    void Reset(const std::string& path);
    void Opened(std::intptr_t file);

    // The open file: a descriptor, or a Windows handle; kClosed when there is none.
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t file_ = kClosed;
    std::string path_;
    std::unique_ptr<char[]> buffer_;
    std::size_t bufferSize_ = 0;
    std::size_t buffered_ = 0;
    std::uint64_t written_ = 0;
    std::string error_;
    std::error_code errorCode_;
};

}  // namespace platform
