#include "server/Reports.h"

#include "catalog/UserSettings.h"
#include "job/Log.h"
#include "server/Frame.h"

namespace server {
namespace {

job::Result Failed(const Connection& connection) {
    return job::Result::Failed(job::Code::Network, connection.Error());
}

job::Result Answered(const Reply& reply, const char* what) {
    if (reply.Answered()) {
        return job::Result::Done();
    }
    return job::Result::Failed(job::Code::Network,
                               std::string("the data server did not answer the ") + what);
}

}  // namespace

job::Result SendStartReport(ServerClient& client, const std::string& programDir) {
    Connection connection = client.Connect();
    if (!connection.Connected()) {
        return Failed(connection);
    }
    std::string time = FormatReportTime();
    catalog::UserSettings settings(programDir);
    const bool first = settings.IsFirstStart();
    if (first) {
        // The flag is only bookkeeping for the report: a failed write sends "0" again next
        // time, which the server takes as one more first start.
        job::Log::Failure("recording the first start", settings.MarkStarted().ToResult());
    }
    return Answered(connection.Request(Message::StartReport, {time, first ? "0" : "1"}),
                    "start report");
}

job::Result SendRunReport(ServerClient& client, const catalog::ToolRecord& tool) {
    Connection connection = client.Connect();
    if (!connection.Connected()) {
        return Failed(connection);
    }
    return Answered(connection.Request(Message::RunReport,
                                       {std::to_string(tool.id), std::to_string(tool.gameId),
                                        std::to_string(tool.type), FormatReportTime()}),
                    "run report");
}

job::Result SendFeedback(ServerClient& client, uint32_t gameId, uint32_t itemId,
                         const std::string& reason) {
    if (reason.empty()) {
        return job::Result::Failed(job::Code::BadData, "no reason to send");
    }
    Connection connection = client.Connect();
    if (!connection.Connected()) {
        return Failed(connection);
    }
    return Answered(connection.Request(Message::Feedback,
                                       {FormatReportTime(), std::to_string(gameId),
                                        std::to_string(itemId), reason},
                                       Utf16Length(reason)),
                    "feedback report");
}

}  // namespace server
