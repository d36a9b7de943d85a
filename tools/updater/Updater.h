#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "FileReplacer.h"
#include "UpdateLog.h"
#include "UpdateRequest.h"
#include "install/TrustPolicy.h"

namespace updater {

struct UpdateOptions {
    // How long the launcher gets to exit before the update gives up.
    std::chrono::milliseconds launcherWait{30000};
    std::chrono::milliseconds pollInterval{250};
    // Download: time without data after which a transfer counts as broken, time to reach the
    // server, how often a broken transfer is taken up again and the pause before each retry.
    std::chrono::seconds stallTimeout{30};
    std::chrono::seconds connectTimeout{15};
    int downloadRetries = 2;
    std::chrono::milliseconds downloadRetryPause{1000};
    // Tries of each file move and the pause between them.
    int moveAttempts = 3;
    std::chrono::milliseconds movePause{500};
    // Whether the launcher still runs; the default looks for a process of the current user
    // started from Ravik_desk in the program directory.
    std::function<bool()> launcherRunning;
    // Starts the launcher (its path, its working directory); the default starts the program.
    std::function<bool(const std::string& program, const std::string& directory)> startLauncher;
    // Seams of the file replacement (FileReplacer).
    MoveFn move;
    CheckpointFn checkpoint;
    // Set from another thread (or a signal handler) to stop waiting and downloading. Once
    // files are moving the replacement is finished or rolled back first.
    const std::atomic<bool>* stop = nullptr;
    // Every log line also to standard error.
    bool echoLog = false;
    // Which archives are trusted; default: install::TrustPolicy::ForProgram of the program
    // directory (the keys built into this updater, launcher.ini).
    std::optional<install::TrustPolicy> trust;
};

struct UpdateOutcome {
    enum Status {
        Updated,         // the new files are in place and usercfg.dat claims the new version
        AlreadyCurrent,  // usercfg.dat already claims the requested version: nothing to do
        Failed,          // the launcher's files and usercfg.dat's version are as before
        Stopped,         // asked to stop before the files moved: nothing changed
    };
    Status status = Failed;
    std::string reason;  // for Failed and Stopped
    bool launcherStarted = false;
};

// The updater: given the program directory (with or without its trailing separator) it
// carries out the update that update.ini asks for:
//  1. waits, bounded, until the launcher has exited;
//  2. finishes or rolls back an update an earlier run left half done (update.journal);
//  3. reads update.ini: version, sertime and clientadd in section "ravikver";
//  4. takes the archive the launcher fetched (update.zip) as UpdateWork/client.zip, or when
//     there is none downloads clientadd there (retries, stall detection, HTTP status);
//  5. checks the archive's publisher signature (clientadd + ".sig", install::TrustPolicy)
//     and refuses a release older than the one usercfg.dat claims (a replayed old update);
//     the release is the one the signature names, else update.ini's;
//  6. extracts it into UpdateWork/new, which checks it is a complete zip with good CRCs and
//     only files an update may write;
//  7. replaces the launcher's files with the journal (FileReplacer), rolling back on failure;
//  8. writes version and sertime of usercfg.dat section "ravikver";
//  9. removes UpdateWork and the journal and starts Ravik_desk again.
// Whatever fails, the launcher's previous files stay (or are put back), usercfg.dat does not
// claim the new version, and the previous launcher is started again. Every step is logged to
// update.log in the program directory.
class Updater {
  public:
    Updater(const std::string& programDir, UpdateOptions options = {});

    UpdateOutcome Run();

    const std::string& ProgramDirectory() const { return programDir_; }

  private:
    bool WaitForLauncherExit();
    // Finishes or rolls back what an earlier run left half done; false (with the problem)
    // when that cannot be done.
    bool RecoverEarlierRun(std::string& problem);
    // Records the version of a replacement that is done and cleans up; when the version
    // cannot be recorded the files are rolled back instead.
    bool Commit(const UpdateJournal& journal, std::string& problem);
    bool Download(const std::string& url, const std::string& path, std::string& problem);
    // Moves the launcher's update.zip to `archive`; false when there is none to take (one
    // that cannot be moved is deleted: it must not be taken by a later run for another
    // request).
    bool TakeFetchedArchive(const std::string& archive);
    // The signature and release checks of step 5; an empty text when the archive may be
    // installed, else why not.
    std::string RefusalOf(const std::string& archive, const UpdateRequest& request);
    bool StopRequested() const;
    UpdateOutcome End(UpdateOutcome::Status status, std::string reason, bool startLauncher);

    std::string programDir_;
    UpdateOptions options_;
    UpdateLog log_;
    FileReplacer replacer_;
};

}  // namespace updater
