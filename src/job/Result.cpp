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
        case Code::Cancelled:
            return "cancelled";
        case Code::StartFailed:
            return "start failed";
    }
    return "unknown";
}

std::string Result::Describe() const {
    std::string text = CodeName(code);
    if (!reason.empty()) {
        text += ": " + reason;
    }
    return text;
}

}  // namespace job
