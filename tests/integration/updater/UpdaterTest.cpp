#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <stdexcept>

#include "FileHttpServer.h"
#include "RawHttpServer.h"
#include "TempDir.h"
#include "Updater.h"
#include "ZipBuilder.h"
#include "catalog/IniFile.h"
#include "install/ArchiveSignature.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

// Every file and folder of a program directory (folders as "<folder>"), update.log left out.
using Snapshot = std::map<std::string, std::string>;

// The launcher's program file, as the system names programs.
const std::string kLauncher = std::string("Ravik_desk") + platform::kExecutableSuffix;

struct SimulatedKill : std::runtime_error {
    SimulatedKill() : std::runtime_error("killed") {}
};

// An installed launcher with the user's data beside it, and an update.ini that asks for
// version 2.0 from `clientadd`.
class Installation {
  public:
    explicit Installation(const std::string& clientadd) {
        dir.Write(kLauncher, "old launcher");
        fs::permissions(dir.PathOf(kLauncher), fs::perms(0755));
        dir.Write("libravikui.so", "old library");
        dir.Write("res/skin.png", "old skin");
        dir.Write("gamecfg.dat", "[1]\r\nTITLE=game\r\n");
        dir.Write("Usedcfg.dat", "[used]\r\nSIZE=1\r\n");
        dir.Write("usercfg.dat",
                  "[system]\r\nautoupdate=1\r\n[ravikver]\r\nversion=1.0\r\nsertime=100\r\n"
                  "oldversion=1.0\r\noldsertime=100\r\nold=1\r\nlasttime=55\r\n");
        dir.Write("GameIcon/3.png", "icon");
        dir.Write("LocalGameTool/9/tool.exe", "tool");
        Ask(clientadd);
    }

    void Ask(const std::string& clientadd) const {
        dir.Write("update.ini",
                  "[ravikver]\r\nversion=2.0\r\nsertime=200\r\nclientadd=" + clientadd + "\r\n");
    }

    updater::UpdateOptions Options() {
        updater::UpdateOptions options;
        options.launcherRunning = [] { return false; };
        options.startLauncher = [this](const std::string& program, const std::string&) {
            starts.push_back(program);
            return true;
        };
        options.moveAttempts = 1;
        options.stallTimeout = std::chrono::seconds(2);
        options.connectTimeout = std::chrono::seconds(5);
        options.downloadRetries = 1;
        options.downloadRetryPause = std::chrono::milliseconds(0);
        return options;
    }

    updater::UpdateOutcome Run(updater::UpdateOptions options) const {
        return updater::Updater(dir.dir(), std::move(options)).Run();
    }

    Snapshot Take() const {
        Snapshot snapshot;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
            std::string relative = fs::relative(entry.path(), dir.path()).generic_string();
            if (relative == "update.log") {
                continue;
            }
            snapshot[relative] = entry.is_directory() ? "<folder>" : dir.Read(relative);
        }
        return snapshot;
    }

    std::string Setting(const char* section, const char* key) const {
        return catalog::ReadProfileString(dir / "usercfg.dat", section, key, "(none)", 260);
    }

    std::string Log() const { return dir.Read("update.log"); }
    std::string Launcher() const { return dir.dir() + kLauncher; }

    TempDir dir;
    std::vector<std::string> starts;
};

std::string NewClient() {
    return ziptest::Build({ziptest::File(kLauncher, "new launcher"),
                           ziptest::File("res/skin.png", "new skin"),
                           ziptest::File("plugins/extra/new.so", "new plugin")});
}

// The launcher's files are the new ones, everything else is as it was, and usercfg.dat
// claims version 2.0 with every other key kept.
void ExpectUpdated(const Installation& installation, const Snapshot& before) {
    Snapshot after = installation.Take();
    Snapshot expected = before;
    expected[kLauncher] = "new launcher";
    expected["res/skin.png"] = "new skin";
    expected["plugins"] = "<folder>";
    expected["plugins/extra"] = "<folder>";
    expected["plugins/extra/new.so"] = "new plugin";
    expected["usercfg.dat"] = after["usercfg.dat"];
    EXPECT_EQ(after, expected);
    EXPECT_EQ(installation.Setting("ravikver", "version"), "2.0");
    EXPECT_EQ(installation.Setting("ravikver", "sertime"), "200");
    EXPECT_EQ(installation.Setting("ravikver", "oldversion"), "1.0");
    EXPECT_EQ(installation.Setting("ravikver", "oldsertime"), "100");
    EXPECT_EQ(installation.Setting("ravikver", "old"), "1");
    EXPECT_EQ(installation.Setting("ravikver", "lasttime"), "55");
    EXPECT_EQ(installation.Setting("system", "autoupdate"), "1");
}

class UpdaterTest : public ::testing::Test {
  protected:
    void SetUp() override { http_.Put("/client.zip", NewClient()); }

    FileHttpServer http_;
    // Announces 1000 bytes, sends 300 and closes.
    RawHttpServer brokenOff_{[](RawHttpServer::Connection& c) {
        c.SendHead(200, "OK", 1000);
        c.Send(std::string(300, 'x'));
    }};
};

TEST_F(UpdaterTest, ReplacesTheLaunchersFilesRecordsTheVersionAndStartsItAgain) {
    Installation installation(http_.Url("/client.zip"));
    Snapshot before = installation.Take();

    updater::UpdateOutcome outcome = installation.Run(installation.Options());

    EXPECT_EQ(outcome.status, updater::UpdateOutcome::Updated) << outcome.reason;
    ExpectUpdated(installation, before);
    // The archive came from a system without execute permissions; the launcher stays startable.
    EXPECT_NE(fs::status(installation.dir.PathOf(kLauncher)).permissions() & fs::perms::owner_exec,
              fs::perms::none);
    EXPECT_EQ(installation.starts, std::vector<std::string>{installation.Launcher()});
    EXPECT_TRUE(outcome.launcherStarted);

    std::string log = installation.Log();
    const std::vector<std::string> steps = {"downloading",           "holds 3 file(s)",
                                            "replaced " + kLauncher, "added plugins/extra/new.so",
                                            "claims version 2.0",    "started "};
    for (const std::string& step : steps) {
        EXPECT_NE(log.find(step), std::string::npos) << step << " missing in\n" << log;
    }
    std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d .+)");
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    }
}

TEST_F(UpdaterTest, AVersionAlreadyClaimedIsNotFetchedAgain) {
    Installation installation(http_.Url("/not-there.zip"));
    installation.dir.Write("usercfg.dat", "[ravikver]\r\nversion=2.0\r\nsertime=200\r\n");
    Snapshot before = installation.Take();

    updater::UpdateOutcome outcome = installation.Run(installation.Options());

    EXPECT_EQ(outcome.status, updater::UpdateOutcome::AlreadyCurrent) << outcome.reason;
    EXPECT_EQ(installation.Take(), before);
    EXPECT_EQ(installation.starts.size(), 1u);
}

// The launcher fetches the archive while it can still show the wait (update.zip); the
// updater takes that file instead of downloading, and takes it only once.
TEST_F(UpdaterTest, TheArchiveTheLauncherFetchedIsTakenInsteadOfADownload) {
    struct Case {
        const char* name;
        const char* claimed;  // the version usercfg.dat claims
        updater::UpdateOutcome::Status status;
    } cases[] = {
        {"update", "1.0", updater::UpdateOutcome::Updated},
        {"already current", "2.0", updater::UpdateOutcome::AlreadyCurrent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Nothing listens at the address: only the fetched archive can bring version 2.0.
        Installation installation("http://127.0.0.1:9/client.zip");
        installation.dir.Write("usercfg.dat",
                               std::string("[ravikver]\r\nversion=") + c.claimed +
                                   "\r\nsertime=" + (c.claimed[0] == '2' ? "200" : "100") + "\r\n");
        Snapshot before = installation.Take();
        installation.dir.Write("update.zip", NewClient());

        updater::UpdateOutcome outcome = installation.Run(installation.Options());

        EXPECT_EQ(outcome.status, c.status) << outcome.reason << installation.Log();
        EXPECT_FALSE(fs::exists(installation.dir.PathOf("update.zip")));
        EXPECT_FALSE(fs::exists(installation.dir.PathOf("UpdateWork")));
        if (c.status == updater::UpdateOutcome::Updated) {
            EXPECT_EQ(installation.dir.Read(kLauncher), "new launcher");
            EXPECT_EQ(installation.Log().find("downloading"), std::string::npos);
        } else {
            EXPECT_EQ(installation.Take(), before);
        }
    }
}

TEST_F(UpdaterTest, AStopWhileWaitingChangesNothingAndStartsNothing) {
    Installation installation(http_.Url("/client.zip"));
    Snapshot before = installation.Take();
    std::atomic<bool> stop{true};
    updater::UpdateOptions options = installation.Options();
    options.launcherRunning = [] { return true; };
    options.stop = &stop;

    updater::UpdateOutcome outcome = installation.Run(options);

    EXPECT_EQ(outcome.status, updater::UpdateOutcome::Stopped);
    EXPECT_EQ(installation.Take(), before);
    EXPECT_TRUE(installation.starts.empty());
}

struct FaultCase {
    const char* name;
    // Spoils the installation, the server or the options.
    std::function<void(Installation&, FileHttpServer&, RawHttpServer&, updater::UpdateOptions&)>
        arrange;
    const char* reason;  // part of the reason given
};

TEST_F(UpdaterTest, WhateverFailsTheOldLauncherStaysAndIsStartedAgain) {
    auto serve = [](std::vector<ziptest::Item> items) {
        return [items](Installation&, FileHttpServer& http, RawHttpServer&,
                       updater::UpdateOptions&) { http.Put("/client.zip", ziptest::Build(items)); };
    };
    auto failMove = [](const char* from) {
        return [from](Installation& i, FileHttpServer&, RawHttpServer&,
                      updater::UpdateOptions& options) {
            fs::path refused = i.dir.path() / from;
            options.move = [refused](const fs::path& a, const fs::path& b) {
                if (a == refused || b == refused) {
                    return std::make_error_code(std::errc::permission_denied);
                }
                std::error_code ec;
                fs::rename(a, b, ec);
                return ec;
            };
        };
    };
    ziptest::Item badCrc = ziptest::File("res/skin.png", "new skin");
    badCrc.crc = 0x12345678;
    const std::string whole = NewClient();
    std::string upperCaseLauncher = kLauncher;
    std::transform(upperCaseLauncher.begin(), upperCaseLauncher.end(), upperCaseLauncher.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });

    const FaultCase cases[] = {
        {"update.ini missing",
         [](Installation& i, auto&, auto&, auto&) { fs::remove(i.dir.path() / "update.ini"); },
         "there is no"},
        {"update.ini without clientadd",
         [](Installation& i, auto&, auto&, auto&) {
             i.dir.Write("update.ini", "[ravikver]\r\nversion=2.0\r\nsertime=200\r\n");
         },
         "gives no clientadd"},
        {"address answering 404",
         [](Installation& i, FileHttpServer& http, auto&, auto&) {
             i.Ask(http.Url("/not-there.zip"));
         },
         "404"},
        {"download breaking off",
         [](Installation& i, auto&, RawHttpServer& raw, auto&) { i.Ask(raw.Url()); },
         "downloading"},
        {"not a zip",
         [](Installation&, FileHttpServer& http, auto&, auto&) {
             http.Put("/client.zip", "<html>moved</html>");
         },
         "not a readable zip"},
        {"zip cut short",
         [whole](Installation&, FileHttpServer& http, auto&, auto&) {
             http.Put("/client.zip", whole.substr(0, whole.size() / 2));
         },
         "not a readable zip"},
        {"CRC error", serve({ziptest::File(kLauncher, "new launcher"), badCrc}),
         "\"res/skin.png\" in the archive"},
        {"settings file in the archive",
         serve({ziptest::File(kLauncher, "new"), ziptest::File("usercfg.dat", "[x]")}),
         "may not write"},
        {"icon in the archive", serve({ziptest::File("GameIcon/3.png", "other icon")}),
         "may not write"},
        {"installed tool in the archive",
         serve({ziptest::File(kLauncher, "new"), ziptest::File("localgametool/9/tool.exe", "x")}),
         "may not write"},
        {"entry climbing out", serve({ziptest::File("../" + kLauncher, "new")}), "may not write"},
        {"link entry", serve({ziptest::Symlink(kLauncher, "/bin/sh")}), "in the archive"},
        {"no files", serve({ziptest::Dir("plugins/")}), "holds no files"},
        {"one file twice",
         serve({ziptest::File(kLauncher, "a"), ziptest::File(upperCaseLauncher, "b")}), "twice"},
        {"file where a folder stands", serve({ziptest::File("res", "x")}), "stands there"},
        {"original cannot be moved away", failMove("res/skin.png"), "to the backup folder"},
        {"new file cannot be put in place", failMove("plugins/extra/new.so"), "cannot put the new"},
        {"launcher does not exit",
         [](Installation&, auto&, auto&, updater::UpdateOptions& options) {
             options.launcherRunning = [] { return true; };
             options.launcherWait = std::chrono::milliseconds(0);
         },
         "did not exit"},
        {"usercfg.dat cannot be written",
         [](Installation& i, auto&, auto&, auto&) {
             fs::remove(i.dir.path() / "usercfg.dat");
             fs::create_directory(i.dir.path() / "usercfg.dat");
         },
         "cannot record the new version"},
        {"journal of unknown origin",
         [](Installation& i, auto&, auto&, auto&) {
             i.dir.Write("update.journal", "replace " + kLauncher + "\n");
         },
         "damaged"},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        http_.Put("/client.zip", whole);
        Installation installation(http_.Url("/client.zip"));
        updater::UpdateOptions options = installation.Options();
        c.arrange(installation, http_, brokenOff_, options);
        Snapshot before = installation.Take();

        updater::UpdateOutcome outcome = installation.Run(options);

        EXPECT_EQ(outcome.status, updater::UpdateOutcome::Failed);
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << outcome.reason;
        EXPECT_EQ(installation.Take(), before);
        EXPECT_EQ(installation.starts, std::vector<std::string>{installation.Launcher()});
        EXPECT_NE(installation.Log().find("update failed"), std::string::npos);
    }
}

// Each step that changes the disk, in the order a whole update takes them.
std::vector<std::string> StepsOfAnUpdate(const std::string& clientadd) {
    Installation installation(clientadd);
    std::vector<std::string> steps;
    updater::UpdateOptions options = installation.Options();
    options.checkpoint = [&steps](const std::string& step) { steps.push_back(step); };
    installation.Run(options);
    return steps;
}

// Makes the updater stop dead, without cleaning up, right after step `k`.
updater::CheckpointFn KillAfter(std::size_t k) {
    auto count = std::make_shared<std::size_t>(0);
    return [count, k](const std::string&) {
        if ((*count)++ == k) {
            throw SimulatedKill();
        }
    };
}

TEST_F(UpdaterTest, AnUpdaterKilledAtAnyStepIsFinishedOrRolledBackByTheNextRun) {
    const std::vector<std::string> steps = StepsOfAnUpdate(http_.Url("/client.zip"));
    const auto done = std::find(steps.begin(), steps.end(), "journal done") - steps.begin();
    ASSERT_LT(static_cast<std::size_t>(done), steps.size());

    for (std::size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE("killed after \"" + steps[k] + "\"");
        // The next run can fetch the archive again: the update ends complete.
        {
            Installation installation(http_.Url("/client.zip"));
            Snapshot before = installation.Take();
            updater::UpdateOptions killed = installation.Options();
            killed.checkpoint = KillAfter(k);
            EXPECT_THROW(installation.Run(killed), SimulatedKill);

            updater::UpdateOutcome next = installation.Run(installation.Options());
            EXPECT_NE(next.status, updater::UpdateOutcome::Failed) << next.reason;
            ExpectUpdated(installation, before);
            EXPECT_EQ(installation.starts.size(), 1u);
        }
        // The next run cannot fetch it: the launcher is the old one again, unless the killed
        // run had already put every file in place, which the next run then finishes.
        {
            Installation installation(http_.Url("/client.zip"));
            Snapshot before = installation.Take();
            updater::UpdateOptions killed = installation.Options();
            killed.checkpoint = KillAfter(k);
            EXPECT_THROW(installation.Run(killed), SimulatedKill);

            installation.Ask(http_.Url("/not-there.zip"));
            before["update.ini"] = installation.dir.Read("update.ini");
            updater::UpdateOutcome next = installation.Run(installation.Options());
            if (static_cast<std::ptrdiff_t>(k) < done) {
                EXPECT_EQ(next.status, updater::UpdateOutcome::Failed);
                EXPECT_EQ(installation.Take(), before);
                EXPECT_EQ(installation.Setting("ravikver", "version"), "1.0");
            } else {
                EXPECT_EQ(next.status, updater::UpdateOutcome::AlreadyCurrent) << next.reason;
                ExpectUpdated(installation, before);
            }
            EXPECT_EQ(installation.starts.size(), 1u);
        }
    }
}

TEST_F(UpdaterTest, ARollBackThatIsKilledTooIsCompletedByTheRunAfter) {
    Installation installation(http_.Url("/client.zip"));
    Snapshot before = installation.Take();
    updater::UpdateOptions killed = installation.Options();
    killed.checkpoint = [](const std::string& step) {
        if (step == "put res/skin.png") {
            throw SimulatedKill();
        }
    };
    EXPECT_THROW(installation.Run(killed), SimulatedKill);

    installation.Ask(http_.Url("/not-there.zip"));
    before["update.ini"] = installation.dir.Read("update.ini");
    updater::UpdateOptions killedWhileRollingBack = installation.Options();
    killedWhileRollingBack.checkpoint = [](const std::string& step) {
        if (step.starts_with("restored ")) {
            throw SimulatedKill();
        }
    };
    EXPECT_THROW(installation.Run(killedWhileRollingBack), SimulatedKill);

    updater::UpdateOutcome last = installation.Run(installation.Options());
    EXPECT_EQ(last.status, updater::UpdateOutcome::Failed);
    EXPECT_EQ(installation.Take(), before);
}

}  // namespace

// The updater checks the archive's signature (the address + ".sig") before it extracts
// anything, and refuses a release older than the installed one even when it is signed.
TEST_F(UpdaterTest, OnlyASignedNewerReleaseIsInstalled) {
    TempDir keys;
    auto publicKey = install::CreateSigningKey(keys / "signing.key");
    ASSERT_TRUE(publicKey.Ok());
    const std::string client = NewClient();
    auto signedFor = [&](const std::string& bytes, const std::string& release) {
        keys.Write("client.zip", bytes);
        EXPECT_TRUE(install::SignFile(keys / "signing.key", keys / "client.zip", release).Ok());
        return keys.Read("client.zip.sig");
    };
    std::string tampered = client;
    tampered[tampered.size() / 2] ^= 0x10;
    http_.Put("/signed.zip", client);
    http_.Put("/signed.zip.sig", signedFor(client, "2.0"));
    http_.Put("/tampered.zip", tampered);
    http_.Put("/tampered.zip.sig", signedFor(client, "2.0"));
    http_.Put("/other-release.zip", client);
    http_.Put("/other-release.zip.sig", signedFor(client, "1.5"));
    http_.Put("/unsigned.zip", client);
    struct Case {
        const char* what;
        const char* path;
        const char* installed;  // usercfg.dat's version
        bool require;
        bool updated;
        const char* logged;
    } cases[] = {
        {"signed", "/signed.zip", "1.0", true, true, "signature is valid"},
        {"unsigned, require=0", "/unsigned.zip", "1.0", false, true, "not signed"},
        {"tampered", "/tampered.zip", "1.0", false, false, "签名无效，已拒绝安装"},
        {"missing, require=1", "/unsigned.zip", "1.0", true, false, "签名无效，已拒绝安装"},
        {"signed for another release", "/other-release.zip", "1.0", true, false,
         "签名无效，已拒绝安装"},
        {"older than installed", "/signed.zip", "2.1", true, false, "older than the installed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Installation installation(http_.Url(c.path));
        installation.dir.Write("usercfg.dat", std::string("[ravikver]\r\nversion=") + c.installed +
                                                  "\r\nsertime=100\r\n");
        Snapshot before = installation.Take();
        updater::UpdateOptions options = installation.Options();
        options.trust =
            install::TrustPolicy{{install::ParsePublicKey(publicKey.Value()).Value()}, c.require};

        updater::UpdateOutcome outcome = installation.Run(std::move(options));

        EXPECT_EQ(outcome.status == updater::UpdateOutcome::Updated, c.updated) << outcome.reason;
        EXPECT_NE(installation.Log().find(c.logged), std::string::npos) << installation.Log();
        if (!c.updated) {
            EXPECT_EQ(installation.Take(), before);
            EXPECT_EQ(installation.starts.size(), 1u);
        }
    }
}
