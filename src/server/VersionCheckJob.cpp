#include "server/VersionCheckJob.h"

#include "server/StartupJob.h"

namespace server {

VersionCheckJob::VersionCheckJob(ClientConfig config, std::string programDir, UserPrompt& prompt,
                                 ProgramStarter start)
    : client_(std::move(config)),
      programDir_(std::move(programDir)),
      prompt_(prompt),
      start_(std::move(start)) {
    client_.SetCancelFlag(CancelFlag());
}

job::Result VersionCheckJob::Run() {
    const VersionCheckResult check =
        CheckVersion(client_, programDir_, VersionCheckMode::Manual, prompt_, start_);
    if (check.action == VersionAction::UpdaterStarted) {
        Emit(UpdaterStarted{});
    }
    return check.result;
}

}  // namespace server
