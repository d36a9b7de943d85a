#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "job/Log.h"
#include "platform/Files.h"

namespace job {

// How much of the log is kept on disk.
struct LogFileLimits {
    uint64_t maxBytes = 512 * 1024;
    int keep = 3;  // files kept, the current one included
};

// The log on disk, for support: a line costs the caller a queue push, and a thread of the
// log's own writes the lines, so a slow disk never holds the window or a download. The file
// is bounded: when it would grow past maxBytes it becomes "<path>.1" (older ones move up to
// "<path>.<keep-1>", the oldest goes) and a new file starts. A directory that cannot be
// written loses the lines; the program goes on as before.
class LogFile {
  public:
    using Limits = LogFileLimits;

    explicit LogFile(std::string path, Limits limits = {});
    // Writes what was queued, then ends the thread.
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // From any thread: "YYYY-MM-DD hh:mm:ss LEVEL text", one line per call (line breaks in
    // the text become spaces).
    void Write(Log::Level level, const std::string& text);
    // Returns once every line queued before the call is in the file.
    void Flush();

  private:
    void Run();
    void Append(const std::string& lines);
    void Rotate();

    const std::string path_;
    const Limits limits_;
    platform::FileHandle file_;
    uint64_t size_ = 0;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::deque<std::string> queue_;
    uint64_t queued_ = 0;  // lines ever queued
    uint64_t done_ = 0;    // lines ever handled (written or lost)
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace job
