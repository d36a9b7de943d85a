#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "catalog/ToolRecord.h"
#include "install/DownloadInstallJob.h"
#include "job/Result.h"

namespace install {

// Downloads a tool's archive to ToolDownload/<id>.zip below the program directory, extracts
// it into LocalGameTool/<id>, reports the tool as installed and starts its program.
//
// Start() runs the work on a thread of its own; Run() runs it on the calling thread. The
// listener's calls come from that thread, in this order: OnInstalled (only when the archive
// was extracted completely), OnStartResult (only after OnInstalled), OnFinished (always, last).
// Counters() may be polled from any thread at any time; after a failure their phase is the
// step that failed (Downloading or Installing), after success Done.
//
// The result is ok when the tool was installed, whether or not its program then started;
// otherwise it carries the download's or the install's failure, or Cancelled.
//
// Cancel() stops the work cooperatively, between received chunks or between archive entries;
// what was written so far stays on disk. The destructor cancels and waits for the thread.
class DownloadInstallTask {
  public:
    class Listener {
      public:
        virtual ~Listener() = default;
        // The archive was extracted completely: the tool is installed and the catalogs should
        // record it (Catalog::MarkInstalled).
        virtual void OnInstalled(const catalog::ToolRecord& /*tool*/) {}
        // The program start was attempted; false means it could not be started (the front end
        // tells the user "程序无法运行，请检查文件是否完整").
        virtual void OnStartResult(bool /*started*/) {}
        virtual void OnFinished(const job::Result& /*result*/) {}
    };

    // `programDir` ends with a separator. `listener` may be null and must outlive the task.
    DownloadInstallTask(std::string programDir, catalog::ToolRecord tool, Listener* listener);
    ~DownloadInstallTask();
    DownloadInstallTask(const DownloadInstallTask&) = delete;
    DownloadInstallTask& operator=(const DownloadInstallTask&) = delete;

    // Settings; change them before Start or Run.
    void SetStartProgram(bool start) { startProgram_ = start; }
    void SetStallTimeout(std::chrono::seconds stall) { stall_ = stall; }
    void SetRetries(int retries) { retries_ = retries; }
    void SetRetryPause(std::chrono::milliseconds pause) { retryPause_ = pause; }

    // Starts the worker thread; later calls do nothing. Never destroy the task from inside a
    // listener call: the destructor waits for the thread that makes it.
    void Start();
    job::Result Run();
    void Cancel();
    // Waits for the worker thread started by Start.
    void Wait();
    // True from Start until the listener's OnFinished has returned.
    bool IsRunning() const { return running_.load(); }

    DownloadCounters Counters() const;
    // "正在下载：   " followed by the tool's title.
    const std::string& TitleLine() const { return titleLine_; }
    const catalog::ToolRecord& Tool() const { return tool_; }
    std::string ArchivePath() const;
    std::string InstallDirectory() const;

  private:
    job::Result Work();
    void Finish(const job::Result& result);

    const std::string programDir_;
    const catalog::ToolRecord tool_;
    const std::string titleLine_;
    Listener* const listener_;
    bool startProgram_ = true;
    std::chrono::seconds stall_{30};
    int retries_ = 2;
    std::chrono::milliseconds retryPause_{1000};

    std::atomic<bool> cancel_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> started_{false};
    std::atomic<std::uint32_t> perMille_{0};
    std::atomic<std::uint32_t> totalKB_{0};
    std::atomic<std::uint32_t> receivedKB_{0};
    std::atomic<std::uint32_t> speedKBps_{0};
    std::atomic<int> retriesSeen_{0};
    std::atomic<int> phase_{0};

    std::mutex threadMutex_;
    std::thread thread_;
};

}  // namespace install
