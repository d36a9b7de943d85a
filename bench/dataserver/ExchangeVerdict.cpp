#include "ExchangeVerdict.h"

#include <boost/asio/error.hpp>

#include "server/Frame.h"

namespace bench {

bool IsCompleteReply(std::string_view received) {
    const auto zero = received.find('\0');
    return !received.empty() && received.front() == server::kStartMark &&
           zero != std::string_view::npos && zero > 0 && received[zero - 1] == server::kEndMark;
}

ExchangeVerdict JudgeExchange(const ExchangeEnd& end) {
    if (IsCompleteReply(end.received)) {
        return {Outcome::Reply, {}};
    }
    if (end.timedOut) {
        return {Outcome::Error, end.received.empty() ? "timed out" : "timed out within a reply"};
    }
    if (!end.received.empty()) {
        return {Outcome::Error,
                end.error ? "reply cut: " + end.error.message() : "malformed reply"};
    }
    namespace error = boost::asio::error;
    if (!end.error || end.error == error::eof || end.error == error::connection_refused ||
        end.error == error::connection_reset || end.error == error::broken_pipe) {
        return {Outcome::Refused, end.error ? end.error.message() : "closed"};
    }
    return {Outcome::Error, end.error.message()};
}

}  // namespace bench
