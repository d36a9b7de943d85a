#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "UpdateJournal.h"
#include "install/ToolInstall.h"
#include "job/Result.h"

namespace updater {

class UpdateLog;

// Renames a file or folder to another path on the same volume. The default is
// platform::RenameOver; tests replace it to make a move fail.
using MoveFn = std::function<std::error_code(const std::filesystem::path& from,
                                             const std::filesystem::path& to)>;
// Called after every step that changed the disk, with a short description. Tests throw from
// it to leave the disk exactly as an updater killed at that moment would.
using CheckpointFn = std::function<void(const std::string& step)>;

// Puts the staged new files (UpdateWork/new) into the program directory, keeping each file
// it replaces in UpdateWork/old, with the journal saved before the first move. Every move is
// a rename within the program directory, so each file is at any moment either the old or
// the new one, never a mix.
class FileReplacer {
  public:
    FileReplacer(std::string programDir, const UpdateLog& log);

    void SetMove(MoveFn move);
    void SetCheckpoint(CheckpointFn checkpoint);
    // How often a failed move is tried (at least once) and the pause between tries: on
    // Windows a file that was just closed can stay locked for a moment by virus scanners.
    void SetAttempts(int attempts, std::chrono::milliseconds pause);

    std::string WorkDirectory() const;     // UpdateWork
    std::string StagingDirectory() const;  // UpdateWork/new
    std::string BackupDirectory() const;   // UpdateWork/old
    std::string JournalPath() const;       // update.journal

    // The journal for putting the staged `files` (relative paths) into place: which replace
    // an older file and which folders must be made. Fails when a folder or a link stands
    // where a file goes, or a file where a folder is needed.
    job::Result Plan(const std::vector<std::string>& files, UpdateJournal& journal) const;

    // Saves the journal as ready, makes the new folders, moves each original to the backup
    // folder and its new file into place, and saves the journal as done. When anything fails
    // every file is rolled back before it returns the reason.
    job::Result Replace(UpdateJournal& journal);

    // Brings back the launcher's files as they were before `journal` was carried out, from
    // any point of Replace: originals return from the backup folder, added files and folders
    // go. Only when everything is back is the journal removed; otherwise it stays, so the next
    // run tries again.
    job::Result RollBack(const UpdateJournal& journal);

    // Removes the work folder; false when something of it is left.
    bool RemoveWorkDirectory() const;
    bool RemoveJournal() const;

  private:
    std::filesystem::path InProgram(const std::string& relative) const;
    std::filesystem::path InWork(const char* folder, const std::string& relative) const;
    std::error_code Move(const std::filesystem::path& from, const std::filesystem::path& to);
    void Checkpoint(const std::string& step);
    job::Result FailAndRollBack(const UpdateJournal& journal, const std::string& why);

    std::string programDir_;
    const UpdateLog& log_;
    MoveFn move_;
    CheckpointFn checkpoint_;
    int attempts_ = 3;
    std::chrono::milliseconds pause_{500};
};

}  // namespace updater
