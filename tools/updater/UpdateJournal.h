#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalog/Outcome.h"

namespace updater {

// One file an update puts into the program directory.
struct JournalFile {
    std::string path;       // relative to the program directory, folders separated by '/'
    bool replaces = false;  // an older file stands there and is kept in the backup folder
};

// The plan of one file replacement, saved before the first file moves, so that an updater
// killed half-way can be finished or rolled back by the next run. Saved atomically as UTF-8
// text, one record per line:
//
//   Rv_Update journal 1
//   version <new version>
//   sertime <new release stamp>
//   folder <relative path>     a folder the update creates, parents first
//   replace <relative path>    a file whose original goes to UpdateWork/old
//   add <relative path>        a file that did not exist before
//   state ready|done
//
// "ready": files may be moving; the next run rolls them all back. "done": every file is in
// place; the next run records the version and cleans up.
struct UpdateJournal {
    enum class State { Ready, Done };

    std::string version;
    std::string sertime;
    std::vector<std::string> newFolders;
    std::vector<JournalFile> files;
    State state = State::Ready;

    std::string Serialize() const;
    catalog::Outcome Save(const std::string& path) const;

    enum class ReadStatus { Missing, Ok, Damaged };
    struct ReadResult {
        ReadStatus status = ReadStatus::Missing;
        std::string error;  // for Damaged
    };
    // Loads `path` into `journal`.
    static ReadResult Read(const std::string& path, UpdateJournal& journal);
    // Parses journal text; false with `error` when it is not a journal this program wrote.
    static bool Parse(std::string_view text, UpdateJournal& journal, std::string& error);
};

}  // namespace updater
