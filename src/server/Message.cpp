#include "server/Message.h"

#include "server/Frame.h"

namespace server {

MessageLayout LayoutOf(Message message) {
    switch (message) {
        case Message::VersionCheck:
            return {false, 512};
        case Message::StartReport:
            return {true, 512};
        case Message::CatalogQuery:
            return {true, 102400};
        case Message::Feedback:
            return {true, 2048};
        case Message::RunReport:
            return {false, 512};
        case Message::RankingQuery:
            return {false, 512};
    }
    return {false, 512};
}

std::string BuildMessage(Message message, const std::string& mac, const std::string& ip,
                         const std::vector<std::string>& fields, std::size_t extraLength) {
    std::vector<std::string> body;
    body.reserve(fields.size() + 2);
    body.push_back(mac);
    body.push_back(ip);
    body.insert(body.end(), fields.begin(), fields.end());
    return BuildFrame(static_cast<char>(message), body, LayoutOf(message).trailingSeparator,
                      extraLength);
}

}  // namespace server
