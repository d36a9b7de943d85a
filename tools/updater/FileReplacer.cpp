#include "FileReplacer.h"

#include <set>
#include <thread>

#include "UpdateLog.h"
#include "UpdateRules.h"
#include "catalog/FileSystem.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace updater {

namespace fs = std::filesystem;

namespace {

constexpr const char* kStagingFolder = "new";
constexpr const char* kBackupFolder = "old";

std::error_code RenameFile(const fs::path& from, const fs::path& to) {
    return platform::RenameOver(catalog::Utf8Path(from), catalog::Utf8Path(to));
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::string Describe(const std::error_code& ec) {
    return ec.message();
}

}  // namespace

FileReplacer::FileReplacer(std::string programDir, const UpdateLog& log)
    : programDir_(platform::WithTrailingSeparator(std::move(programDir))),
      log_(log),
      move_(RenameFile) {}

void FileReplacer::SetMove(MoveFn move) {
    move_ = move ? std::move(move) : MoveFn(RenameFile);
}

void FileReplacer::SetCheckpoint(CheckpointFn checkpoint) {
    checkpoint_ = std::move(checkpoint);
}

void FileReplacer::SetAttempts(int attempts, std::chrono::milliseconds pause) {
    attempts_ = attempts < 1 ? 1 : attempts;
    pause_ = pause;
}

std::string FileReplacer::WorkDirectory() const {
    return programDir_ + kWorkFolder;
}

std::string FileReplacer::StagingDirectory() const {
    return WorkDirectory() + platform::kSeparator + kStagingFolder;
}

std::string FileReplacer::BackupDirectory() const {
    return WorkDirectory() + platform::kSeparator + kBackupFolder;
}

std::string FileReplacer::JournalPath() const {
    return programDir_ + kJournalFile;
}

fs::path FileReplacer::InProgram(const std::string& relative) const {
    return catalog::NativePath(programDir_ + relative);
}

fs::path FileReplacer::InWork(const char* folder, const std::string& relative) const {
    return catalog::NativePath(WorkDirectory() + platform::kSeparator + folder +
                               platform::kSeparator + relative);
}

std::error_code FileReplacer::Move(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    for (int attempt = 1; attempt <= attempts_; ++attempt) {
        ec = move_(from, to);
        if (!ec) {
            break;
        }
        if (attempt < attempts_) {
            std::this_thread::sleep_for(pause_);
        }
    }
    return ec;
}

void FileReplacer::Checkpoint(const std::string& step) {
    if (checkpoint_) {
        checkpoint_(step);
    }
}

job::Result FileReplacer::Plan(const std::vector<std::string>& files,
                               UpdateJournal& journal) const {
    journal.newFolders.clear();
    journal.files.clear();
    journal.state = UpdateJournal::State::Ready;
    std::set<std::string> planned;
    for (const std::string& relative : files) {
        for (std::size_t slash = relative.find('/'); slash != std::string::npos;
             slash = relative.find('/', slash + 1)) {
            std::string folder = relative.substr(0, slash);
            if (planned.contains(folder)) {
                continue;
            }
            std::error_code ec;
            fs::file_status status = fs::symlink_status(InProgram(folder), ec);
            if (!fs::exists(status)) {
                journal.newFolders.push_back(folder);
                planned.insert(folder);
            } else if (!fs::is_directory(status)) {
                return job::Result::Failed(job::Code::BadData,
                                           "the update needs a folder \"" + folder +
                                               "\", but something else stands there");
            } else {
                planned.insert(folder);
            }
        }
        std::error_code ec;
        fs::file_status status = fs::symlink_status(InProgram(relative), ec);
        if (fs::exists(status) && !fs::is_regular_file(status)) {
            return job::Result::Failed(job::Code::BadData,
                                       "the update puts a file at \"" + relative +
                                           "\", but a folder or link stands there");
        }
        journal.files.push_back({relative, fs::exists(status)});
    }
    return job::Result::Done();
}

job::Result FileReplacer::FailAndRollBack(const UpdateJournal& journal, const std::string& why) {
    log_.Write("replacing failed: " + why);
    job::Result back = RollBack(journal);
    if (!back.Ok()) {
        return job::Result::Failed(job::Code::WriteFailed,
                                   why + "; rolling back failed too: " + back.reason);
    }
    return job::Result::Failed(job::Code::WriteFailed, why);
}

job::Result FileReplacer::Replace(UpdateJournal& journal) {
    journal.state = UpdateJournal::State::Ready;
    if (catalog::Outcome saved = journal.Save(JournalPath()); !saved.ok()) {
        return job::Result::Failed(job::Code::WriteFailed,
                                   "cannot save the journal: " + saved.reason);
    }
    Checkpoint("journal ready");
    for (const std::string& folder : journal.newFolders) {
        std::error_code ec;
        fs::create_directory(InProgram(folder), ec);
        if (ec) {
            return FailAndRollBack(journal,
                                   "cannot make the folder \"" + folder + "\": " + Describe(ec));
        }
        Checkpoint("made " + folder);
    }
    for (const JournalFile& file : journal.files) {
        fs::path target = InProgram(file.path);
        fs::path staged = InWork(kStagingFolder, file.path);
        if (file.replaces) {
            fs::path backup = InWork(kBackupFolder, file.path);
            std::error_code ec;
            // A program that was startable stays startable, also when the archive was made
            // on a system without execute permissions.
            fs::perms execute =
                fs::status(target, ec).permissions() &
                (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
            if (!ec && execute != fs::perms::none) {
                fs::permissions(staged, execute, fs::perm_options::add, ec);
            }
            fs::create_directories(backup.parent_path(), ec);
            if (ec = Move(target, backup); ec) {
                return FailAndRollBack(journal, "cannot move \"" + file.path +
                                                    "\" to the backup folder: " + Describe(ec));
            }
            Checkpoint("kept " + file.path);
        }
        if (std::error_code ec = Move(staged, target); ec) {
            return FailAndRollBack(
                journal, "cannot put the new \"" + file.path + "\" in place: " + Describe(ec));
        }
        log_.Write((file.replaces ? "replaced " : "added ") + file.path);
        Checkpoint("put " + file.path);
    }
    journal.state = UpdateJournal::State::Done;
    if (catalog::Outcome saved = journal.Save(JournalPath()); !saved.ok()) {
        journal.state = UpdateJournal::State::Ready;
        return FailAndRollBack(journal, "cannot save the journal: " + saved.reason);
    }
    Checkpoint("journal done");
    return job::Result::Done();
}

job::Result FileReplacer::RollBack(const UpdateJournal& journal) {
    std::string problems;
    auto note = [&problems](const std::string& problem) {
        problems += (problems.empty() ? "" : "; ") + problem;
    };
    int restored = 0;
    for (auto it = journal.files.rbegin(); it != journal.files.rend(); ++it) {
        fs::path target = InProgram(it->path);
        std::error_code ec;
        if (!it->replaces) {
            if (!Exists(target)) {
                continue;
            }
            if (!fs::remove(target, ec)) {
                note("cannot remove the added \"" + it->path + "\": " + Describe(ec));
                continue;
            }
            Checkpoint("removed " + it->path);
            continue;
        }
        fs::path backup = InWork(kBackupFolder, it->path);
        // Without a backup the original never left its place.
        if (!Exists(backup)) {
            continue;
        }
        // The new file goes first: Windows does not rename over a file that is read-only.
        if (Exists(target)) {
            fs::permissions(target, fs::perms::owner_write, fs::perm_options::add, ec);
            fs::remove(target, ec);
        }
        if (ec = Move(backup, target); ec) {
            note("cannot bring back \"" + it->path + "\": " + Describe(ec));
            continue;
        }
        ++restored;
        Checkpoint("restored " + it->path);
    }
    for (auto it = journal.newFolders.rbegin(); it != journal.newFolders.rend(); ++it) {
        std::error_code ec;
        // Only an empty folder goes: whatever else may have been put there stays.
        fs::remove(InProgram(*it), ec);
    }
    log_.Write("rolled back: " + std::to_string(restored) + " file(s) restored" +
               (problems.empty() ? std::string() : ", problems: " + problems));
    if (!problems.empty()) {
        return job::Result::Failed(job::Code::WriteFailed, problems);
    }
    if (!RemoveJournal()) {
        return job::Result::Failed(job::Code::WriteFailed,
                                   "cannot remove the journal " + JournalPath());
    }
    return job::Result::Done();
}

bool FileReplacer::RemoveWorkDirectory() const {
    std::error_code ec;
    fs::remove_all(catalog::NativePath(WorkDirectory()), ec);
    return !Exists(catalog::NativePath(WorkDirectory()));
}

bool FileReplacer::RemoveJournal() const {
    std::error_code ec;
    fs::remove(catalog::NativePath(JournalPath()), ec);
    return !ec;
}

}  // namespace updater
