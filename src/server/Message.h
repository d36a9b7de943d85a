#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace server {

// The six requests the launcher sends. The value is the code that opens the frame.
enum class Message : char {
    VersionCheck = '1',
    StartReport = '2',
    CatalogQuery = '3',
    Feedback = '4',
    RunReport = '8',
    RankingQuery = '9',
};

// How a message is framed and how much of its reply is read.
struct MessageLayout {
    bool trailingSeparator;
    std::size_t receiveLimit;  // bytes
};

MessageLayout LayoutOf(Message message);

// The request frame of `message`: the client's MAC and IP texts, then `fields`, with the
// message's trailing separator. `extraLength` is added to the length field (the feedback
// reason's character count; 0 for the others).
std::string BuildMessage(Message message, const std::string& mac, const std::string& ip,
                         const std::vector<std::string>& fields, std::size_t extraLength = 0);

}  // namespace server
