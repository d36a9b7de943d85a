#include "LargeCatalog.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "catalog/Catalog.h"

using namespace catalog;

uint32_t GameId(uint32_t k) {
    return 10001 + k;
}
uint32_t GameToolId(uint32_t k, uint32_t j) {
    return 30000 + k * 100 + j;
}

namespace {

// Texts of realistic length: Chinese titles and descriptions, web addresses.
ToolRecord MakeTool(uint32_t id, uint32_t type, uint32_t time) {
    ToolRecord t;
    t.id = id;
    t.type = type;
    t.title = "游戏工具" + std::to_string(id);
    t.info =
        "这是一个用于测试的游戏工具说明，编号" + std::to_string(id) + "，内容长度接近真实目录。";
    t.url = "http://download.example/tools/" + std::to_string(id) + ".zip";
    t.exeName = "Tool" + std::to_string(id) + ".exe";
    t.version = "2.3." + std::to_string(id % 10);
    t.pngUrl = "http://download.example/icons/" + std::to_string(id) + ".png";
    t.scale = 100;
    t.time = time;
    return t;
}

void Check(const Outcome& outcome) {
    if (!outcome.ok()) {
        throw std::runtime_error(outcome.reason);
    }
}

}  // namespace

void MakeLargeProgramDirectory(const std::string& dir, const LargeCatalogSize& size) {
    Catalog cat(dir);
    std::filesystem::create_directories(cat.Path("GameIcon"));
    uint32_t time = 1700000000;
    for (uint32_t k = 0; k < size.games; ++k) {
        GameRecord g;
        g.id = GameId(k);
        g.title = "网络游戏" + std::to_string(g.id);
        g.info = "大型多人在线角色扮演游戏，编号" + std::to_string(g.id) + "，探索广阔的奇幻世界。";
        g.exeName = "Game" + std::to_string(g.id) + ".exe";
        g.downUrl = "http://www.example/games/" + std::to_string(g.id) + "/download.html";
        g.showWeb = "http://www.example/games/" + std::to_string(g.id) + "/index.html";
        g.site = "http://www.example/games/" + std::to_string(g.id) + "/site.html";
        g.png = "http://www.example/icons/" + std::to_string(g.id) + ".png";
        g.time = time++;
        g.tools = std::make_shared<ToolList>();
        for (uint32_t j = 0; j < size.toolsPerGame; ++j) {
            ToolRecord t = MakeTool(GameToolId(k, j), 187 + j % 6, time++);
            t.gameId = g.id;
            g.tools->push_back(std::move(t));
        }
        cat.Games().push_back(std::move(g));
        std::ofstream(cat.GameIconPath(GameId(k)), std::ios::binary) << "png";
    }
    Catalog::Batch batch(cat);
    Check(cat.WriteGames());
    for (uint32_t k = 0; k < size.games; ++k) {
        Check(cat.WriteTools(GameId(k)));
    }
    for (uint32_t i = 1; i <= size.generalTools; ++i) {
        cat.GeneralTools().push_back(MakeTool(i, 187 + i % 6, time++));
    }
    Check(cat.WriteTools(0));
    for (uint32_t i = 0; i < size.usedEntries; ++i) {
        ToolRecord t = MakeTool(i % 2 == 0 ? i / 2 + 1 : GameToolId(i % size.games, i % 60),
                                187 + i % 6, time++);
        cat.Used().push_back(std::move(t));
    }
    Check(cat.WriteUsed());
    Check(batch.Commit());
}

std::vector<std::string> CatalogFiles(const std::string& dir, const LargeCatalogSize& size) {
    Catalog cat(dir);
    std::vector<std::string> files = {cat.GameConfigPath(), cat.GeneralToolsPath(), cat.UsedPath()};
    for (uint32_t k = 0; k < size.games; ++k) {
        files.push_back(cat.GameToolsPath(GameId(k)));
    }
    return files;
}
