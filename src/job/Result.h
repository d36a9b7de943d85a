#pragma once

#include <string>
#include <system_error>
#include <utility>

namespace job {

// The kinds of failure callers tell apart. Everything else about a failure is in the reason.
enum class Code {
    Ok,
    NotFound,     // no such item, archive or file; nothing changed
    WriteFailed,  // a file could not be written; what was on disk before is still there
    Network,      // the server could not be reached, did not answer, or the transfer failed
    BadData,      // what arrived or was given cannot be used (not an archive, a bad address)
    Refused,      // what arrived is intact but is not taken (an archive entry that would
                  // leave its folder, an encrypted entry)
    Cancelled,    // stopped on request
    StartFailed,  // a program could not be started
    Untrusted,    // an update or tool archive without a valid signature of a trusted
                  // publisher; nothing of it was installed
};

// The short English name of a code, for log lines ("network").
const char* CodeName(Code code);

// What an operation did: ok, or the kind of failure and one line of why (UTF-8, for people
// and for the log). Marked [[nodiscard]] so that a failure is never dropped unseen.
struct [[nodiscard]] Result {
    Code code = Code::Ok;
    std::string reason;
    // For a failure that concerns one file or folder: its path and the system's error, so
    // that a front end can name both in its own words. Empty where there is none.
    std::string path;
    std::error_code error;

    static Result Done() { return {}; }
    static Result Failed(Code code, std::string reason) {
        Result failed;
        failed.code = code;
        failed.reason = std::move(reason);
        return failed;
    }
    // WriteFailed for `path`; the reason is `what`, the path and the system's message.
    static Result CannotWrite(const std::string& what, std::string path, std::error_code error);

    bool Ok() const { return code == Code::Ok; }
    bool Is(Code c) const { return code == c; }
    // "network: the server did not answer"; "ok" for success.
    std::string Describe() const;
};

}  // namespace job
