#pragma once

#include <boost/system/error_code.hpp>
#include <string>
#include <string_view>

namespace bench {

// How one exchange with the data server ended, from the load generator's side.
enum class Outcome {
    Reply,    // a complete reply arrived
    Refused,  // the server would not take the request: refused, reset or closed unanswered
    Error,    // anything else: a time-out, a cut or malformed reply, a local failure
};

// What the generator saw of one exchange: the error that ended it (none when the server
// closed after its reply), whether the exchange's time ran out, and the bytes received.
struct ExchangeEnd {
    boost::system::error_code error;
    bool timedOut = false;
    std::string_view received;
};

struct ExchangeVerdict {
    Outcome outcome = Outcome::Error;
    std::string why;  // for refusals and errors: what happened, to tally by kind
};

// A complete reply counts whatever ended the connection after it (a reset after the last
// byte loses nothing). Nothing received counts as a refusal when the server refused the
// connection, reset it or closed it; any other end, and any partial reply, is an error.
ExchangeVerdict JudgeExchange(const ExchangeEnd& end);

// A complete reply: it opens like a frame ("^") and its frame ends in "~" and a zero byte.
bool IsCompleteReply(std::string_view received);

}  // namespace bench
