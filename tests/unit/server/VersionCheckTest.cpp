#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeDataServer.h"
#include "TempDir.h"
#include "catalog/IniFile.h"
#include "server/VersionCheck.h"

namespace {

using namespace std::chrono_literals;

// Answers every question with a preset answer and keeps what was said.
class ScriptedPrompt : public server::UserPrompt {
  public:
    explicit ScriptedPrompt(bool answer) : answer_(answer) {}
    bool Confirm(const std::string& text) override {
        asked.push_back(text);
        return answer_;
    }
    void Tell(const std::string& text) override { told.push_back(text); }

    std::vector<std::string> asked;
    std::vector<std::string> told;

  private:
    bool answer_;
};

// Records the programs it is asked to start.
struct RecordingStarter {
    bool succeeds = true;
    std::vector<std::pair<std::string, std::vector<std::string>>> calls;
    server::ProgramStarter Starter() {
        return [this](const std::string& program, const std::vector<std::string>& args) {
            calls.emplace_back(program, args);
            return succeeds;
        };
    }
};

class VersionCheckTest : public ::testing::Test {
  protected:
    void Settings(const std::string& section, const std::string& key, const std::string& value) {
        ASSERT_TRUE(catalog::WriteProfileKey(dir / "usercfg.dat", section, key, value).ok());
    }
    std::string Read(const std::string& file, const std::string& key) {
        return catalog::ReadProfileString(dir / file, "ravikver", key, "<missing>", 300);
    }
    static FakeDataServer::Script Answer(const std::vector<std::string>& fields) {
        return
            [fields](server::Socket& s, const std::string&) { s.SendAll(ReplyBytes(fields), 1s); };
    }
    server::VersionCheckResult Check(FakeDataServer& fake, server::VersionCheckMode mode,
                                     ScriptedPrompt& prompt, RecordingStarter& starter) {
        server::ServerClient client(fake.Config());
        return server::CheckVersion(client, dir.dir(), mode, prompt, starter.Starter());
    }

    TempDir dir;
};

TEST_F(VersionCheckTest, NewerVersionWithAutoUpdateWritesFilesAndStartsTheUpdater) {
    Settings("system", "autoupdate", "1");
    Settings("ravikver", "version", "1.0");
    Settings("ravikver", "sertime", "100");
    FakeDataServer fake(Answer({"1", "200", "2.0", "http://dl/new.zip"}));
    ScriptedPrompt prompt(false);
    RecordingStarter starter;
    auto result = Check(fake, server::VersionCheckMode::Automatic, prompt, starter);

    EXPECT_TRUE(result.result.Ok()) << result.result.reason;
    EXPECT_EQ(result.action, server::VersionAction::UpdaterStarted);
    EXPECT_TRUE(prompt.asked.empty());
    std::vector<std::string> sent = FieldsOf(fake.Requests().at(0));
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2], "100");
    EXPECT_EQ(sent[3], "1.0");
    EXPECT_EQ(Read("update.ini", "version"), "2.0");
    EXPECT_EQ(Read("update.ini", "sertime"), "200");
    EXPECT_EQ(Read("update.ini", "clientadd"), "http://dl/new.zip");
    EXPECT_EQ(Read("usercfg.dat", "oldversion"), "1.0");
    EXPECT_EQ(Read("usercfg.dat", "oldsertime"), "100");
    EXPECT_EQ(Read("usercfg.dat", "old"), "1");
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].first, dir.dir() + server::kUpdaterName);
    EXPECT_EQ(starter.calls[0].second, std::vector<std::string>{dir.dir()});
}

TEST_F(VersionCheckTest, TheUserIsAskedUnlessAutoUpdateIsExactlyOne) {
    struct Case {
        const char* autoupdate;
        bool answer;
        server::VersionAction action;
    } cases[] = {
        {nullptr, false, server::VersionAction::Declined},
        {"0", false, server::VersionAction::Declined},
        {"yes", false, server::VersionAction::Declined},
        {"", true, server::VersionAction::UpdaterStarted},
    };
    for (const auto& c : cases) {
        TempDir fresh;
        if (c.autoupdate != nullptr) {
            catalog::WriteProfileKey(fresh / "usercfg.dat", "system", "autoupdate", c.autoupdate);
        }
        FakeDataServer fake(Answer({"1", "200", "2.0", "http://dl/new.zip"}));
        ScriptedPrompt prompt(c.answer);
        RecordingStarter starter;
        server::ServerClient client(fake.Config());
        auto result = server::CheckVersion(client, fresh.dir(), server::VersionCheckMode::Manual,
                                           prompt, starter.Starter());
        EXPECT_TRUE(result.result.Ok());
        EXPECT_EQ(result.action, c.action);
        EXPECT_EQ(prompt.asked, std::vector<std::string>{"发现服务器有新版本，是否升级"});
        bool started = c.action == server::VersionAction::UpdaterStarted;
        EXPECT_EQ(starter.calls.size(), started ? 1u : 0u);
        EXPECT_EQ(std::filesystem::exists(fresh / "update.ini"), started);
        EXPECT_EQ(catalog::ReadProfileString(fresh / "usercfg.dat", "ravikver", "old", "", 9),
                  started ? "1" : "");
    }
}

TEST_F(VersionCheckTest, OldVersionDataIsWhatWasSentAlsoWhenEmpty) {
    Settings("system", "autoupdate", "1");
    FakeDataServer fake(Answer({"1", "200", "2.0", "x"}));
    ScriptedPrompt prompt(true);
    RecordingStarter starter;
    Check(fake, server::VersionCheckMode::Automatic, prompt, starter);
    EXPECT_EQ(Read("usercfg.dat", "oldversion"), "");
    EXPECT_EQ(Read("usercfg.dat", "oldsertime"), "");
    EXPECT_EQ(Read("usercfg.dat", "old"), "1");
}

TEST_F(VersionCheckTest, RepliesWithoutAUsableNewVersionAreUpToDate) {
    struct Case {
        const char* name;
        std::vector<std::string> fields;  // after the three skipped fields
    } cases[] = {
        {"flag 0", {"0", "200", "2.0", "x"}},
        {"flag with a space", {" 1", "200", "2.0", "x"}},
        {"flag with more", {"1x", "200", "2.0", "x"}},
        {"no clientadd", {"1", "200", "2.0"}},
        {"nothing after the header", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto mode : {server::VersionCheckMode::Manual, server::VersionCheckMode::Automatic}) {
            FakeDataServer fake([&](server::Socket& s, const std::string&) {
                std::string bytes = ReplyBytes(c.fields);
                if (c.fields.size() == 3) {
                    // Cut the end mark too: exactly the six fields 0 to 5.
                    bytes = bytes.substr(0, bytes.rfind(server::kFieldSeparator)) + '\0';
                }
                s.SendAll(bytes, 1s);
            });
            Settings("system", "autoupdate", "1");
            ScriptedPrompt prompt(true);
            RecordingStarter starter;
            auto result = Check(fake, mode, prompt, starter);
            EXPECT_TRUE(result.result.Ok());
            EXPECT_EQ(result.action, server::VersionAction::None);
            EXPECT_FALSE(result.info.newer);
            EXPECT_TRUE(starter.calls.empty());
            EXPECT_FALSE(std::filesystem::exists(dir / "update.ini"));
            EXPECT_EQ(prompt.told, mode == server::VersionCheckMode::Manual
                                       ? std::vector<std::string>{"当前已经是最新版本!"}
                                       : std::vector<std::string>{});
        }
    }
}

TEST_F(VersionCheckTest, NoServerOrNoReplySaysNothingInEitherMode) {
    FakeDataServer oneByte([](server::Socket& s, const std::string&) { s.SendAll("1", 1s); });
    int closedPort;
    {
        server::Socket probe;
        ASSERT_TRUE(probe.Listen("127.0.0.1", 0));
        closedPort = probe.LocalPort();
    }
    for (int port : {oneByte.Port(), closedPort}) {
        server::ClientConfig config = oneByte.Config();
        config.port = port;
        server::ServerClient client(config);
        ScriptedPrompt prompt(true);
        RecordingStarter starter;
        auto result = server::CheckVersion(client, dir.dir(), server::VersionCheckMode::Manual,
                                           prompt, starter.Starter());
        EXPECT_EQ(result.result.code, job::Code::Network);
        EXPECT_TRUE(prompt.told.empty());
        EXPECT_TRUE(prompt.asked.empty());
    }
}

TEST_F(VersionCheckTest, AFailedLaunchRepeatsTheCheckOnce) {
    FakeDataServer fake(Answer({"1", "200", "2.0", "x"}));
    ScriptedPrompt prompt(true);
    RecordingStarter starter;
    starter.succeeds = false;
    auto result = Check(fake, server::VersionCheckMode::Manual, prompt, starter);
    EXPECT_EQ(result.result.code, job::Code::StartFailed);
    EXPECT_FALSE(result.result.reason.empty());
    EXPECT_EQ(fake.Requests().size(), 2u);
    EXPECT_EQ(prompt.asked.size(), 2u);
    EXPECT_EQ(starter.calls.size(), 2u);
}

TEST_F(VersionCheckTest, AMissingUpdaterFailsToStart) {
    Settings("system", "autoupdate", "1");
    FakeDataServer fake(Answer({"1", "200", "2.0", "x"}));
    ScriptedPrompt prompt(true);
    server::ServerClient client(fake.Config());
    auto result =
        server::CheckVersion(client, dir.dir(), server::VersionCheckMode::Automatic, prompt);
    EXPECT_EQ(result.result.code, job::Code::StartFailed);
}

TEST_F(VersionCheckTest, NoUpdaterStartsWhenUpdateIniCannotBeWritten) {
    Settings("system", "autoupdate", "1");
    std::filesystem::create_directories(dir.path() / "update.ini" / "x");
    FakeDataServer fake(Answer({"1", "200", "2.0", "x"}));
    ScriptedPrompt prompt(true);
    RecordingStarter starter;
    auto result = Check(fake, server::VersionCheckMode::Automatic, prompt, starter);
    EXPECT_EQ(result.result.code, job::Code::WriteFailed);
    EXPECT_TRUE(starter.calls.empty());
    EXPECT_EQ(Read("usercfg.dat", "old"), "<missing>");
}

}  // namespace
