#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "job/Result.h"

namespace install {

// How a download ended. Only an ok `result` means the file at the destination is complete.
// Failures: BadData (empty URL, or a scheme other than http/https), Network (the server
// answered with a status other than 2xx, whose body is not kept; or the connection failed,
// broke off, or made no progress for the stall time, and the retries did not help),
// Cancelled (Cancel() or the shared cancel flag), WriteFailed (the destination could not be
// created or written; the result names the file and the system's error).
struct DownloadResult {
    job::Result result = job::Result::Failed(job::Code::Network, "not run");
    long httpStatus = 0;      // last HTTP status seen, 0 when none arrived
    std::uint64_t bytes = 0;  // bytes in the destination file (after a failure: what is kept)
    int retriesUsed = 0;      // how many times a broken transfer was taken up again
    // Resumable downloads: the bytes an earlier, broken-off Run had left that this one
    // continued; 0 when it started from nothing or the server sent the whole file again.
    std::uint64_t resumedFrom = 0;

    bool Ok() const { return result.Ok(); }
};

// Progress of the running download, reported from the downloading thread.
struct DownloadProgress {
    std::uint64_t received = 0;     // bytes in the destination so far, resumed part included
    std::uint64_t total = 0;        // expected size; 0 while unknown
    int attempt = 0;                // 0 for the first try, 1.. for the retries
    std::uint64_t resumedFrom = 0;  // the part of `received` an earlier Run had left
};

// Downloads one http(s) URL into a file. The transfer is blocking and runs on the calling
// thread; Cancel() and the shared cancel flag stop it from any other thread within about a
// second (checked between received chunks and while waiting for data).
//
// A transfer that receives nothing for the stall time, or less than the low-speed rate over
// the low-speed time (a server that trickles a byte a second), counts as broken. A broken
// transfer is
// taken up again up to the retry count, resuming with a range request when the server
// supports it (else from the start). HTTP statuses other than 2xx fail at once.
//
// By default the data goes straight into `path` and a failed or cancelled download leaves
// what has arrived. With SetReplaceWhenComplete(true) the data goes to a temporary file
// beside `path` that is renamed over it only when complete, so an existing file is kept
// whole when the download fails. With SetResumable(true) the data goes to PartialPath(path),
// which stays when the download fails or is cancelled; the next Run takes it up with a range
// request (the whole file again when the server answers with all of it or cannot give the
// part asked for), and it is renamed over `path` when complete.
class HttpDownload {
  public:
    using ProgressFn = std::function<void(const DownloadProgress&)>;

    HttpDownload(std::string url, std::string path);
    HttpDownload(const HttpDownload&) = delete;
    HttpDownload& operator=(const HttpDownload&) = delete;

    void SetProgressCallback(ProgressFn fn);
    // Default 30 s; whole seconds, at least 1.
    void SetStallTimeout(std::chrono::seconds stall);
    // Default below 1024 bytes a second for 30 s; whole seconds, at least 1.
    void SetLowSpeedLimit(std::uint32_t bytesPerSecond, std::chrono::seconds time);
    // The most the whole Run may take, retries included; it then fails with Network and is
    // not retried. Default none (0).
    void SetTimeLimit(std::chrono::seconds limit);
    // The most bytes the file may have. An answer announcing more is refused before any of it
    // is written, and a body that grows beyond it (an endless answer without a length) is cut;
    // both fail with WriteFailed (no space on the device) and remove what arrived, also in
    // resumable mode. Default none.
    void SetSizeLimit(std::uint64_t bytes);
    // Default 15 s for reaching the server.
    void SetConnectTimeout(std::chrono::seconds connect);
    // Default 2 retries of a broken transfer.
    void SetRetries(int retries);
    // Default 1 s between a broken transfer and its retry, so a brief network hiccup can
    // pass; a cancel request also ends the pause.
    void SetRetryPause(std::chrono::milliseconds pause);
    void SetReplaceWhenComplete(bool replace);
    void SetResumable(bool resumable);
    // A flag owned by the caller (for example a task that runs several downloads); setting it
    // cancels like Cancel(). Must outlive Run().
    void SetCancelFlag(const std::atomic<bool>* flag);

    DownloadResult Run();
    // Safe from any thread, also before Run().
    void Cancel();

    // Where a resumable download of `path` keeps what has arrived: `path` + ".part".
    static std::string PartialPath(const std::string& path);
    // True for the name of the temporary file of SetReplaceWhenComplete: the file's name +
    // ".part" + 8 hexadecimal digits.
    static bool IsTemporaryName(std::string_view fileName);

  private:
    std::string url_;
    std::string path_;
    ProgressFn progress_;
    std::chrono::seconds stall_{30};
    std::chrono::seconds connect_{15};
    std::uint32_t lowSpeedBytes_ = 1024;
    std::chrono::seconds lowSpeedTime_{30};
    std::chrono::seconds timeLimit_{0};
    std::uint64_t sizeLimit_ = UINT64_MAX;
    int retries_ = 2;
    std::chrono::milliseconds retryPause_{1000};
    bool replaceWhenComplete_ = false;
    bool resumable_ = false;
    const std::atomic<bool>* externalCancel_ = nullptr;
    std::atomic<bool> cancel_{false};
};

// Initialises libcurl for the process once, from whichever thread comes first. Every
// HttpDownload calls it; call it early yourself when other threads may use libcurl directly.
void EnsureCurlInitialised();

}  // namespace install
