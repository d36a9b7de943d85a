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
    const UpdateRoad road{
        route_,
        HttpArchiveFetcher(CancelFlag(), [this](const UpdateFetchProgress& p) { Progress(p); }),
        start_};
    const VersionCheckResult check =
        CheckVersion(client_, programDir_, VersionCheckMode::Manual, prompt_, road);
    if (check.result.Is(job::Code::Network) && !Cancelled()) {
        // The user asked and waits for an answer: without a word, a failed check would look
        // like one that found nothing.
        prompt_.Tell(kCannotReachServerText);
    }
    if (check.action == VersionAction::UpdaterStarted) {
        Emit(UpdaterStarted{});
    }
    return check.result;
}

}  // namespace server
