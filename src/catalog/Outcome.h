#pragma once

#include <string>
#include <system_error>
#include <utility>

#include "job/Result.h"

namespace catalog {

// What a catalog or profile operation did. `NotFound` is the "0" result of the catalog
// operations (no such game or tool; nothing changed). `WriteFailed` means the lists in
// memory changed but a file could not be saved; the file on disk is still the previous one.
struct Outcome {
    enum Code { Done, NotFound, WriteFailed };

    Code code = Done;
    std::string reason;  // why, for NotFound and WriteFailed
    // For WriteFailed, where known: the file that kept its old contents and the system's error.
    std::string path;
    std::error_code error;

    static Outcome Ok() { return {}; }
    static Outcome Missing(std::string why) { return With(NotFound, std::move(why)); }
    static Outcome Failed(std::string why) { return With(WriteFailed, std::move(why)); }
    static Outcome CannotWrite(std::string why, std::string path, std::error_code error) {
        Outcome failed = Failed(std::move(why));
        failed.path = std::move(path);
        failed.error = error;
        return failed;
    }

    bool ok() const { return code == Done; }
    // The numeric result the catalog operations are known by: 0 for "no such item", else 1.
    int result() const { return code == NotFound ? 0 : 1; }
    // The same in the form every other part of the core reports in.
    job::Result ToResult() const {
        switch (code) {
            case Done:
                return job::Result::Done();
            case NotFound:
                return job::Result::Failed(job::Code::NotFound, reason);
            case WriteFailed:
                break;
        }
        job::Result failed = job::Result::Failed(job::Code::WriteFailed, reason);
        failed.path = path;
        failed.error = error;
        return failed;
    }

  private:
    static Outcome With(Code code, std::string why) {
        Outcome outcome;
        outcome.code = code;
        outcome.reason = std::move(why);
        return outcome;
    }
};

}  // namespace catalog
