// ravikctl catalog: the three lists exactly as the launcher loads them, as one JSON object.
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "Command.h"
#include "catalog/Catalog.h"
#include "catalog/FileSystem.h"
#include "catalog/LauncherConfig.h"

namespace {

using Json = nlohmann::ordered_json;

Json ToolJson(const catalog::ToolRecord& t) {
    return Json{{"id", t.id},           {"TITLE", t.title},     {"INFO", t.info},
                {"TYPE", t.type},       {"URL", t.url},         {"EXENAME", t.exeName},
                {"VERSION", t.version}, {"PNGURL", t.pngUrl},   {"SCALE", t.scale},
                {"TIME", t.time},       {"GAMEID", t.gameId},   {"INSTALLED", t.installed},
                {"DIR", t.dir},         {"GAMEDIR", t.gameDir}, {"icon", t.icon}};
}

Json ToolsJson(const catalog::ToolList* list) {
    Json array = Json::array();
    if (list != nullptr) {
        for (const catalog::ToolRecord& t : *list) {
            array.push_back(ToolJson(t));
        }
    }
    return array;
}

Json GameJson(const catalog::GameRecord& g) {
    return Json{{"id", g.id},
                {"TITLE", g.title},
                {"INFO", g.info},
                {"EXENAME", g.exeName},
                {"DOWNURL", g.downUrl},
                {"SHOWWEB", g.showWeb},
                {"SITE", g.site},
                {"PNG", g.png},
                {"TIME", g.time},
                {"icon", g.icon},
                {"tools", ToolsJson(g.tools.get())},
                {"display", ToolsJson(g.display.get())}};
}

int PrintCatalog(const CommandContext& context) {
    if (!context.args.empty()) {
        return Fail("catalog takes no arguments");
    }
    // Paths in the output are full paths, also for a relative --data-dir.
    const std::string programDir = catalog::ProgramDirectory(context.programDir);
    std::error_code ec;
    if (!std::filesystem::is_directory(catalog::NativePath(programDir), ec)) {
        return Fail("no program directory at " + programDir);
    }
    catalog::Catalog cat(programDir);
    cat.LoadAll();
    Json games = Json::array();
    for (const catalog::GameRecord& g : cat.Games()) {
        games.push_back(GameJson(g));
    }
    Json out{{"games", std::move(games)},
             {"tools", ToolsJson(&cat.GeneralTools())},
             {"used", ToolsJson(&cat.Used())}};
    // Texts come from files users may have damaged; never let one bad byte lose the output.
    std::cout << out.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
    return 0;
}

const RegisterCommand registered(
    "catalog", "catalog              print the games, general tools and used list as JSON",
    PrintCatalog);

}  // namespace
