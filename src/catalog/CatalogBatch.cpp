// The documents a running operation or batch holds open, and the list writes a batch
// owes its files until it ends.
#include <utility>

#include "catalog/Catalog.h"

namespace catalog {

IniFile& Catalog::Open(const std::string& path) {
    FlushPending(path);
    auto it = open_.find(path);
    if (it == open_.end()) {
        it = open_.emplace(path, IniFile::Load(path)).first;
    }
    return it->second;
}

const IniFile& Catalog::Read(const std::string& path, IniFile& scratch) {
    FlushPending(path);
    return ReadCached(path, scratch);
}

const IniFile& Catalog::ReadCached(const std::string& path, IniFile& scratch) const {
    auto it = open_.find(path);
    if (it != open_.end()) {
        return it->second;
    }
    scratch = IniFile::Load(path);
    return scratch;
}

Outcome Catalog::Finish(const std::string& path) {
    if (batchDepth_ > 0) {
        return Outcome::Ok();
    }
    auto it = open_.find(path);
    if (it == open_.end()) {
        return Outcome::Ok();
    }
    Outcome outcome = it->second.Save();
    open_.erase(it);
    return outcome;
}

void Catalog::FlushPending(const std::string& path) {
    if (pendingGames_ && path == GameConfigPath()) {
        pendingGames_ = false;
        WriteGamesNow();
    } else if (pendingUsed_ && path == UsedPath()) {
        pendingUsed_ = false;
        WriteUsedNow();
    } else if (auto it = pendingTools_.find(path); it != pendingTools_.end()) {
        uint32_t gameId = it->second;
        pendingTools_.erase(it);
        WriteToolsNow(gameId);
    }
}

void Catalog::FlushAllPending() {
    while (!pendingTools_.empty()) {
        FlushPending(pendingTools_.begin()->first);
    }
    FlushPending(GameConfigPath());
    FlushPending(UsedPath());
}

Outcome Catalog::SaveOpenFiles() {
    FlushAllPending();
    Outcome outcome;
    for (auto& [path, file] : open_) {
        KeepFirstFailure(outcome, file.Save());
    }
    open_.clear();
    // The stamp goes last and only after every catalog file was saved.
    const uint32_t stamp = std::exchange(raisedLastTime_, 0);
    if (stamp == 0) {
        return outcome;
    }
    if (outcome.ok()) {
        return settings_.RaiseLastTime(stamp);
    }
    if (stamp > settings_.LastTime()) {
        outcome.reason += "; the change stamps were not saved, so the changes come again";
    }
    return outcome;
}

Catalog::Batch::Batch(Catalog& catalog) : catalog_(&catalog) {
    ++catalog_->batchDepth_;
}

Catalog::Batch::~Batch() {
    Commit();
}

Outcome Catalog::Batch::Commit() {
    if (committed_) {
        return Outcome::Ok();
    }
    committed_ = true;
    if (catalog_->batchDepth_ > 1) {
        --catalog_->batchDepth_;
        return Outcome::Ok();
    }
    // Still inside the batch while the pending lists are written, so they go to the open
    // documents and everything is saved together below.
    Outcome outcome = catalog_->SaveOpenFiles();
    catalog_->batchDepth_ = 0;
    return outcome;
}

}  // namespace catalog
