#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TempDir.h"
#include "catalog/Catalog.h"
#include "catalog/IniFile.h"

// A program directory of its own and a Catalog on it, with helpers that write catalog files
// the way the data server's synchronisation leaves them.
class CatalogFixture : public ::testing::Test {
  protected:
    struct ToolRow {
        uint32_t id;
        uint32_t type;
        std::string title;
        int installed = 0;
    };
    struct GameRow {
        uint32_t id;
        std::string title;
        bool icon = true;
    };

    void WriteKeys(const std::string& relative, const std::vector<std::vector<std::string>>& keys) {
        catalog::IniFile file = catalog::IniFile::Load(dir / relative);
        for (const auto& k : keys) {
            file.Set(k.at(0), k.at(1), k.at(2));
        }
        ASSERT_TRUE(file.Save().ok());
    }

    void WriteTools(const std::string& relative, const std::string& index,
                    const std::vector<ToolRow>& rows) {
        std::vector<std::vector<std::string>> keys;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::string key = std::to_string(i + 1);
            keys.push_back({index, key, std::to_string(rows[i].id)});
            keys.push_back({"TITLE", key, rows[i].title});
            keys.push_back({"TYPE", key, std::to_string(rows[i].type)});
            keys.push_back({"INSTALLED", key, std::to_string(rows[i].installed)});
        }
        keys.push_back({index, "SIZE", std::to_string(rows.size())});
        WriteKeys(relative, keys);
    }

    void WriteGames(const std::vector<GameRow>& rows) {
        std::vector<std::vector<std::string>> keys;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::string key = std::to_string(i + 1);
            keys.push_back({"NETGAME", key, std::to_string(rows[i].id)});
            keys.push_back({"TITLE", key, rows[i].title});
            keys.push_back({"SHOWWEB", key, "http://show/" + std::to_string(rows[i].id)});
            keys.push_back({"DOWNURL", key, "http://down/" + std::to_string(rows[i].id)});
            keys.push_back({"SITE", key, "http://site/" + std::to_string(rows[i].id)});
            if (rows[i].icon) {
                dir.Write("GameIcon/" + std::to_string(rows[i].id) + ".png", "png");
            }
        }
        keys.push_back({"NETGAME", "SIZE", std::to_string(rows.size())});
        WriteKeys("gamecfg.dat", keys);
    }

    std::string Value(const std::string& relative, const std::string& section,
                      const std::string& key) const {
        return catalog::ReadProfileString(dir / relative, section, key, "<missing>", 10000);
    }

    std::vector<uint32_t> Ids(const catalog::ToolList& list) const {
        std::vector<uint32_t> ids;
        for (const auto& t : list) {
            ids.push_back(t.id);
        }
        return ids;
    }

    std::string P(const std::string& relative) const { return dir / relative; }

    TempDir dir;
    catalog::Catalog cat{dir.dir()};
};
