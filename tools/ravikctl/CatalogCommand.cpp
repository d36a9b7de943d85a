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

Json ToolJson(const catalog::CGameTool& t) {
    return Json{{"id", t.id},           {"TITLE", t.TITLE},     {"INFO", t.INFO},
                {"TYPE", t.TYPE},       {"URL", t.URL},         {"EXENAME", t.EXENAME},
                {"VERSION", t.VERSION}, {"PNGURL", t.PNGURL},   {"SCALE", t.SCALE},
                {"TIME", t.TIME},       {"GAMEID", t.GAMEID},   {"INSTALLED", t.INSTALLED},
                {"DIR", t.DIR},         {"GAMEDIR", t.GAMEDIR}, {"icon", t.icon}};
}

Json ToolsJson(const catalog::ToolList* list) {
    Json array = Json::array();
    if (list != nullptr) {
        for (const catalog::CGameTool& t : *list) {
            array.push_back(ToolJson(t));
        }
    }
    return array;
}

Json GameJson(const catalog::CNetGame& g) {
    return Json{{"id", g.id},
                {"TITLE", g.TITLE},
                {"INFO", g.INFO},
                {"EXENAME", g.EXENAME},
                {"DOWNURL", g.DOWNURL},
                {"SHOWWEB", g.SHOWWEB},
                {"SITE", g.SITE},
                {"PNG", g.PNG},
                {"TIME", g.TIME},
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
    for (const catalog::CNetGame& g : cat.Games()) {
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
