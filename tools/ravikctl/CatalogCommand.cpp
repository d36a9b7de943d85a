// ravikctl catalog: the three lists exactly as the launcher loads them, as one JSON object.
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "Command.h"
#include "catalog/Catalog.h"
#include "catalog/FileSystem.h"
#include "catalog/GameFields.h"
#include "catalog/LauncherConfig.h"
#include "catalog/ToolFields.h"

namespace {

using Json = nlohmann::ordered_json;

// A record's printed fields in the order of its field table: texts as JSON strings, numbers
// as JSON numbers.
template <typename Record>
Json RecordJson(const Record& record) {
    Json object = Json::object();
    for (const auto& field : catalog::FieldTable<Record>::kFields) {
        if (field.printed) {
            std::visit([&](auto member) { object[std::string(field.key)] = record.*member; },
                       field.member);
        }
    }
    return object;
}

Json ToolsJson(const catalog::ToolList* list) {
    Json array = Json::array();
    if (list != nullptr) {
        for (const catalog::ToolRecord& t : *list) {
            array.push_back(RecordJson(t));
        }
    }
    return array;
}

Json GameJson(const catalog::GameRecord& g) {
    Json object = RecordJson(g);
    object["tools"] = ToolsJson(g.tools.get());
    object["display"] = ToolsJson(g.display.get());
    return object;
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
