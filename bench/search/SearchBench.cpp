// The search box on a large catalog: 2000 general tools and 300 games with 60 tools each
// (plus each game's four fixed entries), titled in Chinese like a real catalog. Measured per
// keystroke: matching every title, and the grid's whole answer (matching, dropping the last
// results, laying out the new ones and making the tiles of their first page). The baseline
// is the cheapest filter there is: a byte substring search over the same UTF-8 titles.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "catalog/GameRecord.h"
#include "catalog/SearchKey.h"
#include "catalog/ToolRecord.h"
#include "grid/GridContext.h"
#include "grid/GridView.h"

namespace {

constexpr uint32_t kGames = 300;
constexpr uint32_t kToolsPerGame = 60;
constexpr uint32_t kGeneralTools = 2000;
constexpr uint32_t kNamedGame = 150;  // "剑影江湖", whose tools carry its name

// Common characters of game and tool names; titles are drawn from them by a fixed sequence,
// so every run searches the same catalog.
const std::vector<std::string> kCharacters = [] {
    const std::string pool =
        "天龙八部神域传说征途梦幻西游诛仙剑侠情缘问道倚天屠龙记大话水浒三国志魔兽世界英雄联盟"
        "穿越火线地下城与勇士冒险岛跑跑卡丁车劲舞团热血江湖传奇霸业完美世界武林外史轩辕风云"
        "仙境奇迹光明之路星辰海洋山河战场王者荣耀";
    std::vector<std::string> out;
    for (std::size_t i = 0; i < pool.size(); i += 3) {
        out.push_back(pool.substr(i, 3));
    }
    return out;
}();
const std::vector<std::string> kToolKinds{"辅助", "攻略",   "补丁", "助手",  "插件",
                                          "地图", "计算器", "录像", "Patch", "Tool"};

class Sequence {
  public:
    uint32_t Next(uint32_t bound) {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) % bound;
    }

  private:
    uint32_t state_ = 12345;
};

std::string Name(Sequence& sequence, uint32_t length) {
    std::string name;
    for (uint32_t i = 0; i < length; ++i) {
        name += kCharacters[sequence.Next(static_cast<uint32_t>(kCharacters.size()))];
    }
    return name;
}

catalog::ToolRecord Tool(uint32_t id, uint32_t gameId, std::string title) {
    catalog::ToolRecord tool;
    tool.id = id;
    tool.gameId = gameId;
    tool.type = catalog::kTypeBrowser;
    tool.title = std::move(title);
    tool.info = tool.title + "的说明";
    return tool;
}

struct LargeCatalog {
    catalog::GameList games;
    catalog::ToolList generalTools;

    LargeCatalog() {
        Sequence sequence;
        for (uint32_t k = 0; k < kGames; ++k) {
            catalog::GameRecord game;
            game.id = 10001 + k;
            game.title = k == kNamedGame ? "剑影江湖" : Name(sequence, 2 + sequence.Next(3));
            game.tools = std::make_shared<catalog::ToolList>();
            for (uint32_t j = 0; j < kToolsPerGame; ++j) {
                const std::string& kind = kToolKinds[sequence.Next(kToolKinds.size())];
                const std::string title = k == kNamedGame
                                              ? game.title + kind
                                              : Name(sequence, 1 + sequence.Next(3)) + kind;
                game.tools->push_back(Tool(30000 + k * 100 + j, game.id, title));
            }
            game.display = std::make_shared<catalog::ToolList>();
            for (const char* entry : {"启动游戏", "下载游戏", "官方网站", "资料专区"}) {
                game.display->push_back(
                    Tool(catalog::FixedEntryId(game.id, 11u * (game.display->size() + 1)), game.id,
                         entry));
            }
            game.display->insert(game.display->end(), game.tools->begin(), game.tools->end());
            games.push_back(std::move(game));
        }
        for (uint32_t i = 1; i <= kGeneralTools; ++i) {
            generalTools.push_back(
                Tool(i, 0, Name(sequence, 2 + sequence.Next(3)) + kToolKinds[sequence.Next(10)]));
        }
    }

    std::vector<const std::string*> Titles() const {
        std::vector<const std::string*> titles;
        for (const catalog::GameRecord& game : games) {
            titles.push_back(&game.title);
            for (const catalog::ToolRecord& entry : *game.display) {
                titles.push_back(&entry.title);
            }
        }
        for (const catalog::ToolRecord& tool : generalTools) {
            titles.push_back(&tool.title);
        }
        return titles;
    }
};

const LargeCatalog& Catalog() {
    static const LargeCatalog catalog;
    return catalog;
}

const char* const kQueries[] = {"剑影", "jyjh", "jianying", "zzzz"};

// Baseline: the UTF-8 bytes of every title searched for the Chinese query.
void BM_ByteSubstringBaseline(benchmark::State& state) {
    const std::vector<const std::string*> titles = Catalog().Titles();
    for (auto _ : state) {
        std::size_t found = 0;
        for (const std::string* title : titles) {
            found += title->find("剑影") != std::string::npos ? 1 : 0;
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["titles"] = static_cast<double>(titles.size());
}
BENCHMARK(BM_ByteSubstringBaseline)->Unit(benchmark::kMicrosecond);

// Every title's key, as the first search of a view makes them.
void BM_MakeKeys(benchmark::State& state) {
    const std::vector<const std::string*> titles = Catalog().Titles();
    for (auto _ : state) {
        std::vector<catalog::SearchKey> keys;
        keys.reserve(titles.size());
        for (const std::string* title : titles) {
            keys.emplace_back(*title);
        }
        benchmark::DoNotOptimize(keys.data());
    }
}
BENCHMARK(BM_MakeKeys)->Unit(benchmark::kMicrosecond);

// Every title matched against one query: Chinese, initials, full pinyin, nothing found.
void BM_MatchKeys(benchmark::State& state) {
    std::vector<catalog::SearchKey> keys;
    for (const std::string* title : Catalog().Titles()) {
        keys.emplace_back(*title);
    }
    const std::u32string query = catalog::SearchKey::Query(kQueries[state.range(0)]);
    std::size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const catalog::SearchKey& key : keys) {
            found += key.Matches(query) ? 1 : 0;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetLabel(kQueries[state.range(0)]);
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_MatchKeys)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// The online-games view at its games (300 games and every game's 64 entries) or the general
// tools view, answering one keystroke after the first (its keys made).
void BM_GridSearch(benchmark::State& state) {
    const bool online = state.range(0) == 0;
    QWidget window;
    grid::GridContext context;
    auto* view = new grid::GridView(
        online ? catalog::ViewKind::OnlineGames : catalog::ViewKind::GeneralTools, context,
        &window);
    if (online) {
        for (const catalog::GameRecord& game : Catalog().games) {
            view->AddGameTile(game);
        }
        view->SetGames(&Catalog().games);
    } else {
        for (const catalog::ToolRecord& tool : Catalog().generalTools) {
            view->AddToolTile(tool);
        }
    }
    view->LayOutTiles();
    view->ShowFirstPage();
    const QString query = QString::fromUtf8(kQueries[state.range(1)]);
    view->Search(query);
    for (auto _ : state) {
        view->Search(query);
        // What the event loop does next in the launcher: the last results' tiles go, and the
        // events the new ones posted are delivered.
        QCoreApplication::sendPostedEvents();
    }
    state.SetLabel(std::string(online ? "online games " : "general tools ") +
                   kQueries[state.range(1)]);
    state.counters["found"] = static_cast<double>(view->ItemCount());
}
BENCHMARK(BM_GridSearch)
    ->ArgsProduct({{0, 1}, benchmark::CreateDenseRange(0, 3, 1)})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
