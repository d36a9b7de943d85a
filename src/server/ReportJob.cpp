#include "server/ReportJob.h"

#include "server/Reports.h"

namespace server {

ReportJob::ReportJob(const ClientConfig& config, ClientIdentity identity, Send send)
    : client_(config, std::move(identity)), send_(std::move(send)) {
    client_.SetCancelFlag(CancelFlag());
}

std::unique_ptr<ReportJob> ReportJob::RunReport(const ClientConfig& config,
                                                catalog::ToolRecord tool, ClientIdentity identity) {
    return std::unique_ptr<ReportJob>(new ReportJob(
        config, std::move(identity),
        [tool = std::move(tool)](ServerClient& client) { return SendRunReport(client, tool); }));
}

std::unique_ptr<ReportJob> ReportJob::Feedback(const ClientConfig& config, std::uint32_t gameId,
                                               std::uint32_t itemId, std::string reason,
                                               ClientIdentity identity) {
    return std::unique_ptr<ReportJob>(
        new ReportJob(config, std::move(identity),
                      [gameId, itemId, reason = std::move(reason)](ServerClient& client) {
                          return SendFeedback(client, gameId, itemId, reason);
                      }));
}

job::Result ReportJob::Run() {
    return send_(client_);
}

}  // namespace server
