#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FakeDataServer.h"
#include "TempDir.h"
#include "catalog/IniFile.h"
#include "server/VersionCheck.h"
#include "server/VersionCheckJob.h"

namespace {

using namespace std::chrono_literals;

using server::UpdateAnswer;

// Answers every question with a preset answer and keeps what was said.
class ScriptedPrompt : public server::UserPrompt {
  public:
    explicit ScriptedPrompt(UpdateAnswer answer) : answer_(answer) {}
    UpdateAnswer AskUpdate(const std::string& text) override {
        asked.push_back(text);
        return answer_;
    }
    void Tell(const std::string& text) override { told.push_back(text); }

    std::vector<std::string> asked;
    std::vector<std::string> told;

  private:
    UpdateAnswer answer_;
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

// Stands in for the fetch of the new version's archive: notes what it was asked for and what
// the program directory held at that moment, writes "archive" and ends with `result`.
struct RecordingFetcher {
    job::Result result = job::Result::Done();
    std::vector<std::string> urls;
    bool updateIniBefore = false;
    bool archiveBefore = false;
    server::ArchiveFetcher Fetcher() {
        return [this](const std::string& url, const std::string& path) {
            urls.push_back(url);
            const std::filesystem::path archive(std::u8string(path.begin(), path.end()));
            updateIniBefore = std::filesystem::exists(archive.parent_path() / "update.ini");
            archiveBefore = std::filesystem::exists(archive);
            std::ofstream(archive, std::ios::binary) << "archive";
            return result;
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
        return server::CheckVersion(client, dir.dir(), mode, prompt,
                                    {route, fetcher.Fetcher(), starter.Starter()});
    }

    TempDir dir;
    server::UpdateRoute route = server::UpdateRoute::Updater;
    RecordingFetcher fetcher;
};

TEST_F(VersionCheckTest, NewerVersionWithAutoUpdateWritesFilesAndStartsTheUpdater) {
    Settings("system", "autoupdate", "1");
    Settings("ravikver", "version", "1.0");
    Settings("ravikver", "sertime", "100");
    FakeDataServer fake(Answer({"1", "200", "2.0", "http://dl/new.zip"}));
    ScriptedPrompt prompt(UpdateAnswer::Later);
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
        UpdateAnswer answer;
        server::VersionAction action;
    } cases[] = {
        {nullptr, UpdateAnswer::Later, server::VersionAction::Declined},
        {"0", UpdateAnswer::Later, server::VersionAction::Declined},
        {"yes", UpdateAnswer::Later, server::VersionAction::Declined},
        {"", UpdateAnswer::Update, server::VersionAction::UpdaterStarted},
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
                                           prompt, {route, fetcher.Fetcher(), starter.Starter()});
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
    ScriptedPrompt prompt(UpdateAnswer::Update);
    RecordingStarter starter;
    Check(fake, server::VersionCheckMode::Automatic, prompt, starter);
    EXPECT_EQ(Read("usercfg.dat", "oldversion"), "");
    EXPECT_EQ(Read("usercfg.dat", "oldsertime"), "");
    EXPECT_EQ(Read("usercfg.dat", "old"), "1");
}

// The version texts end up in update.ini and, for a skipped release, in usercfg.dat: a line
// break in them must not add a section there that shadows the user's settings.
TEST_F(VersionCheckTest, VersionTextsWithLineBreaksWriteNoSections) {
    const std::string system = "\r\n[system]\r\nautoupdate=1";
    for (UpdateAnswer answer : {UpdateAnswer::Update, UpdateAnswer::SkipRelease}) {
        TempDir fresh;
        FakeDataServer fake(
            Answer({"1", "200" + system, "2.0\n[system]", "http://dl/new.zip" + system}));
        ScriptedPrompt prompt(answer);
        RecordingStarter starter;
        server::ServerClient client(fake.Config());
        auto result = server::CheckVersion(client, fresh.dir(), server::VersionCheckMode::Manual,
                                           prompt, {route, fetcher.Fetcher(), starter.Starter()});
        EXPECT_TRUE(result.result.Ok()) << result.result.reason;
        EXPECT_EQ(result.info.sertime, "200  [system]  autoupdate=1");
        EXPECT_EQ(result.info.version, "2.0 [system]");
        for (const char* file : {"update.ini", "usercfg.dat"}) {
            catalog::IniFile ini = catalog::IniFile::Load(fresh / file);
            EXPECT_FALSE(ini.HasSection("system")) << file;
            EXPECT_FALSE(ini.HasKey("ravikver", "[system]")) << file;
        }
    }
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
            ScriptedPrompt prompt(UpdateAnswer::Update);
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
        ScriptedPrompt prompt(UpdateAnswer::Update);
        RecordingStarter starter;
        auto result = server::CheckVersion(client, dir.dir(), server::VersionCheckMode::Manual,
                                           prompt, {route, fetcher.Fetcher(), starter.Starter()});
        EXPECT_EQ(result.result.code, job::Code::Network);
        EXPECT_TRUE(prompt.told.empty());
        EXPECT_TRUE(prompt.asked.empty());
    }
}

TEST_F(VersionCheckTest, AFailedLaunchRepeatsTheCheckOnce) {
    FakeDataServer fake(Answer({"1", "200", "2.0", "x"}));
    ScriptedPrompt prompt(UpdateAnswer::Update);
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
    ScriptedPrompt prompt(UpdateAnswer::Update);
    server::ServerClient client(fake.Config());
    auto result =
        server::CheckVersion(client, dir.dir(), server::VersionCheckMode::Automatic, prompt);
    EXPECT_EQ(result.result.code, job::Code::StartFailed);
}

TEST_F(VersionCheckTest, NoUpdaterStartsWhenUpdateIniCannotBeWritten) {
    Settings("system", "autoupdate", "1");
    std::filesystem::create_directories(dir.path() / "update.ini" / "x");
    FakeDataServer fake(Answer({"1", "200", "2.0", "x"}));
    ScriptedPrompt prompt(UpdateAnswer::Update);
    RecordingStarter starter;
    auto result = Check(fake, server::VersionCheckMode::Automatic, prompt, starter);
    EXPECT_EQ(result.result.code, job::Code::WriteFailed);
    EXPECT_TRUE(starter.calls.empty());
    EXPECT_EQ(Read("usercfg.dat", "old"), "<missing>");
}

// An installed launcher never starts the updater: it tells the user that the package manager
// updates it, at start-up once per release (usercfg.dat toldsertime), and whenever asked.
// A portable copy keeps asking and starting the updater.
TEST_F(VersionCheckTest, AnInstalledLauncherTellsOncePerReleaseAndStartsNoUpdater) {
    using Route = server::UpdateRoute;
    using Mode = server::VersionCheckMode;
    const std::string notice = "发现新版本 2.0，请使用系统的软件包管理器更新。";
    struct Case {
        const char* name;
        Route route;
        const char* autoupdate;
        const char* toldBefore;  // nullptr: never told
        const char* offered;     // the server's sertime
        Mode mode;
        bool asked;
        bool told;
        bool updater;
        const char* toldAfter;
    } cases[] = {
        {"portable copy", Route::Updater, "", nullptr, "200", Mode::Automatic, true, false, true,
         "<missing>"},
        {"portable copy, told before", Route::Updater, "", "200", "200", Mode::Automatic, true,
         false, true, "200"},
        {"installed, first time", Route::PackageManager, "", nullptr, "200", Mode::Automatic, false,
         true, false, "200"},
        {"installed, automatic update", Route::PackageManager, "1", nullptr, "200", Mode::Automatic,
         false, true, false, "200"},
        {"installed, told this release", Route::PackageManager, "", "200", "200", Mode::Automatic,
         false, false, false, "200"},
        {"installed, told an older release", Route::PackageManager, "", "200", "300",
         Mode::Automatic, false, true, false, "300"},
        {"installed, told and asks", Route::PackageManager, "", "200", "200", Mode::Manual, false,
         true, false, "200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir fresh;
        catalog::WriteProfileKey(fresh / "usercfg.dat", "system", "autoupdate", c.autoupdate);
        if (c.toldBefore != nullptr) {
            catalog::WriteProfileKey(fresh / "usercfg.dat", "ravikver", "toldsertime",
                                     c.toldBefore);
        }
        FakeDataServer fake(Answer({"1", c.offered, "2.0", "http://dl/new.zip"}));
        ScriptedPrompt prompt(UpdateAnswer::Update);
        RecordingStarter starter;
        server::ServerClient client(fake.Config());
        auto result = server::CheckVersion(client, fresh.dir(), c.mode, prompt,
                                           {c.route, fetcher.Fetcher(), starter.Starter()});
        EXPECT_TRUE(result.result.Ok()) << result.result.reason;
        EXPECT_EQ(prompt.asked.size(), c.asked ? 1u : 0u);
        EXPECT_EQ(prompt.told,
                  c.told ? std::vector<std::string>{notice} : std::vector<std::string>{});
        EXPECT_EQ(starter.calls.size(), c.updater ? 1u : 0u);
        EXPECT_EQ(std::filesystem::exists(fresh / "update.ini"), c.updater);
        EXPECT_EQ(catalog::ReadProfileString(fresh / "usercfg.dat", "ravikver", "toldsertime",
                                             "<missing>", 300),
                  c.toldAfter);
    }
}

// 跳过此版本 keeps the start-up check from offering that release again; a newer release, or
// the user's own 检查更新, offers it.
TEST_F(VersionCheckTest, ASkippedReleaseIsNotOfferedAtStartUpAgain) {
    using Mode = server::VersionCheckMode;
    struct Case {
        const char* name;
        const char* autoupdate;
        const char* offered;
        Mode mode;
        bool asked;
        bool updater;
    } cases[] = {
        {"same release at start-up", "", "200", Mode::Automatic, false, false},
        {"same release, automatic update", "1", "200", Mode::Automatic, false, false},
        {"newer release at start-up", "", "300", Mode::Automatic, true, true},
        {"same release, 检查更新", "", "200", Mode::Manual, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir fresh;
        // The user skipped release 200 when it was first offered.
        {
            FakeDataServer fake(Answer({"1", "200", "2.0", "x"}));
            ScriptedPrompt skip(UpdateAnswer::SkipRelease);
            RecordingStarter starter;
            server::ServerClient client(fake.Config());
            auto result = server::CheckVersion(client, fresh.dir(), Mode::Manual, skip,
                                               {route, fetcher.Fetcher(), starter.Starter()});
            EXPECT_EQ(result.action, server::VersionAction::Skipped);
            EXPECT_TRUE(starter.calls.empty());
            EXPECT_FALSE(std::filesystem::exists(fresh / "update.ini"));
        }
        catalog::WriteProfileKey(fresh / "usercfg.dat", "system", "autoupdate", c.autoupdate);
        FakeDataServer fake(Answer({"1", c.offered, "2.0", "x"}));
        ScriptedPrompt prompt(UpdateAnswer::Update);
        RecordingStarter starter;
        server::ServerClient client(fake.Config());
        auto result = server::CheckVersion(client, fresh.dir(), c.mode, prompt,
                                           {route, fetcher.Fetcher(), starter.Starter()});
        EXPECT_TRUE(result.result.Ok()) << result.result.reason;
        EXPECT_EQ(prompt.asked.size(), c.asked ? 1u : 0u);
        EXPECT_EQ(starter.calls.size(), c.updater ? 1u : 0u);
        EXPECT_EQ(result.action, c.updater ? server::VersionAction::UpdaterStarted
                                           : server::VersionAction::Skipped);
    }
}

// The launcher fetches the archive (the long part, shown to the user) before it writes
// anything. Only a cancel stops the update; after any other failure the updater downloads the
// archive itself, and no half archive is left for it.
TEST_F(VersionCheckTest, TheArchiveIsFetchedBeforeTheUpdateIsRecorded) {
    struct Case {
        const char* name;
        job::Result fetched;
        job::Code code;
        bool updater;
        bool archive;
    } cases[] = {
        {"fetched", job::Result::Done(), job::Code::Ok, true, true},
        {"broken off", job::Result::Failed(job::Code::Network, "broken"), job::Code::Ok, true,
         false},
        {"cancelled", job::Result::Failed(job::Code::Cancelled, "cancelled"), job::Code::Cancelled,
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir fresh;
        catalog::WriteProfileKey(fresh / "usercfg.dat", "system", "autoupdate", "1");
        // What an earlier fetch for another release left.
        fresh.Write("update.zip", "old archive");
        RecordingFetcher fetch;
        fetch.result = c.fetched;
        FakeDataServer fake(Answer({"1", "200", "2.0", "http://dl/new.zip"}));
        ScriptedPrompt prompt(UpdateAnswer::Update);
        RecordingStarter starter;
        server::ServerClient client(fake.Config());
        auto result = server::CheckVersion(client, fresh.dir(), server::VersionCheckMode::Automatic,
                                           prompt, {route, fetch.Fetcher(), starter.Starter()});
        EXPECT_EQ(result.result.code, c.code) << result.result.reason;
        EXPECT_EQ(fetch.urls, std::vector<std::string>{"http://dl/new.zip"});
        EXPECT_FALSE(fetch.updateIniBefore);
        EXPECT_FALSE(fetch.archiveBefore);
        EXPECT_EQ(starter.calls.size(), c.updater ? 1u : 0u);
        EXPECT_EQ(std::filesystem::exists(fresh / "update.ini"), c.updater);
        EXPECT_EQ(catalog::ReadProfileString(fresh / "usercfg.dat", "ravikver", "old", "", 9),
                  c.updater ? "1" : "");
        EXPECT_EQ(fresh.Read("update.zip"), c.archive ? "archive" : "");
    }
}

// 检查更新 is the user's own question: a server that cannot be reached, or does not answer,
// is told, not passed over in silence as if nothing new existed.
TEST_F(VersionCheckTest, TheChecksTheUserAsksForSayWhenTheServerCannotBeReached) {
    int closedPort;
    {
        server::Socket probe;
        ASSERT_TRUE(probe.Listen("127.0.0.1", 0));
        closedPort = probe.LocalPort();
    }
    FakeDataServer hangsUp([](server::Socket&, const std::string&) {});
    FakeDataServer current(Answer({"0", "200", "2.0", "x"}));
    struct Case {
        const char* name;
        int port;
        const char* told;
    } cases[] = {
        {"nobody listens", closedPort, "无法连接服务器，请检查网络后重试"},
        {"no answer", hangsUp.Port(), "无法连接服务器，请检查网络后重试"},
        {"up to date", current.Port(), "当前已经是最新版本!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server::ClientConfig config = current.Config();
        config.port = c.port;
        ScriptedPrompt prompt(UpdateAnswer::Update);
        RecordingStarter starter;
        server::VersionCheckJob job(config, dir.dir(), prompt, starter.Starter());
        static_cast<void>(job.Start(nullptr));
        EXPECT_EQ(prompt.told, std::vector<std::string>{c.told});
        EXPECT_TRUE(prompt.asked.empty());
    }
}

}  // namespace
