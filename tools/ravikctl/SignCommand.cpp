// ravikctl sign-keygen and sign: the publisher's side of the signature checks. The secret key
// stays with whoever builds releases; the launcher and the updater carry its public key.
#include <iostream>

#include "Command.h"
#include "install/ArchiveSignature.h"
#include "platform/Paths.h"

namespace {

constexpr char kDefaultKeyFile[] = "ravik-signing.key";

int KeyGen(const CommandContext& context) {
    if (context.args.size() > 1) {
        return Fail("sign-keygen wants at most KEYFILE");
    }
    const std::string keyFile = context.args.empty() ? kDefaultKeyFile : context.args[0];
    job::ResultOf<std::string> key = install::CreateSigningKey(keyFile);
    if (!key.Ok()) {
        return Fail(key.Status().reason);
    }
    std::cerr << "secret key written to " << keyFile << "; the public key:\n";
    std::cout << key.Value() << "\n";
    return 0;
}

int Sign(const CommandContext& context) {
    std::string keyFile = platform::EnvironmentVariable("RAVIK_SIGNING_KEY");
    std::string release;
    std::vector<std::string> files;
    const auto& args = context.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--key" && i + 1 < args.size()) {
            keyFile = args[++i];
        } else if (args[i] == "--release" && i + 1 < args.size()) {
            release = args[++i];
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.empty()) {
        return Fail("sign wants [--key KEYFILE] [--release VERSION] FILE...");
    }
    if (keyFile.empty()) {
        keyFile = kDefaultKeyFile;
    }
    for (const std::string& file : files) {
        if (job::Result signedFile = install::SignFile(keyFile, file, release); !signedFile.Ok()) {
            return Fail(signedFile.reason);
        }
    }
    return 0;
}

const RegisterCommand keygen("sign-keygen",
                             "sign-keygen [KEYFILE]  make a publisher key pair (default "
                             "ravik-signing.key), print the public key",
                             KeyGen);
const RegisterCommand sign(
    "sign",
    "sign [--key KEYFILE] [--release VERSION] FILE...  write FILE.sig beside each FILE "
    "(key: --key, else $RAVIK_SIGNING_KEY, else ravik-signing.key)",
    Sign);

}  // namespace
