// ravikctl report-start: sends the start report as the launcher does at start-up.
#include "Command.h"
#include "server/ClientConfig.h"
#include "server/Reports.h"

namespace {

int ReportStart(const CommandContext& context) {
    if (!context.args.empty()) {
        return Fail("report-start takes no arguments");
    }
    server::ServerClient client(
        server::LoadClientConfig(context.programDir, context.serverHost, context.serverPort));
    if (!server::SendStartReport(client, context.programDir).Ok()) {
        return Fail("the data server " + client.Config().host + ":" +
                    std::to_string(client.Config().port) + " did not answer the start report");
    }
    return 0;
}

const RegisterCommand registered("report-start", "report-start         send the start report",
                                 ReportStart);

}  // namespace
