#include "ReportWriter.h"

#include <vector>

namespace dataserver {

ReportWriter::ReportWriter(Store& store, LogFn log, std::size_t maxBatch)
    : store_(store), log_(std::move(log)), maxBatch_(maxBatch > 0 ? maxBatch : 1) {
    thread_ = std::thread([this] { Run(); });
}

ReportWriter::~ReportWriter() {
    Close();
}

void ReportWriter::Submit(Report report, Done done) {
    {
        std::lock_guard lock(mutex_);
        if (!closing_) {
            queue_.push_back({std::move(report), std::move(done)});
            ready_.notify_one();
            return;
        }
    }
    log_("a " + report.kind + " report from " + report.peer + " came after the report writer " +
         "stopped; not stored");
    if (done) {
        done(false);
    }
}

void ReportWriter::Close() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    ready_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ReportWriter::Run() {
    for (;;) {
        std::vector<Pending> batch;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            while (!queue_.empty() && batch.size() < maxBatch_) {
                batch.push_back(std::move(queue_.front()));
                queue_.pop_front();
            }
        }
        std::vector<Report> reports;
        reports.reserve(batch.size());
        for (const Pending& pending : batch) {
            reports.push_back(pending.report);
        }
        bool stored = true;
        try {
            store_.StoreReports(reports);
        } catch (const std::exception& e) {
            stored = false;
            log_("cannot store a batch of " + std::to_string(reports.size()) +
                 " reports; none of them is acknowledged: " + e.what());
        }
        for (Pending& pending : batch) {
            if (pending.done) {
                pending.done(stored);
            }
        }
    }
}

}  // namespace dataserver
