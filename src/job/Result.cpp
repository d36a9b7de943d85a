#include "job/Result.h"

namespace job {

const char* CodeName(Code code) {
    switch (code) {
        case Code::Ok:
            return "ok";
        case Code::NotFound:
            return "not found";
        case Code::WriteFailed:
            return "write failed";
        case Code::Network:
            return "network";
        case Code::BadData:
            return "bad data";
        case Code::Refused:
            return "refused";
        case Code::Cancelled:
            return "cancelled";
        case Code::StartFailed:
            return "start failed";
        case Code::Untrusted:
            return "untrusted";
    }
    return "unknown";
}

Result Result::CannotWrite(const std::string& what, std::string path, std::error_code error) {
    std::string reason = what + " " + path;
    if (error) {
        reason += ": " + error.message();
    }
    Result failed = Failed(Code::WriteFailed, std::move(reason));
    failed.path = std::move(path);
    failed.error = error;
    return failed;
}

std::string Result::Describe() const {
    std::string text = CodeName(code);
    if (!reason.empty()) {
        text += ": " + reason;
    }
    return text;
}

}  // namespace job
