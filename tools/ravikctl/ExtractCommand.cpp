// ravikctl extract: installs an archive into a directory exactly as a downloaded tool is
// installed (top folder stripped, names cleaned, unsafe entries refused).
#include <iostream>

#include "Command.h"
#include "install/ToolInstall.h"

namespace {

int Extract(const CommandContext& context) {
    if (context.args.size() != 2) {
        return Fail("extract wants ARCHIVE DIR");
    }
    const std::string& archive = context.args[0];
    const std::string& directory = context.args[1];
    if (!install::CreateDirectoryPath(directory)) {
        return Fail("cannot create the directory " + directory);
    }
    job::Result result = install::InstallArchive(archive, directory);
    if (!result.Ok()) {
        return Fail(result.reason);
    }
    return 0;
}

const RegisterCommand registered(
    "extract", "extract ARCHIVE DIR  install a zip archive into DIR as a tool is installed",
    Extract);

}  // namespace
