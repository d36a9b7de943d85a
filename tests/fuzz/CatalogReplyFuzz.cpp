// Catalog and ranking replies as the data server might send them, applied to the catalog
// files of a scratch program directory: nothing crashes, no id 0 and no line break reaches
// a change, and the files load again afterwards.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <variant>

#include "catalog/Catalog.h"
#include "catalog/FileSystem.h"
#include "server/CatalogReply.h"
#include "server/SyncApply.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool OneLine(const std::string& text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

const std::string& ProgramDir() {
    static const std::string dir = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("ravik-fuzz-reply-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path.string() + "/";
    }();
    return dir;
}

struct ChangeCheck {
    void operator()(const server::PutGameChange& c) const {
        Require(c.game.id != 0);
        Require(OneLine(c.game.title) && OneLine(c.game.info) && OneLine(c.game.exeName) &&
                OneLine(c.game.downUrl) && OneLine(c.game.png) && OneLine(c.game.site) &&
                OneLine(c.game.showWeb));
    }
    void operator()(const server::PutToolChange& c) const {
        Require(c.tool.id != 0);
        Require(OneLine(c.tool.title) && OneLine(c.tool.info) && OneLine(c.tool.exeName) &&
                OneLine(c.tool.url) && OneLine(c.tool.version) && OneLine(c.tool.pngUrl));
    }
    void operator()(const server::DropGameChange& c) const { Require(c.gameId != 0); }
    void operator()(const server::DropToolChange& c) const { Require(c.toolId != 0); }
    void operator()(const server::SetPxTimeChange& c) const { Require(OneLine(c.stamp)); }
    void operator()(const server::RaiseLastTimeChange&) const {}
    void operator()(const server::RankGamesChange&) const {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    server::SyncChanges changes;
    if (data[0] & 1) {
        server::ApplyRankingReply(input, changes);
    } else {
        server::ApplyCatalogReply(input, (data[0] & 2) != 0, {ProgramDir(), "8053"}, changes);
    }
    for (const auto& change : changes.changes) {
        std::visit(ChangeCheck{}, change);
    }
    catalog::EmptyDirectory(ProgramDir());
    catalog::Catalog catalog(ProgramDir());
    catalog.LoadAll();
    if (server::ApplySyncChanges(catalog, changes).ok()) {
        catalog::Catalog reloaded(ProgramDir());
        reloaded.LoadAll();
    }
    return 0;
}
