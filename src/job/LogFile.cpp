#include "job/LogFile.h"

#include <algorithm>
#include <ctime>

#include "platform/LocalTime.h"

namespace job {
namespace {

const char* LevelName(Log::Level level) {
    switch (level) {
        case Log::Level::Debug:
            return "DEBUG";
        case Log::Level::Info:
            return "INFO";
        case Log::Level::Warning:
            return "WARN";
        case Log::Level::Error:
            break;
    }
    return "ERROR";
}

std::string Numbered(const std::string& path, int n) {
    return n == 0 ? path : path + "." + std::to_string(n);
}

}  // namespace

LogFile::LogFile(std::string path, Limits limits)
    : path_(std::move(path)), limits_(limits), thread_([this] { Run(); }) {}

LogFile::~LogFile() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void LogFile::Write(Log::Level level, const std::string& text) {
    const std::tm now = platform::LocalTime(std::time(nullptr));
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &now);
    std::string line = stamp;
    line += LevelName(level);
    line += ' ';
    line += text;
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    line += '\n';
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(line));
        ++queued_;
    }
    wake_.notify_one();
}

void LogFile::Flush() {
    std::unique_lock lock(mutex_);
    const uint64_t target = queued_;
    written_.wait(lock, [&] { return done_ >= target; });
}

void LogFile::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;  // stopping, and everything is written
        }
        std::string batch;
        std::size_t lines = 0;
        while (!queue_.empty()) {
            batch += queue_.front();
            queue_.pop_front();
            ++lines;
        }
        lock.unlock();
        Append(batch);
        lock.lock();
        done_ += lines;
        written_.notify_all();
    }
}

void LogFile::Append(const std::string& lines) {
    if (!file_) {
        file_ = platform::OpenFile(path_, "ab");
        if (!file_) {
            return;
        }
        size_ = platform::StatusOf(file_.get()).version.size;
    }
    if (size_ > 0 && size_ + lines.size() > limits_.maxBytes) {
        Rotate();
        if (!file_) {
            return;
        }
    }
    size_ += std::fwrite(lines.data(), 1, lines.size(), file_.get());
    // Flushed at each batch: a crash right after a failure must not lose the line that says
    // why.
    std::fflush(file_.get());
}

void LogFile::Rotate() {
    file_.reset();
    for (int n = limits_.keep - 1; n > 0; --n) {
        static_cast<void>(platform::RenameOver(Numbered(path_, n - 1), Numbered(path_, n)));
    }
    // "wb" empties the file when it was not moved away (keep 1).
    file_ = platform::OpenFile(path_, "wb");
    size_ = 0;
}

}  // namespace job
