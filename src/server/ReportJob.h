#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "catalog/ToolRecord.h"
#include "job/Job.h"
#include "server/ServerClient.h"

namespace server {

// One usage report to the data server, as a job: the run report of a tool or a feedback
// report. It owns its client (made from a copy of the configuration) and copies of what it
// reports, so it may outlive the window and the tile that asked for it. Its result is the
// report's (Network when the server did not answer).
class ReportJob : public job::Job {
  public:
    static std::unique_ptr<ReportJob> RunReport(const ClientConfig& config,
                                                catalog::ToolRecord tool,
                                                ClientIdentity identity = PlatformIdentity());
    static std::unique_ptr<ReportJob> Feedback(const ClientConfig& config, std::uint32_t gameId,
                                               std::uint32_t itemId, std::string reason,
                                               ClientIdentity identity = PlatformIdentity());

  private:
    using Send = std::function<job::Result(ServerClient&)>;
    ReportJob(const ClientConfig& config, ClientIdentity identity, Send send);
    job::Result Run() override;

    ServerClient client_;
    Send send_;
};

}  // namespace server
