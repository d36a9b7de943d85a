#include "install/TrustPolicy.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "catalog/FileSystem.h"
#include "install/BuiltInKeys.h"
#include "install/HttpDownload.h"
#include "job/Log.h"
#include "platform/Paths.h"

namespace install {

namespace {

// A signature file is a few lines; anything much larger is not one.
constexpr std::size_t kSignatureLimit = 4096;

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(catalog::NativePath(path), std::ios::binary);
    std::string text;
    text.resize(kSignatureLimit);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

job::ResultOf<SignedArchive> Unsigned(const std::string& url, const std::string& why) {
    job::Log::Write(job::Log::Level::Warning,
                    "installing " + url + " without a signature check (" + why + ")");
    return SignedArchive{};
}

}  // namespace

TrustPolicy TrustPolicy::From(const std::string& builtInKeys, const catalog::LauncherConfig& config,
                              bool portable) {
    TrustPolicy policy;
    std::string bad;
    policy.keys = ParsePublicKeys(builtInKeys, &bad);
    const bool builtIn = !policy.keys.empty();
    if (portable) {
        for (PublicKey& key : ParsePublicKeys(config.trustKeys, &bad)) {
            policy.keys.push_back(std::move(key));
        }
    }
    if (!bad.empty()) {
        job::Log::Write(job::Log::Level::Warning, "not a publisher key, left out: " + bad);
    }
    policy.require = config.trustRequire < 0 ? builtIn : config.trustRequire == 1;
    return policy;
}

TrustPolicy TrustPolicy::ForProgram(const std::string& programDir) {
    return From(kBuiltInPublisherKeys, catalog::LauncherConfig::Load(programDir),
                !catalog::IsInstalledLauncher(platform::ExecutableDirectory()));
}

job::ResultOf<SignedArchive> TrustPolicy::CheckDownload(const std::string& url,
                                                        const std::string& archivePath,
                                                        const std::atomic<bool>* cancel) const {
    if (keys.empty() && !require) {
        // Nothing to check against: the data server is not even asked for a signature, so
        // servers without them work exactly as before.
        return Unsigned(url, "no publisher key");
    }
    const std::string sigUrl = url + kSignatureSuffix;
    const std::string sigPath = archivePath + kSignatureSuffix;
    HttpDownload download(sigUrl, sigPath);
    download.SetReplaceWhenComplete(true);
    download.SetCancelFlag(cancel);
    const DownloadResult fetched = download.Run();
    if (fetched.result.Is(job::Code::Cancelled)) {
        return fetched.result;
    }
    if (!fetched.Ok()) {
        const bool missing = fetched.httpStatus == 404 || fetched.httpStatus == 410;
        if (require) {
            return missing ? job::Result::Failed(job::Code::Untrusted, "no signature at " + sigUrl)
                           : fetched.result;
        }
        return Unsigned(url, missing ? "the server has no signature"
                                     : "the signature cannot be fetched: " + fetched.result.reason);
    }
    const std::string text = ReadSmallFile(sigPath);
    std::error_code ec;
    std::filesystem::remove(catalog::NativePath(sigPath), ec);
    job::ResultOf<SignedArchive> checked = VerifyFile(archivePath, text, keys);
    if (checked.Ok()) {
        job::Log::Write(job::Log::Level::Info,
                        url + ": signature valid (key " + checked->keyHex.substr(0, 16) + "…)");
    } else {
        job::Log::Failure("checking the signature of " + url, checked.Status());
    }
    return checked;
}

}  // namespace install
