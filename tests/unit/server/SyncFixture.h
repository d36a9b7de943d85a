#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TempDir.h"
#include "catalog/Catalog.h"
#include "catalog/IniFile.h"
#include "server/CatalogReply.h"
#include "server/Frame.h"
#include "server/SyncApply.h"

// A program directory of its own, helpers that write catalog replies as the data server
// sends them, and helpers that read the catalog files the changes end up in.
class SyncFixture : public ::testing::Test {
  public:
    using Fields = std::vector<std::string>;

    // The 15 data fields of a game record.
    static Fields Game(const std::string& id, const std::string& title, const std::string& png = "",
                       const std::string& time = "100") {
        return {"",
                "186",
                id,
                "",
                title,
                "",
                "",
                "info " + title,
                "http://down/" + id,
                "game.exe",
                png,
                "http://site/" + id,
                "http://show/" + id,
                "",
                time};
    }

    // The 15 data fields of a tool record.
    static Fields Tool(const std::string& type, const std::string& gameId, const std::string& id,
                       const std::string& pngurl = "", const std::string& time = "100") {
        return {"",        type,         gameId,
                id,        "tool " + id, "1.0",
                "3",       "info " + id, "http://files/" + id + ".zip",
                "run.exe", pngurl,       "",
                "",        "note",       time};
    }

    // The 5 data fields of a removal record.
    static Fields Removal(const std::string& auth, const std::string& games,
                          const std::string& tools, const std::string& stamp) {
        return {auth, games, tools, stamp, ""};
    }

    // A catalog reply: the first record opens with the three fields the client skips.
    static std::string Reply(const std::vector<Fields>& records) {
        std::string text;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (i > 0) {
                text += server::kRecordSeparator;
            }
            Fields fields = records[i];
            if (i == 0) {
                fields.insert(fields.begin(), {"^3", "0000000000", "x"});
            }
            for (std::size_t k = 0; k < fields.size(); ++k) {
                if (k > 0) {
                    text += server::kFieldSeparator;
                }
                text += fields[k];
            }
        }
        return text;
    }

    // A ranking reply with its list and stamp.
    static std::string Ranking(const std::string& flag, const std::string& list,
                               const std::string& stamp) {
        Fields fields{"^9", "0000000000", "x", flag, list, stamp};
        std::string text;
        for (std::size_t k = 0; k < fields.size(); ++k) {
            text += (k > 0 ? std::string(1, server::kFieldSeparator) : std::string()) + fields[k];
        }
        return text;
    }

  protected:
    server::SyncChanges Read(const std::string& reply, bool cut = false) {
        server::SyncChanges changes;
        server::ApplyCatalogReply(reply, cut, {dir.dir(), "8053"}, changes);
        return changes;
    }

    catalog::Outcome Apply(const server::SyncChanges& changes) {
        catalog::Catalog catalog(dir.dir());
        return server::ApplySyncChanges(catalog, changes);
    }

    // Puts games (with icon files, so the loaders list them) and tools into the catalog
    // files as earlier synchronisations would have.
    void StoreGames(const std::vector<uint32_t>& ids) {
        catalog::Catalog catalog(dir.dir());
        catalog.LoadAll();
        for (uint32_t id : ids) {
            catalog::GameRecord game;
            game.id = id;
            game.title = "game " + std::to_string(id);
            ASSERT_TRUE(catalog.PutGame(game, 1000).ok());
            dir.Write("GameIcon/" + std::to_string(id) + ".png", "png");
        }
    }
    void StoreTool(uint32_t gameId, uint32_t toolId) {
        catalog::Catalog catalog(dir.dir());
        catalog.LoadAll();
        catalog::ToolRecord tool;
        tool.id = toolId;
        tool.gameId = gameId;
        tool.type = 187;
        tool.title = "tool " + std::to_string(toolId);
        ASSERT_TRUE(catalog.PutTool(gameId, tool).ok());
    }

    // The ids listed in a catalog file's index section, in file order.
    std::vector<uint32_t> Listed(const std::string& relative, const std::string& index) const {
        catalog::IniFile file = catalog::IniFile::Load(dir / relative);
        std::vector<uint32_t> ids;
        for (uint32_t i = 1; i <= file.GetInt(index, "SIZE", 0); ++i) {
            ids.push_back(file.GetInt(index, std::to_string(i), 0));
        }
        return ids;
    }
    std::vector<uint32_t> GameIds() const { return Listed("gamecfg.dat", "NETGAME"); }
    std::vector<uint32_t> GeneralToolIds() const { return Listed("Normalcfg.dat", "NormalTool"); }
    std::vector<uint32_t> GameToolIds(uint32_t game) const {
        return Listed("GameTool/" + std::to_string(game) + ".dat", "TOOL");
    }
    std::string Setting(const std::string& key) const {
        return catalog::ReadProfileString(dir / "usercfg.dat", "ravikver", key, "<missing>", 200);
    }
    std::string Value(const std::string& relative, const std::string& section,
                      const std::string& key) const {
        return catalog::ReadProfileString(dir / relative, section, key, "<missing>", 1000);
    }

    TempDir dir;
};
