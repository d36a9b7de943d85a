#include "StagedArchive.h"

#include <algorithm>
#include <set>

#include "UpdateRules.h"
#include "install/ZipArchive.h"

namespace updater {

StagedFiles StageArchive(const std::string& archivePath, const std::string& stagingDir) {
    StagedFiles staged;
    auto fail = [&staged](std::string why, job::Code code = job::Code::BadData) {
        staged.result = job::Result::Failed(code, std::move(why));
        staged.files.clear();
        return staged;
    };
    if (!install::CreateDirectoryPath(stagingDir)) {
        return fail("cannot make the folder " + stagingDir, job::Code::WriteFailed);
    }
    install::ZipArchive archive;
    if (install::ZipResult r = archive.OpenArchive(archivePath); r != install::ZipResult::Ok) {
        return fail("the download is not a readable zip archive: " + install::DescribeZipResult(r));
    }
    if (install::ZipResult r = archive.SetBaseDirectory(stagingDir); r != install::ZipResult::Ok) {
        return fail(stagingDir + ": " + install::DescribeZipResult(r));
    }
    install::ZipEntry entry;
    archive.GetEntry(-1, entry);
    const std::int64_t count = entry.index;
    std::set<std::string> seen;
    for (std::int64_t i = 0; i < count; ++i) {
        if (install::ZipResult r = archive.GetEntry(i, entry); r != install::ZipResult::Ok) {
            return fail("entry " + std::to_string(i + 1) +
                        " of the archive: " + install::DescribeZipResult(r));
        }
        std::string name = entry.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        if (entry.IsDirectory() && !entry.IsSymbolicLink()) {
            continue;
        }
        if (std::string refused = RefusedReason(name); !refused.empty()) {
            return fail("the archive may not write " + refused);
        }
        if (!seen.insert(FoldCase(name)).second) {
            return fail("the archive names \"" + name + "\" twice");
        }
        if (install::ZipResult r = archive.ExtractEntry(i, name); r != install::ZipResult::Ok) {
            return fail("\"" + name + "\" in the archive: " + install::DescribeZipResult(r));
        }
        staged.files.push_back(std::move(name));
    }
    if (staged.files.empty()) {
        return fail("the archive holds no files");
    }
    staged.result = job::Result::Done();
    return staged;
}

}  // namespace updater
