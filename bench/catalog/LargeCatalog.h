#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A large program directory for the catalog benchmarks, written with the catalog writers so
// the files look exactly like the ones the launcher keeps.
struct LargeCatalogSize {
    uint32_t games = 300;
    uint32_t toolsPerGame = 60;
    uint32_t generalTools = 2000;
    uint32_t usedEntries = 1000;
};

// Writes gamecfg.dat, GameTool/<id>.dat, Normalcfg.dat, Usedcfg.dat and the game icons into
// `dir` (with a trailing separator).
void MakeLargeProgramDirectory(const std::string& dir, const LargeCatalogSize& size = {});

// Every catalog file of such a directory, as the loaders read them.
std::vector<std::string> CatalogFiles(const std::string& dir, const LargeCatalogSize& size = {});

// Game k (from 0) has id 10001 + k and tools 30000 + 100 k + j; general tools are 1, 2, ...
uint32_t GameId(uint32_t k);
uint32_t GameToolId(uint32_t k, uint32_t j);
