#pragma once

#include <string>

#include "job/Job.h"
#include "server/ClientConfig.h"
#include "server/ServerClient.h"
#include "server/UserPrompt.h"
#include "server/VersionCheck.h"

namespace server {

// The version check the user asked for ("检查更新"), as a job: CheckVersion in manual mode,
// so "up to date" is told too and a newer version is offered. Emits UpdaterStarted (from
// StartupJob.h) when the updater runs; its result is the check's.
class VersionCheckJob : public job::Job {
  public:
    VersionCheckJob(ClientConfig config, std::string programDir, UserPrompt& prompt,
                    ProgramStarter start = HiddenProgramStarter());

  private:
    job::Result Run() override;

    ServerClient client_;
    std::string programDir_;
    UserPrompt& prompt_;
    ProgramStarter start_;
};

}  // namespace server
