#include "server/Reports.h"

#include "catalog/UserSettings.h"
#include "server/Frame.h"

namespace server {

bool SendStartReport(ServerClient& client, const std::string& programDir) {
    Connection connection = client.Connect();
    if (!connection.Connected()) {
        return false;
    }
    std::string time = FormatReportTime();
    catalog::UserSettings settings(programDir);
    const bool first = settings.IsFirstStart();
    if (first) {
        settings.MarkStarted();
    }
    return connection.Request(Message::StartReport, {time, first ? "0" : "1"}).Answered();
}

bool SendRunReport(const ClientConfig& config, catalog::ToolRecord tool, ClientIdentity identity) {
    ServerClient client(config, std::move(identity));
    Connection connection = client.Connect();
    if (!connection.Connected()) {
        return false;
    }
    return connection
        .Request(Message::RunReport, {std::to_string(tool.id), std::to_string(tool.gameId),
                                      std::to_string(tool.type), FormatReportTime()})
        .Answered();
}

bool SendFeedback(ServerClient& client, uint32_t gameId, uint32_t itemId,
                  const std::string& reason) {
    if (reason.empty()) {
        return false;
    }
    Connection connection = client.Connect();
    if (!connection.Connected()) {
        return false;
    }
    return connection
        .Request(Message::Feedback,
                 {FormatReportTime(), std::to_string(gameId), std::to_string(itemId), reason},
                 Utf16Length(reason))
        .Answered();
}

}  // namespace server
