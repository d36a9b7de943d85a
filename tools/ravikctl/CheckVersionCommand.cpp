// ravikctl check-version [--apply]: asks the data server for a newer version. Without
// --apply nothing is written and no updater is started.
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "Command.h"
#include "catalog/UserSettings.h"
#include "server/ClientConfig.h"
#include "server/UserPrompt.h"
#include "server/VersionCheck.h"

namespace {

// The questions go to the terminal: texts on stderr, the answer from stdin. No answer (the
// end of the input) is 以后再说.
class TerminalPrompt : public server::UserPrompt {
  public:
    server::UpdateAnswer AskUpdate(const std::string& text) override {
        std::cerr << text << " [y 升级 / s 跳过此版本 / N 以后再说] " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            std::cerr << "\n";
            return server::UpdateAnswer::Later;
        }
        const char first = answer.empty() ? 'n' : answer[0];
        if (first == 'y' || first == 'Y') {
            return server::UpdateAnswer::Update;
        }
        if (first == 's' || first == 'S') {
            return server::UpdateAnswer::SkipRelease;
        }
        return server::UpdateAnswer::Later;
    }
    void Tell(const std::string& text) override { std::cerr << text << std::endl; }
};

// The fetch of the new version on stderr, a line at every tenth of it, so that a pipe gets
// no more than a few lines either.
server::ArchiveFetcher FetcherWithProgressLines() {
    return server::HttpArchiveFetcher(
        nullptr, [shown = -2](const server::UpdateFetchProgress& p) mutable {
            const int step = p.perMille < 0 ? -1 : p.perMille / 100;
            if (p.done || step == shown) {
                return;
            }
            shown = step;
            if (step < 0) {
                std::cerr << "正在下载新版本" << std::endl;
            } else {
                std::cerr << "正在下载新版本 " << step * 10 << "%" << std::endl;
            }
        });
}

void Print(const server::VersionInfo& info) {
    nlohmann::json out = {{"newer", info.newer},
                          {"version", info.version},
                          {"sertime", info.sertime},
                          {"clientadd", info.clientadd}};
    std::cout << out.dump() << std::endl;
}

int CheckVersion(const CommandContext& context) {
    bool apply = false;
    for (const auto& arg : context.args) {
        if (arg != "--apply") {
            return Fail("check-version takes only --apply, got \"" + arg + "\"");
        }
        apply = true;
    }
    server::ServerClient client(
        server::LoadClientConfig(context.programDir, context.serverHost, context.serverPort));
    std::string noAnswer = "the data server " + client.Config().host + ":" +
                           std::to_string(client.Config().port) + " did not answer";
    TerminalPrompt prompt;
    if (!apply) {
        catalog::UserSettings settings(context.programDir);
        job::ResultOf<server::VersionInfo> info =
            server::QueryVersion(client, settings.SerTime(), settings.Version());
        if (!info.Ok()) {
            return Fail(noAnswer);
        }
        Print(info.Value());
        if (!info->newer) {
            prompt.Tell(server::kUpToDateText);
        }
        return 0;
    }
    const server::UpdateRoad road{server::RunningLauncherRoute(), FetcherWithProgressLines(),
                                  server::HiddenProgramStarter()};
    server::VersionCheckResult result = server::CheckVersion(
        client, context.programDir, server::VersionCheckMode::Manual, prompt, road);
    if (result.result.Is(job::Code::Network)) {
        return Fail(noAnswer);
    }
    Print(result.info);
    if (!result.result.Ok()) {
        return Fail(result.result.reason);
    }
    return 0;
}

const RegisterCommand registered(
    "check-version",
    "check-version [--apply]  ask for a newer version; --apply fetches it, writes update.ini "
    "and starts the updater (an installed ravikctl only says how to update)",
    CheckVersion);

}  // namespace
