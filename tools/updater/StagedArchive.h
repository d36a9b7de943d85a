#pragma once

#include <string>
#include <vector>

#include "install/ToolInstall.h"
#include "job/Result.h"

namespace updater {

// What staging an archive gave: the files it holds, as paths relative to the program
// directory with folders separated by '/', in archive order.
struct StagedFiles {
    job::Result result;
    std::vector<std::string> files;
};

// Extracts the whole update archive into `stagingDir`, which mirrors the program directory:
// an entry "Ravik_desk" replaces the launcher, "plugins/x" a file in its plugins folder.
// Every entry is checked before anything of the launcher is touched: the archive must open as
// a zip, every entry's data must be complete and match its CRC-32, no entry may be a link
// or leave the folder, and every file must be one an update may write (RefusedReason); two
// entries may not name the same file. Folder entries only make folders. An archive without
// a single file is refused too.
StagedFiles StageArchive(const std::string& archivePath, const std::string& stagingDir);

}  // namespace updater
