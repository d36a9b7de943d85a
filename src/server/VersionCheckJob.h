#pragma once

#include <string>

#include "job/Job.h"
#include "server/ClientConfig.h"
#include "server/ServerClient.h"
#include "server/UserPrompt.h"
#include "server/VersionCheck.h"

namespace server {

// The version check the user asked for ("检查更新"), as a job: CheckVersion in manual mode,
// so "up to date" is told too, a newer version is offered (also one skipped at start-up), and
// a server that cannot be reached is told as well. Its progress is the fetch of an accepted
// update (UpdateFetchProgress). Emits UpdaterStarted (from StartupJob.h) when the updater
// runs; its result is the check's.
class VersionCheckJob : public job::Job {
  public:
    VersionCheckJob(ClientConfig config, std::string programDir, UserPrompt& prompt,
                    ProgramStarter start = HiddenProgramStarter());

    // How an update reaches this launcher; Updater unless set before Start.
    void SetUpdateRoute(UpdateRoute route) { route_ = route; }

  private:
    job::Result Run() override;

    ServerClient client_;
    std::string programDir_;
    UserPrompt& prompt_;
    ProgramStarter start_;
    UpdateRoute route_ = UpdateRoute::Updater;
};

}  // namespace server
