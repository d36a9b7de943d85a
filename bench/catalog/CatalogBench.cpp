// Catalog benchmarks on a large program directory (300 games x 60 tools, 2000 general tools,
// 1000 used entries), each against a baseline measured in the same run:
// - loading all three catalogs against reading the same files and splitting them into lines;
// - 500 PutTool changes applied as one batch against the same changes saved one by one.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "LargeCatalog.h"
#include "TempDir.h"
#include "catalog/Catalog.h"
#include "catalog/FileSystem.h"

namespace {

// One generated directory for the whole run.
const TempDir& Large() {
    static TempDir dir;
    static bool made = [] {
        MakeLargeProgramDirectory(dir.dir());
        return true;
    }();
    (void)made;
    return dir;
}

void BM_ReadAndSplitLines(benchmark::State& state) {
    const std::vector<std::string> files = CatalogFiles(Large().dir());
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::size_t lines = 0;
        for (const std::string& path : files) {
            std::string text;
            std::string error;
            catalog::ReadFileBytes(path, text, error);
            std::vector<std::string_view> split;
            std::size_t pos = 0;
            while (pos < text.size()) {
                std::size_t nl = text.find('\n', pos);
                std::size_t end = nl == std::string::npos ? text.size() : nl;
                split.emplace_back(text.data() + pos, end - pos);
                pos = end + 1;
            }
            lines += split.size();
            bytes += text.size();
            benchmark::DoNotOptimize(split.data());
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ReadAndSplitLines)->Unit(benchmark::kMillisecond);

void BM_LoadAllCatalogs(benchmark::State& state) {
    const std::string dir = Large().dir();
    std::size_t bytes = 0;
    for (const std::string& path : CatalogFiles(dir)) {
        bytes += std::filesystem::file_size(path);
    }
    for (auto _ : state) {
        auto cat = std::make_unique<catalog::Catalog>(dir);
        cat->LoadAll();
        // Releasing the lists is not loading; it is measured on its own below.
        state.PauseTiming();
        if (cat->Games().size() != 300 || cat->GeneralTools().size() != 2000 ||
            cat->Used().size() != 1000) {
            state.SkipWithError("the large catalog did not load whole");
        }
        cat.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
}
BENCHMARK(BM_LoadAllCatalogs)->Unit(benchmark::kMillisecond);

// The same reading split into lines of their own, as a line-by-line reader keeps them.
void BM_ReadAndSplitLinesToStrings(benchmark::State& state) {
    const std::vector<std::string> files = CatalogFiles(Large().dir());
    for (auto _ : state) {
        std::size_t lines = 0;
        for (const std::string& path : files) {
            std::ifstream in(path, std::ios::binary);
            std::vector<std::string> split;
            for (std::string line; std::getline(in, line);) {
                split.push_back(std::move(line));
            }
            lines += split.size();
            benchmark::DoNotOptimize(split.data());
        }
        benchmark::DoNotOptimize(lines);
    }
}
BENCHMARK(BM_ReadAndSplitLinesToStrings)->Unit(benchmark::kMillisecond);

void BM_ReleaseLoadedCatalogs(benchmark::State& state) {
    const std::string dir = Large().dir();
    for (auto _ : state) {
        state.PauseTiming();
        auto cat = std::make_unique<catalog::Catalog>(dir);
        cat->LoadAll();
        state.ResumeTiming();
        cat.reset();
    }
}
BENCHMARK(BM_ReleaseLoadedCatalogs)->Unit(benchmark::kMillisecond);

// 500 changed tools as a synchronisation delivers them: every other one a general tool, the
// rest spread over the games.
std::vector<std::pair<uint32_t, catalog::ToolRecord>> Changes(const catalog::Catalog& cat) {
    std::vector<std::pair<uint32_t, catalog::ToolRecord>> changes;
    for (uint32_t i = 0; i < 500; ++i) {
        catalog::ToolRecord tool;
        uint32_t game = 0;
        if (i % 2 == 0) {
            tool = cat.GeneralTools()[(i * 37) % cat.GeneralTools().size()];
        } else {
            const catalog::GameRecord& g = cat.Games()[(i * 7) % cat.Games().size()];
            tool = (*g.tools)[i % g.tools->size()];
            game = g.id;
        }
        tool.version = "9.9." + std::to_string(i);
        tool.time = 1800000000 + i;
        changes.emplace_back(game, tool);
    }
    return changes;
}

void ApplyChanges(benchmark::State& state, bool batched) {
    TempDir work;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(work.path());
        std::filesystem::copy(Large().path(), work.path(),
                              std::filesystem::copy_options::recursive);
        catalog::Catalog cat(work.dir());
        cat.LoadAll();
        auto changes = Changes(cat);
        state.ResumeTiming();
        if (batched) {
            catalog::Catalog::Batch batch(cat);
            for (const auto& [game, tool] : changes) {
                cat.PutTool(game, tool);
            }
            if (!batch.Commit().ok()) {
                state.SkipWithError("the batch could not be saved");
            }
        } else {
            for (const auto& [game, tool] : changes) {
                if (!cat.PutTool(game, tool).ok()) {
                    state.SkipWithError("a change could not be saved");
                }
            }
        }
    }
}

void BM_PutTool500Batched(benchmark::State& state) {
    ApplyChanges(state, true);
}
BENCHMARK(BM_PutTool500Batched)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PutTool500SavedOneByOne(benchmark::State& state) {
    ApplyChanges(state, false);
}
BENCHMARK(BM_PutTool500SavedOneByOne)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
