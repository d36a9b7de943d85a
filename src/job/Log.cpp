#include "job/Log.h"

#include <memory>
#include <mutex>

namespace job {
namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

// Shared, so a line being written keeps its sink alive while another thread replaces it.
std::shared_ptr<const Log::Sink>& CurrentSink() {
    static std::shared_ptr<const Log::Sink> sink;
    return sink;
}

}  // namespace

void Log::SetSink(Sink sink) {
    auto next = sink ? std::make_shared<const Sink>(std::move(sink)) : nullptr;
    std::lock_guard lock(SinkMutex());
    CurrentSink() = std::move(next);
}

void Log::Write(Level level, const std::string& line) {
    std::shared_ptr<const Sink> sink;
    {
        std::lock_guard lock(SinkMutex());
        sink = CurrentSink();
    }
    if (sink) {
        (*sink)(level, line);
    }
}

const Result& Log::Failure(const std::string& what, const Result& result) {
    if (!result.Ok()) {
        Write(result.Is(Code::Cancelled) ? Level::Info : Level::Warning,
              what + ": " + result.Describe());
    }
    return result;
}

}  // namespace job
