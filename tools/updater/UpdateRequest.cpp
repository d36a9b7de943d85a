#include "UpdateRequest.h"

#include "UpdateRules.h"
#include "catalog/FileSystem.h"
#include "catalog/IniFile.h"
#include "catalog/UserSettings.h"

namespace updater {

namespace {

constexpr const char* kSection = "ravikver";
// Generous: the values are carried over whole, never cut, so a long address still works.
constexpr std::size_t kValueLimit = 4096;

}  // namespace

UpdateRequest ReadUpdateRequest(const std::string& programDir) {
    UpdateRequest request;
    std::string path = programDir + kRequestFile;
    if (!catalog::FileExists(path)) {
        request.problem = "there is no " + path;
        return request;
    }
    catalog::IniFile ini = catalog::IniFile::Load(path);
    request.version = ini.GetString(kSection, "version", "", kValueLimit);
    request.sertime = ini.GetString(kSection, "sertime", "", kValueLimit);
    request.clientadd = ini.GetString(kSection, "clientadd", "", kValueLimit);
    for (auto [key, value] :
         {std::pair{"clientadd", &request.clientadd}, std::pair{"version", &request.version},
          std::pair{"sertime", &request.sertime}}) {
        if (value->empty()) {
            request.problem = path + " gives no " + key;
            break;
        }
    }
    return request;
}

InstalledVersion ReadInstalledVersion(const std::string& programDir) {
    catalog::IniFile ini = catalog::IniFile::Load(catalog::UserSettings(programDir).FilePath());
    return {ini.GetString(kSection, "version", "", kValueLimit),
            ini.GetString(kSection, "sertime", "", kValueLimit)};
}

catalog::Outcome RecordInstalledVersion(const std::string& programDir, const std::string& version,
                                        const std::string& sertime) {
    catalog::IniFile ini = catalog::IniFile::Load(catalog::UserSettings(programDir).FilePath());
    ini.Set(kSection, "version", version);
    ini.Set(kSection, "sertime", sertime);
    return ini.Save();
}

}  // namespace updater
