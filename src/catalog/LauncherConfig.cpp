#include "catalog/LauncherConfig.h"

#include <filesystem>

#include "catalog/FileSystem.h"
#include "catalog/IniFile.h"
#include "platform/Paths.h"

namespace catalog {
namespace {

constexpr std::size_t kValueLimit = 1024;

// An installation puts the launcher in <prefix>/bin and its default data files here.
constexpr char kInstalledDataDir[] = "../share/ravik";
constexpr char kUserDirName[] = "Ravik";

std::filesystem::path InstalledDataDirectory(const std::string& executableDir) {
    return (NativePath(executableDir) / kInstalledDataDir).lexically_normal();
}

// Copies each file below `from` that `to` lacks. A file is copied under a temporary name and
// renamed into place, so an interrupted copy is never taken for a complete one. Failures are
// skipped: a missing default icon only leaves a tile without its picture.
void CopyMissingFiles(const std::filesystem::path& from, const std::filesystem::path& to) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileError;
        if (!it->is_regular_file(fileError)) {
            continue;
        }
        const fs::path target = to / it->path().lexically_relative(from);
        if (fs::exists(target, fileError)) {
            continue;
        }
        fs::path partial = target;
        partial += ".part";
        fs::create_directories(target.parent_path(), fileError);
        if (fs::copy_file(it->path(), partial, fs::copy_options::overwrite_existing, fileError)) {
            fs::rename(partial, target, fileError);
        }
        if (fileError) {
            fs::remove(partial, fileError);
        }
    }
}

std::string WithoutTrailingSlash(std::string url) {
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    return url;
}

}  // namespace

LauncherConfig LauncherConfig::Load(const std::string& programDir) {
    LauncherConfig config;
    IniFile file = IniFile::Load(programDir + "launcher.ini");
    config.serverHost = file.GetString("server", "host", config.serverHost, kValueLimit);
    uint32_t port = file.GetInt("server", "port", static_cast<uint32_t>(config.serverPort));
    if (port >= 1 && port <= 65535) {
        config.serverPort = static_cast<int>(port);
    }
    config.removalMarker =
        file.GetString("server", "removalmarker", config.removalMarker, kValueLimit);
    config.productUrl =
        WithoutTrailingSlash(file.GetString("web", "product", config.productUrl, kValueLimit));
    config.forumUrl =
        WithoutTrailingSlash(file.GetString("web", "forum", config.forumUrl, kValueLimit));
    config.downloadUrl =
        WithoutTrailingSlash(file.GetString("web", "download", config.downloadUrl, kValueLimit));
    const std::string require = file.GetString("trust", "require", "", kValueLimit);
    if (require == "0" || require == "1") {
        config.trustRequire = require == "1" ? 1 : 0;
    }
    config.trustKeys = file.GetString("trust", "key", "", kValueLimit);
    return config;
}

std::string ProgramDirectory(const std::string& dataDirOption) {
    std::string dir = dataDirOption;
    if (dir.empty()) {
        dir = platform::EnvironmentVariable("RAVIK_HOME");
    }
    if (dir.empty()) {
        return DefaultProgramDirectory(platform::ExecutableDirectory());
    }
    // Icons and tool directories are handed to other programs as full paths, so a relative
    // directory is made absolute once, here.
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(NativePath(dir), ec);
    return platform::WithTrailingSeparator(ec ? dir : Utf8Path(absolute));
}

bool IsInstalledLauncher(const std::string& executableDir) {
    std::error_code ec;
    return !platform::IsWritableDirectory(executableDir) ||
           std::filesystem::is_directory(InstalledDataDirectory(executableDir), ec);
}

namespace {

// The directory DefaultProgramDirectory takes for `executableDir`, neither made nor seeded.
std::string ChosenProgramDirectory(const std::string& executableDir) {
    const std::filesystem::path userHome = NativePath(platform::UserDataDirectory());
    if (executableDir.empty() || userHome.empty() || !IsInstalledLauncher(executableDir)) {
        return executableDir;
    }
    return platform::WithTrailingSeparator(Utf8Path(userHome / kUserDirName));
}

}  // namespace

std::string DefaultProgramDirectory(const std::string& executableDir) {
    namespace fs = std::filesystem;
    const std::string chosen = ChosenProgramDirectory(executableDir);
    if (chosen == executableDir) {
        return chosen;
    }
    std::error_code ec;
    fs::create_directories(NativePath(chosen), ec);
    const fs::path dataDir = InstalledDataDirectory(executableDir);
    if (fs::is_directory(dataDir, ec)) {
        CopyMissingFiles(dataDir, NativePath(chosen));
    }
    return chosen;
}

std::string LauncherProgramFile(const std::string& programDir) {
    const std::string portable = programDir + "Ravik_desk" + platform::kExecutableSuffix;
    if (FileExists(portable)) {
        return portable;
    }
    const std::string running = platform::ExecutablePath();
    return running.empty() ? portable : running;
}

LauncherStart LauncherStartFor(const std::string& programDir) {
    LauncherStart start{LauncherProgramFile(programDir), {}};
    if (ChosenProgramDirectory(platform::FolderOf(start.program)) != programDir) {
        start.args = {"--data-dir", programDir};
    }
    return start;
}

}  // namespace catalog
