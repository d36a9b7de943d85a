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
// end of the input) is Cancel.
class TerminalPrompt : public server::UserPrompt {
  public:
    bool Confirm(const std::string& text) override {
        std::cerr << text << " [y/N] " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            std::cerr << "\n";
            return false;
        }
        return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
    }
    void Tell(const std::string& text) override { std::cerr << text << std::endl; }
};

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
    server::VersionCheckResult result =
        server::CheckVersion(client, context.programDir, server::VersionCheckMode::Manual, prompt);
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
    "check-version [--apply]  ask for a newer version; --apply writes update.ini and starts "
    "the updater",
    CheckVersion);

}  // namespace
