// Publisher signatures: the file format and its checks, the trust policy's rules, and a tool
// download that is refused before anything of it is extracted.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "FileHttpServer.h"
#include "TempDir.h"
#include "ZipBuilder.h"
#include "install/ArchiveSignature.h"
#include "install/DownloadInstallJob.h"
#include "install/TrustPolicy.h"

namespace fs = std::filesystem;

namespace {

// A publisher with a key pair in a temporary directory, signing files there.
struct Publisher {
    Publisher() {
        auto made = install::CreateSigningKey(dir / "signing.key");
        EXPECT_TRUE(made.Ok()) << made.Status().reason;
        keyHex = made.Value();
    }
    // The bytes of `content`'s signature for `release`.
    std::string Sign(const std::string& content, const std::string& release = {}) const {
        dir.Write("file", content);
        job::Result signedFile = install::SignFile(dir / "signing.key", dir / "file", release);
        EXPECT_TRUE(signedFile.Ok()) << signedFile.reason;
        return dir.Read("file.sig");
    }
    install::PublicKey Key() const { return install::ParsePublicKey(keyHex).Value(); }

    TempDir dir;
    std::string keyHex;
};

std::string ToolArchive() {
    return ziptest::Build({ziptest::Dir("Tool/"), ziptest::File("Tool/readme.txt", "hello")});
}

TEST(ArchiveSignature, OnlyTheSignedBytesWithTheSignersKeyPass) {
    const Publisher publisher;
    const Publisher stranger;
    const std::string archive = ToolArchive();
    const std::string signature = publisher.Sign(archive, "2.0");
    std::string flipped = archive;
    flipped[flipped.size() / 2] ^= 0x01;
    std::string otherRelease = signature;
    otherRelease.replace(otherRelease.find("release 2.0"), 11, "release 3.0");
    std::string badHex = signature;
    badHex[badHex.find("signature ") + 12] =
        badHex[badHex.find("signature ") + 12] == 'a' ? 'b' : 'a';
    struct Case {
        const char* what;
        std::string file;
        std::string signature;
        std::vector<install::PublicKey> keys;
        bool valid;
    } cases[] = {
        {"signed", archive, signature, {publisher.Key()}, true},
        {"one of several keys", archive, signature, {stranger.Key(), publisher.Key()}, true},
        {"one byte changed", flipped, signature, {publisher.Key()}, false},
        {"a byte appended", archive + "x", signature, {publisher.Key()}, false},
        {"another key", archive, signature, {stranger.Key()}, false},
        {"no key", archive, signature, {}, false},
        {"release changed", archive, otherRelease, {publisher.Key()}, false},
        {"signature changed", archive, badHex, {publisher.Key()}, false},
        {"not a signature", archive, "<html>404</html>", {publisher.Key()}, false},
        {"empty", archive, "", {publisher.Key()}, false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir.Write("archive.zip", c.file);
        auto checked = install::VerifyFile(dir / "archive.zip", c.signature, c.keys);
        EXPECT_EQ(checked.Ok(), c.valid) << checked.Status().reason;
        if (checked.Ok()) {
            EXPECT_EQ(checked->release, "2.0");
            EXPECT_TRUE(checked->verified);
        } else {
            EXPECT_TRUE(checked.Status().Is(job::Code::Untrusted)) << checked.Status().Describe();
        }
    }
}

TEST(ArchiveSignature, AKeyFileIsNeverOverwritten) {
    Publisher publisher;
    const std::string key = publisher.dir.Read("signing.key");
    EXPECT_FALSE(install::CreateSigningKey(publisher.dir / "signing.key").Ok());
    EXPECT_EQ(publisher.dir.Read("signing.key"), key);
}

TEST(TrustPolicy, BuiltInKeysDecideTheDefaultAndOnlyAPortableCopyAddsKeys) {
    const Publisher builtIn;
    const Publisher added;
    struct Case {
        const char* what;
        std::string builtInKeys;
        int require;  // launcher.ini [trust] require, -1: not given
        bool portable;
        std::size_t keys;
        bool required;
    } cases[] = {
        {"no key built in", "", -1, true, 1, false},
        {"a key built in", builtIn.keyHex, -1, true, 2, true},
        {"built in, require=0", builtIn.keyHex, 0, true, 2, false},
        {"none built in, require=1", "", 1, true, 1, true},
        {"installed launcher", builtIn.keyHex, -1, false, 1, true},
        {"garbage built in", "xyz", -1, true, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        catalog::LauncherConfig config;
        config.trustRequire = c.require;
        config.trustKeys = added.keyHex + " not-a-key";
        install::TrustPolicy policy = install::TrustPolicy::From(c.builtInKeys, config, c.portable);
        EXPECT_EQ(policy.keys.size(), c.keys);
        EXPECT_EQ(policy.require, c.required);
    }
}

// A tool download under each policy and each signature the server may hold: what is refused
// leaves neither the archive nor anything extracted, and says why in the user's words.
TEST(DownloadInstallJob, TheSignatureDecidesBeforeAnythingIsExtracted) {
    const Publisher publisher;
    const Publisher stranger;
    const std::string archive = ToolArchive();
    std::string tampered = archive;
    tampered[tampered.size() / 3] ^= 0x20;
    FileHttpServer server;
    server.Put("/signed.zip", archive);
    server.Put("/signed.zip.sig", publisher.Sign(archive));
    server.Put("/tampered.zip", tampered);
    server.Put("/tampered.zip.sig", publisher.Sign(archive));
    server.Put("/stranger.zip", archive);
    server.Put("/stranger.zip.sig", stranger.Sign(archive));
    server.Put("/garbage.zip", archive);
    server.Put("/garbage.zip.sig", "<html>not here</html>");
    server.Put("/unsigned.zip", archive);
    struct Case {
        const char* what;
        const char* path;
        bool require;
        job::Code code;
    } cases[] = {
        {"signed", "/signed.zip", true, job::Code::Ok},
        {"tampered", "/tampered.zip", true, job::Code::Untrusted},
        {"tampered, require=0", "/tampered.zip", false, job::Code::Untrusted},
        {"signed by a stranger", "/stranger.zip", false, job::Code::Untrusted},
        {"not a signature", "/garbage.zip", false, job::Code::Untrusted},
        {"missing, require=1", "/unsigned.zip", true, job::Code::Untrusted},
        {"missing, require=0", "/unsigned.zip", false, job::Code::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir program;
        install::DownloadInstallJob job(program.dir(), [&] {
            catalog::ToolRecord tool;
            tool.id = 42;
            tool.title = "测试工具";
            tool.url = server.Url(c.path);
            tool.exeName = "readme.txt";
            tool.type = catalog::kTypeProgram;
            return tool;
        }());
        job.SetStartProgram(false);
        job.SetTrustPolicy(install::TrustPolicy{{publisher.Key()}, c.require});
        job::Result result;
        std::thread worker([&] { result = job.Start(nullptr); });
        worker.join();
        EXPECT_EQ(result.code, c.code) << result.Describe();
        EXPECT_EQ(fs::exists(program.PathOf("LocalGameTool/42/readme.txt")), result.Ok());
        if (!result.Ok()) {
            EXPECT_FALSE(fs::exists(program.PathOf("LocalGameTool/42")));
            EXPECT_FALSE(fs::exists(program.PathOf("ToolDownload/42.zip")));
            EXPECT_FALSE(fs::exists(program.PathOf("ToolDownload/42.zip.part")));
        }
        EXPECT_FALSE(fs::exists(program.PathOf("ToolDownload/42.zip.sig")));
    }
}

}  // namespace
