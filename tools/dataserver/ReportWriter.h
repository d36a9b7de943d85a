#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "Store.h"

namespace dataserver {

// Stores the reports of every connection in batches, one transaction each: while one batch
// is being written, the reports arriving meanwhile gather into the next (up to a bound),
// so a busy server writes many reports per commit and an idle one writes each at once.
// A report's `done` is called once its batch has been committed (true) or has failed
// (false), on the writer's thread; it must not block.
class ReportWriter {
  public:
    using Done = std::function<void(bool stored)>;
    using LogFn = std::function<void(const std::string&)>;

    ReportWriter(Store& store, LogFn log, std::size_t maxBatch = 500);
    // Closes first.
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // `done` may be empty when nobody waits for the report. After Close the report is not
    // stored and `done` is called with false at once.
    void Submit(Report report, Done done);
    // Stores every report submitted so far, then stops the writer.
    void Close();

  private:
    struct Pending {
        Report report;
        Done done;
    };

    void Run();

    Store& store_;
    LogFn log_;
    const std::size_t maxBatch_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Pending> queue_;
    bool closing_ = false;
    std::thread thread_;
};

}  // namespace dataserver
