#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Programs.h"
#include "TempDir.h"
#include "catalog/IniFile.h"

// A launcher's program directory, empty at first, that `ravikctl sync` fills from a data
// server; read back the way the launcher reads its catalog files.
class LauncherProgramDir : public TempDir {
  public:
    ProgramRun Sync(const std::string& serverAddress) const {
        return RunProgram({RAVIKCTL_PATH, "--data-dir", dir(), "--server", serverAddress, "sync"});
    }
    // The ids of an index section ("NETGAME", "TOOL", ...) of a catalog file, in order.
    std::vector<uint32_t> Listed(const std::string& relative, const std::string& index) const {
        catalog::IniFile file = catalog::IniFile::Load(*this / relative);
        std::vector<uint32_t> ids;
        for (uint32_t i = 1; i <= file.GetInt(index, "SIZE", 0); ++i) {
            ids.push_back(file.GetInt(index, std::to_string(i), 0));
        }
        return ids;
    }
    std::string Value(const std::string& relative, const std::string& section,
                      const std::string& key) const {
        return catalog::ReadProfileString(*this / relative, section, key, "<missing>", 1000);
    }
};
