// Start, run and feedback reports arriving in ravik-dataserver's database.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Programs.h"
#include "StoredReports.h"
#include "platform/HostIdentity.h"
#include "server/ReportJob.h"
#include "server/Reports.h"

namespace {

TEST(ReportsRoad, ReportsArriveWithTheirFields) {
    TempDir data;
    TempDir program;
    DataServerProcess server(data / "data.db", "");
    for (int i = 0; i < 2; ++i) {
        ProgramRun run = RunProgram({RAVIKCTL_PATH, "--data-dir", program.dir(), "--server",
                                     server.Address(), "report-start"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    server::ClientConfig config;
    config.port = server.Port();
    catalog::ToolRecord tool;
    tool.id = 30301;
    tool.gameId = 101;
    tool.type = 192;
    EXPECT_TRUE(server::ReportJob::RunReport(config, tool)->Start(nullptr).Ok());
    server::ServerClient client(config);
    EXPECT_TRUE(server::SendFeedback(client, 0, 20301, "无法运行，需要更新，杀软报毒").Ok());

    auto rows = StoredReports(data / "data.db");
    ASSERT_EQ(rows.size(), 4u);
    const std::string mac = platform::MacAddressText();
    const std::string ip = platform::LocalIpv4Text();
    for (const auto& row : rows) {
        EXPECT_EQ(row[1], mac);
        EXPECT_EQ(row[2], ip);
        EXPECT_TRUE(LooksLikeReportTime(row[3])) << row[3];
    }
    EXPECT_EQ(rows[0][0], "start");
    EXPECT_EQ(rows[0][4], "0");
    EXPECT_EQ(rows[1][0], "start");
    EXPECT_EQ(rows[1][4], "1");
    EXPECT_EQ(rows[2][0], "run");
    EXPECT_EQ((std::vector<std::string>{rows[2][5], rows[2][6], rows[2][7]}),
              (std::vector<std::string>{"30301", "101", "192"}));
    EXPECT_EQ(rows[3][0], "feedback");
    EXPECT_EQ(rows[3][6], "0");
    EXPECT_EQ(rows[3][8], "20301");
    EXPECT_EQ(rows[3][9], "无法运行，需要更新，杀软报毒");
}

TEST(ReportsRoad, StartReportWithoutAServerFails) {
    TempDir program;
    int port;
    {
        server::Socket probe;
        ASSERT_TRUE(probe.Listen("127.0.0.1", 0));
        port = probe.LocalPort();
    }
    ProgramRun run = RunProgram({RAVIKCTL_PATH, "--data-dir", program.dir(), "--server",
                                 "127.0.0.1:" + std::to_string(port), "report-start"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("did not answer"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(program / "usercfg.dat"));
}

TEST(ReportsRoad, ManyClientsAtOnceAreAllAnswered) {
    TempDir data;
    TempDir program;
    DataServerProcess server(data / "data.db", "");
    server::ClientConfig config;
    config.port = server.Port();
    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 16; ++t) {
        clients.emplace_back([&] {
            server::ServerClient client(config);
            for (int i = 0; i < 4; ++i) {
                catalog::ToolRecord tool;
                tool.id = 20301;
                tool.type = 187;
                answered += server::ReportJob::RunReport(config, tool)->Start(nullptr).Ok() ? 1 : 0;
            }
        });
    }
    for (auto& client : clients) {
        client.join();
    }
    EXPECT_EQ(answered.load(), 64);
    EXPECT_EQ(StoredReports(data / "data.db").size(), 64u);
}

}  // namespace
