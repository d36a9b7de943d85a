#include "install/HttpDownload.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "platform/FileWriter.h"
#include "platform/Files.h"

namespace install {

namespace {

// Downloads are written in pieces of this size: few system calls, little memory.
constexpr std::size_t kWriteBuffer = 256 * 1024;
// What libcurl reads from the socket at once.
constexpr long kReceiveBuffer = 256 * 1024;
// How often a cancel request is looked at during the pause before a retry.
constexpr std::chrono::milliseconds kCancelPoll{50};

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

bool IsHttpUrl(const std::string& url) {
    auto startsWith = [&url](const char* prefix) {
        std::size_t n = std::char_traits<char>::length(prefix);
        if (url.size() <= n) {
            return false;
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (std::tolower(static_cast<unsigned char>(url[i])) != prefix[i]) {
                return false;
            }
        }
        return true;
    };
    return startsWith("http://") || startsWith("https://");
}

constexpr std::string_view kTemporaryMark = ".part";
constexpr std::size_t kTemporaryDigits = 8;

std::string TemporaryPathBeside(const std::string& path) {
    std::random_device rd;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%08x", rd());
    return path + std::string(kTemporaryMark) + suffix;
}

// One attempt's view of the transfer, shared with libcurl's callbacks.
struct Attempt {
    CURL* curl = nullptr;
    platform::FileWriter* out = nullptr;
    const HttpDownload::ProgressFn* progress = nullptr;
    std::function<bool()> cancelled;
    int number = 0;
    std::uint64_t resumeFrom = 0;          // bytes already in the file when the attempt began
    std::uint64_t* resumedFrom = nullptr;  // the part of the file an earlier Run left
    std::uint64_t total = 0;               // expected size of the whole file; 0 while unknown
    bool started = false;                  // the final answer has been judged (BeginBody ran)
    bool rangeRefused = false;             // the server cannot give the part asked for
    long status = 0;
    bool httpFailed = false;
    bool writeFailed = false;
    bool wasCancelled = false;
    std::uint64_t sizeLimit = UINT64_MAX;
    bool tooLarge = false;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    bool timedOut = false;
    // Stall detection: when the received count last changed.
    std::chrono::seconds stall{30};
    curl_off_t lastReceived = 0;
    std::chrono::steady_clock::time_point lastArrival = std::chrono::steady_clock::now();
    bool stalled = false;
    std::int64_t rangeStart = -1;  // from Content-Range, -1 when absent
    std::int64_t rangeTotal = -1;

    void Report() const {
        if (*progress) {
            (*progress)(DownloadProgress{out->Written(), total, number, *resumedFrom});
        }
    }

    // Decides, at the first bytes of the body, where they go.
    bool BeginBody() {
        started = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (status == 206 &&
            (resumeFrom == 0 || rangeStart != static_cast<std::int64_t>(resumeFrom))) {
            // Not the part we asked for: take the whole file again.
            rangeRefused = resumeFrom > 0;
            httpFailed = resumeFrom == 0;
            return false;
        }
        if (status < 200 || status > 299) {
            rangeRefused = status == 416 && resumeFrom > 0;
            httpFailed = !rangeRefused;
            return false;
        }
        curl_off_t length = -1;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (status == 206) {
            total = rangeTotal >= 0 ? static_cast<std::uint64_t>(rangeTotal)
                    : length >= 0   ? resumeFrom + static_cast<std::uint64_t>(length)
                                    : 0;
            return Fits(total);
        }
        // A full answer, also when a range was asked for: the file starts again.
        if (out->Written() > 0 && !out->Truncate()) {
            writeFailed = true;
            return false;
        }
        resumeFrom = 0;
        *resumedFrom = 0;
        total = length >= 0 ? static_cast<std::uint64_t>(length) : 0;
        return Fits(total);
    }

    bool Fits(std::uint64_t size) {
        tooLarge = size > sizeLimit;
        return !tooLarge;
    }

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
        auto* a = static_cast<Attempt*>(self);
        std::size_t n = size * count;
        std::string line(data, n);
        if (line.rfind("HTTP/", 0) == 0) {
            // A new answer (after a redirect or an interim answer): forget the old range.
            a->rangeStart = -1;
            a->rangeTotal = -1;
        } else if (line.size() > 14 && curl_strnequal(line.c_str(), "content-range:", 14)) {
            long long first = -1, last = -1, whole = -1;
            if (std::sscanf(line.c_str() + 14, " bytes %lld-%lld/%lld", &first, &last, &whole) >=
                2) {
                a->rangeStart = first;
                a->rangeTotal = whole;
            }
        }
        return n;
    }

    static std::size_t OnData(char* data, std::size_t size, std::size_t count, void* self) {
        auto* a = static_cast<Attempt*>(self);
        std::size_t n = size * count;
        if (a->cancelled()) {
            a->wasCancelled = true;
            return 0;
        }
        if (!a->started && !a->BeginBody()) {
            return 0;
        }
        if (!a->Fits(a->out->Written() + n)) {
            return 0;
        }
        if (!a->out->Write(data, n)) {
            a->writeFailed = true;
            return 0;
        }
        a->Report();
        return n;
    }

    // libcurl calls this at least once a second, also while no data arrives.
    static int OnProgress(void* self, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
        auto* a = static_cast<Attempt*>(self);
        if (a->cancelled()) {
            a->wasCancelled = true;
            return 1;
        }
        auto now = std::chrono::steady_clock::now();
        if (a->deadline && now >= *a->deadline) {
            a->timedOut = true;
            return 1;
        }
        if (received != a->lastReceived) {
            a->lastReceived = received;
            a->lastArrival = now;
        } else if (now - a->lastArrival >= a->stall) {
            a->stalled = true;
            return 1;
        }
        return 0;
    }
};

}  // namespace

void EnsureCurlInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpDownload::HttpDownload(std::string url, std::string path)
    : url_(std::move(url)), path_(std::move(path)) {}

void HttpDownload::SetProgressCallback(ProgressFn fn) {
    progress_ = std::move(fn);
}
void HttpDownload::SetStallTimeout(std::chrono::seconds stall) {
    stall_ = std::max(stall, std::chrono::seconds(1));
}
void HttpDownload::SetLowSpeedLimit(std::uint32_t bytesPerSecond, std::chrono::seconds time) {
    lowSpeedBytes_ = bytesPerSecond;
    lowSpeedTime_ = std::max(time, std::chrono::seconds(1));
}
void HttpDownload::SetTimeLimit(std::chrono::seconds limit) {
    timeLimit_ = std::max(limit, std::chrono::seconds(0));
}
void HttpDownload::SetSizeLimit(std::uint64_t bytes) {
    sizeLimit_ = bytes;
}
void HttpDownload::SetConnectTimeout(std::chrono::seconds connect) {
    connect_ = std::max(connect, std::chrono::seconds(1));
}
void HttpDownload::SetRetries(int retries) {
    retries_ = std::max(retries, 0);
}
void HttpDownload::SetRetryPause(std::chrono::milliseconds pause) {
    retryPause_ = std::max(pause, std::chrono::milliseconds(0));
}
void HttpDownload::SetReplaceWhenComplete(bool replace) {
    replaceWhenComplete_ = replace;
}
void HttpDownload::SetResumable(bool resumable) {
    resumable_ = resumable;
}
std::string HttpDownload::PartialPath(const std::string& path) {
    return path + ".part";
}
bool HttpDownload::IsTemporaryName(std::string_view fileName) {
    const std::size_t tail = kTemporaryMark.size() + kTemporaryDigits;
    if (fileName.size() <= tail) {
        return false;
    }
    std::string_view end = fileName.substr(fileName.size() - tail);
    return end.substr(0, kTemporaryMark.size()) == kTemporaryMark &&
           end.find_first_not_of("0123456789abcdef", kTemporaryMark.size()) ==
               std::string_view::npos;
}
void HttpDownload::SetCancelFlag(const std::atomic<bool>* flag) {
    externalCancel_ = flag;
}
void HttpDownload::Cancel() {
    cancel_.store(true);
}

DownloadResult HttpDownload::Run() {
    DownloadResult result;
    auto cancelled = [this] {
        return cancel_.load() || (externalCancel_ != nullptr && externalCancel_->load());
    };
    auto fail = [&result](job::Code code, std::string reason) {
        result.result = job::Result::Failed(code, std::move(reason));
        return result;
    };
    if (!IsHttpUrl(url_)) {
        return fail(job::Code::BadData, "not an http or https address: \"" + url_ + "\"");
    }
    EnsureCurlInitialised();
    CurlHandle curl(curl_easy_init());
    if (!curl) {
        return fail(job::Code::Network, "cannot start a transfer");
    }

    const std::string target = resumable_             ? PartialPath(path_)
                               : replaceWhenComplete_ ? TemporaryPathBeside(path_)
                                                      : path_;
    auto writeFailed = [&result, &target](const platform::FileWriter& writer) {
        result.result = job::Result::CannotWrite("cannot write", target, writer.ErrorCode());
        return result;
    };
    platform::FileWriter out(kWriteBuffer);
    if (!(resumable_ ? out.Append(target) : out.Create(target))) {
        return writeFailed(out);
    }
    // A resumable download may find what an earlier Run left; the first attempt asks only for
    // the rest.
    std::uint64_t resumedFrom = out.Written();
    // In replace mode nothing of a failed download may stay behind.
    struct TemporaryCleanup {
        const std::string* path;
        platform::FileWriter* out;
        bool keep = false;
        ~TemporaryCleanup() {
            if (path != nullptr && !keep) {
                out->Close();
                std::error_code ec;
                std::filesystem::remove(std::filesystem::u8path(*path), ec);
            }
        }
    } cleanup{replaceWhenComplete_ ? &target : nullptr, &out};

    CURL* c = curl.get();
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Ravik_desk");
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connect_.count()));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(lowSpeedBytes_));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(lowSpeedTime_.count()));
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Attempt::OnHeader);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Attempt::OnData);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Attempt::OnProgress);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (timeLimit_.count() > 0) {
        deadline = std::chrono::steady_clock::now() + timeLimit_;
    }
    std::uint64_t total = 0;
    std::string range;
    for (;;) {
        Attempt a;
        a.curl = c;
        a.out = &out;
        a.progress = &progress_;
        a.cancelled = cancelled;
        a.number = result.retriesUsed;
        a.resumeFrom = out.Written();
        a.resumedFrom = &resumedFrom;
        a.total = total;
        a.stall = stall_;
        a.sizeLimit = sizeLimit_;
        a.deadline = deadline;
        errorText[0] = '\0';
        range = std::to_string(a.resumeFrom) + "-";
        curl_easy_setopt(c, CURLOPT_RANGE, a.resumeFrom > 0 ? range.c_str() : nullptr);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, &a);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &a);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &a);

        CURLcode code = curl_easy_perform(c);
        if (!a.started) {
            curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &a.status);
            if (code == CURLE_OK) {
                // An answer without a body: judge its status all the same.
                a.BeginBody();
            }
        }
        result.httpStatus = a.status;
        total = a.total;

        if (a.wasCancelled || cancelled()) {
            out.Close();
            result.bytes = out.Written();
            return fail(job::Code::Cancelled, "download cancelled");
        }
        if (a.writeFailed) {
            out.Close();
            return writeFailed(out);
        }
        if (a.tooLarge) {
            // More than may be kept: what arrived is of no use to a later try either.
            out.Close();
            std::error_code ec;
            std::filesystem::remove(std::filesystem::u8path(target), ec);
            result.result = job::Result::CannotWrite(
                "no room for more than " + std::to_string(sizeLimit_) + " bytes in", target,
                std::make_error_code(std::errc::no_space_on_device));
            return result;
        }
        if (a.rangeRefused) {
            // The server cannot resume this file: fetch it whole, without spending a retry.
            if (!out.Truncate()) {
                out.Close();
                return writeFailed(out);
            }
            total = 0;
            resumedFrom = 0;
            continue;
        }
        if (a.httpFailed) {
            out.Close();
            result.bytes = out.Written();
            return fail(job::Code::Network, "the server answered HTTP " + std::to_string(a.status));
        }
        if (code == CURLE_OK && (total == 0 || out.Written() == total)) {
            if (!out.Close()) {
                return writeFailed(out);
            }
            result.bytes = out.Written();
            if (target != path_) {
                if (std::error_code ec = platform::RenameOver(target, path_); ec) {
                    result.result =
                        job::Result::CannotWrite("cannot move the download to", path_, ec);
                    return result;
                }
                cleanup.keep = true;
            }
            result.resumedFrom = resumedFrom;
            result.result = job::Result::Done();
            return result;
        }
        if (code == CURLE_URL_MALFORMAT || code == CURLE_UNSUPPORTED_PROTOCOL) {
            out.Close();
            return fail(job::Code::BadData,
                        errorText[0] != '\0' ? errorText : curl_easy_strerror(code));
        }
        if (a.timedOut) {
            out.Close();
            result.bytes = out.Written();
            return fail(job::Code::Network,
                        "not complete after " + std::to_string(timeLimit_.count()) + " s");
        }
        std::string why = a.stalled ? "no data for " + std::to_string(stall_.count()) + " s"
                          : code == CURLE_OK     ? "the transfer ended early"
                          : errorText[0] != '\0' ? std::string(errorText)
                                                 : std::string(curl_easy_strerror(code));
        if (result.retriesUsed >= retries_ ||
            (deadline && std::chrono::steady_clock::now() + retryPause_ >= *deadline)) {
            out.Close();
            result.bytes = out.Written();
            return fail(job::Code::Network,
                        why + " (retried " + std::to_string(result.retriesUsed) + " times)");
        }
        ++result.retriesUsed;
        const auto resume = std::chrono::steady_clock::now() + retryPause_;
        for (;;) {
            if (cancelled()) {
                out.Close();
                result.bytes = out.Written();
                return fail(job::Code::Cancelled, "download cancelled");
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= resume) {
                break;
            }
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(kCancelPoll, resume - now));
        }
    }
}

}  // namespace install
