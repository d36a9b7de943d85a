#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeDataServer.h"
#include "TempDir.h"
#include "catalog/IniFile.h"
#include "server/ReportJob.h"
#include "server/Reports.h"

namespace {

using namespace std::chrono_literals;

server::ClientIdentity FixedIdentity() {
    return {[] { return std::string("0-1a-2b-3-4d-5e"); }, [] { return std::string("10.1.2.3"); }};
}

FakeDataServer::Script Answer(const std::string& bytes) {
    return [bytes](server::Socket& s, const std::string&) { s.SendAll(bytes, 1s); };
}

bool LooksLikeReportTime(const std::string& text) {
    return text.size() == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' &&
           text[13] == ':' && text[16] == ':';
}

class StartReportTest : public ::testing::Test {
  protected:
    std::string FirstStart() {
        return catalog::ReadProfileString(dir / "usercfg.dat", "system", "firststart", "<missing>",
                                          119);
    }
    TempDir dir;
};

TEST_F(StartReportTest, FlagFollowsFirstStartAndMarksItBeforeSending) {
    struct Case {
        const char* stored;  // nullptr: no key
        const char* flag;
        const char* after;
    } cases[] = {
        {nullptr, "0", "1"}, {"0", "0", "1"}, {"", "0", "1"}, {"1", "1", "1"}, {"2", "1", "2"},
    };
    for (const auto& c : cases) {
        TempDir fresh;
        if (c.stored != nullptr) {
            catalog::WriteProfileKey(fresh / "usercfg.dat", "system", "firststart", c.stored);
        }
        // The server looks at the file while the report is in flight: the mark is already there.
        std::string markWhileSending;
        FakeDataServer fake([&](server::Socket& s, const std::string&) {
            markWhileSending =
                catalog::ReadProfileString(fresh / "usercfg.dat", "system", "firststart", "", 119);
            s.SendAll(ReplyBytes({"1"}), 1s);
        });
        server::ServerClient client(fake.Config(), FixedIdentity());
        EXPECT_TRUE(server::SendStartReport(client, fresh.dir()).Ok());
        ASSERT_EQ(fake.Requests().size(), 1u);
        EXPECT_EQ(CodeOf(fake.Requests()[0]), '2');
        std::vector<std::string> fields = FieldsOf(fake.Requests()[0]);
        ASSERT_EQ(fields.size(), 5u);  // the last one is the trailing separator's
        EXPECT_EQ(fields[0], "0-1a-2b-3-4d-5e");
        EXPECT_EQ(fields[1], "10.1.2.3");
        EXPECT_TRUE(LooksLikeReportTime(fields[2])) << fields[2];
        EXPECT_EQ(fields[3], c.flag);
        EXPECT_EQ(fields[4], "");
        EXPECT_EQ(markWhileSending, c.after);
        EXPECT_EQ(
            catalog::ReadProfileString(fresh / "usercfg.dat", "system", "firststart", "", 119),
            c.after);
    }
}

TEST_F(StartReportTest, AnsweredMeansMoreThanOneByte) {
    struct Case {
        std::string reply;
        bool answered;
    } cases[] = {{"", false}, {"x", false}, {"xy", true}, {ReplyBytes({}), true}};
    for (const auto& c : cases) {
        FakeDataServer fake(Answer(c.reply));
        server::ServerClient client(fake.Config(), FixedIdentity());
        EXPECT_EQ(server::SendStartReport(client, dir.dir()).Ok(), c.answered) << c.reply;
    }
}

TEST_F(StartReportTest, UnreachableServerLeavesFirstStartAlone) {
    const server::ClientConfig config = UnreachableConfig();
    server::ServerClient client(config, FixedIdentity());
    EXPECT_FALSE(server::SendStartReport(client, dir.dir()).Ok());
    EXPECT_EQ(FirstStart(), "<missing>");
}

TEST(RunReport, CarriesTheToolsIdsAndType) {
    struct Case {
        uint32_t id, gameId, type;
        std::vector<std::string> fields;
    } cases[] = {
        {20301, 0, 191, {"20301", "0", "191"}},
        {30302, 103, 187, {"30302", "103", "187"}},
    };
    for (const auto& c : cases) {
        FakeDataServer fake(Answer(ReplyBytes({"1"})));
        catalog::ToolRecord tool;
        tool.id = c.id;
        tool.gameId = c.gameId;
        tool.type = c.type;
        EXPECT_TRUE(server::ReportJob::RunReport(fake.Config(), tool, FixedIdentity())
                        ->Start(nullptr)
                        .Ok());
        ASSERT_EQ(fake.Requests().size(), 1u);
        EXPECT_EQ(CodeOf(fake.Requests()[0]), '8');
        std::vector<std::string> fields = FieldsOf(fake.Requests()[0]);
        ASSERT_EQ(fields.size(), 6u);  // no trailing separator
        EXPECT_EQ(std::vector<std::string>(fields.begin() + 2, fields.begin() + 5), c.fields);
        EXPECT_TRUE(LooksLikeReportTime(fields[5])) << fields[5];
    }
}

TEST(Feedback, ReasonIsSentWithItsLengthCountedTwice) {
    FakeDataServer fake(Answer(ReplyBytes({"1"})));
    server::ServerClient client(fake.Config(), FixedIdentity());
    const std::string reason = "无法运行，需要更新，杀软报毒";
    EXPECT_TRUE(server::SendFeedback(client, 103, 30302, reason).Ok());
    ASSERT_EQ(fake.Requests().size(), 1u);
    const std::string request = fake.Requests()[0];
    EXPECT_EQ(CodeOf(request), '4');
    std::vector<std::string> fields = FieldsOf(request);
    ASSERT_EQ(fields.size(), 7u);
    EXPECT_TRUE(LooksLikeReportTime(fields[2]));
    EXPECT_EQ(fields[3], "103");
    EXPECT_EQ(fields[4], "30302");
    EXPECT_EQ(fields[5], reason);
    EXPECT_EQ(fields[6], "");
    // The length field equals the bytes on the wire (the two zero bytes not counted).
    EXPECT_EQ(std::stoul(request.substr(3, 10)), request.size() - 2);
}

TEST(Feedback, EmptyReasonSendsNothing) {
    FakeDataServer fake(Answer(ReplyBytes({"1"})));
    server::ServerClient client(fake.Config(), FixedIdentity());
    EXPECT_TRUE(server::SendFeedback(client, 0, 20301, "无法运行").Ok());
    EXPECT_FALSE(server::SendFeedback(client, 0, 20301, "").Ok());
    EXPECT_EQ(fake.Requests().size(), 1u);
}

}  // namespace
