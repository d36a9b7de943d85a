#include "UpdateJournal.h"

#include "UpdateRules.h"
#include "catalog/FileSystem.h"

namespace updater {

namespace {

constexpr std::string_view kHeader = "Rv_Update journal 1";

}  // namespace

std::string UpdateJournal::Serialize() const {
    std::string text(kHeader);
    text += "\nversion " + version + "\nsertime " + sertime + "\n";
    for (const std::string& folder : newFolders) {
        text += "folder " + folder + "\n";
    }
    for (const JournalFile& file : files) {
        text += (file.replaces ? "replace " : "add ") + file.path + "\n";
    }
    text += state == State::Done ? "state done\n" : "state ready\n";
    return text;
}

catalog::Outcome UpdateJournal::Save(const std::string& path) const {
    return catalog::WriteFileAtomically(path, Serialize());
}

bool UpdateJournal::Parse(std::string_view text, UpdateJournal& journal, std::string& error) {
    journal = UpdateJournal{};
    bool sawHeader = false;
    bool sawState = false;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!sawHeader) {
            if (line != kHeader) {
                error = "it does not start with \"" + std::string(kHeader) + "\"";
                return false;
            }
            sawHeader = true;
            continue;
        }
        if (sawState) {
            error = "line " + std::to_string(lineNumber) + " follows the state";
            return false;
        }
        std::size_t space = line.find(' ');
        std::string_view key = line.substr(0, space);
        std::string value(space == std::string_view::npos ? std::string_view()
                                                          : line.substr(space + 1));
        if (key == "version") {
            journal.version = value;
        } else if (key == "sertime") {
            journal.sertime = value;
        } else if (key == "folder" || key == "replace" || key == "add") {
            // The paths are checked again, so that not even a damaged journal can make the
            // updater move or delete anything outside the launcher's own files.
            if (std::string refused = RefusedReason(value); !refused.empty()) {
                error = "line " + std::to_string(lineNumber) + ": " + refused;
                return false;
            }
            if (key == "folder") {
                journal.newFolders.push_back(value);
            } else {
                journal.files.push_back({value, key == "replace"});
            }
        } else if (key == "state" && (value == "ready" || value == "done")) {
            journal.state = value == "done" ? State::Done : State::Ready;
            sawState = true;
        } else {
            error = "line " + std::to_string(lineNumber) + " is not understood";
            return false;
        }
    }
    if (!sawState) {
        error = "it has no state";
        return false;
    }
    return true;
}

UpdateJournal::ReadResult UpdateJournal::Read(const std::string& path, UpdateJournal& journal) {
    std::string bytes;
    std::string error;
    switch (catalog::ReadFileBytes(path, bytes, error)) {
        case catalog::ReadStatus::Missing:
            return {ReadStatus::Missing, {}};
        case catalog::ReadStatus::Failed:
            return {ReadStatus::Damaged, error};
        case catalog::ReadStatus::Ok:
            break;
    }
    if (!Parse(bytes, journal, error)) {
        return {ReadStatus::Damaged, path + ": " + error};
    }
    return {ReadStatus::Ok, {}};
}

}  // namespace updater
