#pragma once

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "TempDir.h"

// A program directory for widget tests, written as the launcher's INI files: games with
// their icons and tool files, general tools and used entries.
class ProgramFixture : public TempDir {
  public:
    struct Tool {
        uint32_t id;
        uint32_t type;
        std::string title;
        uint32_t gameId = 0;
        int installed = 0;
        // Without one, "http://tools.test/<id>".
        std::optional<std::string> url = std::nullopt;
    };

    // `count` games with ids first, first + 1, ... titled "游戏<n>" (n from 1), each with an
    // icon, in gamecfg.dat.
    void WriteGames(int count, uint32_t first = 1001) {
        std::vector<uint32_t> ids;
        for (int n = 0; n < count; ++n) {
            ids.push_back(first + static_cast<uint32_t>(n));
        }
        WriteGames(ids);
    }

    // Games with those ids; titled from `titles` as far as it goes, then "游戏<n>".
    void WriteGames(const std::vector<uint32_t>& ids, const std::vector<std::string>& titles = {}) {
        std::map<std::string, std::vector<std::string>> sections;
        for (std::size_t n = 0; n < ids.size(); ++n) {
            const std::string id = std::to_string(ids[n]);
            const std::string title =
                n < titles.size() ? titles[n] : "游戏" + std::to_string(n + 1);
            sections["NETGAME"].push_back(id);
            sections["TITLE"].push_back(title);
            sections["INFO"].push_back(title + "的介绍");
            sections["SHOWWEB"].push_back("http://games.test/" + id);
            sections["DOWNURL"].push_back("http://games.test/" + id + "/down");
            sections["SITE"].push_back("http://games.test/" + id + "/site");
            Write("GameIcon/" + id + ".png", Png(QColor(200, 60, 60)));
        }
        Write("gamecfg.dat", Ini("NETGAME", sections, ids.size()));
    }

    // The tool file of a game (its tools besides the four fixed entries).
    void WriteGameTools(uint32_t gameId, const std::vector<Tool>& tools) {
        Write("GameTool/" + std::to_string(gameId) + ".dat", ToolIni("TOOL", tools));
    }

    // `count` general tools of `type` with ids first, first + 1, ... titled "工具<n>".
    void WriteGeneralTools(int count, uint32_t type = 187, uint32_t first = 20001) {
        std::vector<Tool> tools;
        for (int n = 0; n < count; ++n) {
            tools.push_back(
                {first + static_cast<uint32_t>(n), type, "工具" + std::to_string(n + 1)});
        }
        WriteGeneralTools(tools);
    }
    void WriteGeneralTools(const std::vector<Tool>& tools) {
        Write("Normalcfg.dat", ToolIni("NormalTool", tools));
    }

    void WriteUsed(const std::vector<Tool>& tools) { Write("Usedcfg.dat", ToolIni("TOOL", tools)); }

    // A small PNG of one colour.
    static std::string Png(const QColor& colour, int size = 32) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes.toStdString();
    }

  private:
    static std::string Ini(const std::string& index,
                           const std::map<std::string, std::vector<std::string>>& sections,
                           std::size_t count) {
        std::string text = "[" + index + "]\nSIZE=" + std::to_string(count) + "\n";
        for (std::size_t i = 0; i < count; ++i) {
            text += std::to_string(i + 1) + "=" + sections.at(index)[i] + "\n";
        }
        for (const auto& [section, values] : sections) {
            if (section == index) {
                continue;
            }
            text += "[" + section + "]\n";
            for (std::size_t i = 0; i < values.size(); ++i) {
                text += std::to_string(i + 1) + "=" + values[i] + "\n";
            }
        }
        return text;
    }

    static std::string ToolIni(const std::string& index, const std::vector<Tool>& tools) {
        std::map<std::string, std::vector<std::string>> sections;
        for (const Tool& tool : tools) {
            sections[index].push_back(std::to_string(tool.id));
            sections["TITLE"].push_back(tool.title);
            sections["INFO"].push_back(tool.title + "的说明");
            sections["TYPE"].push_back(std::to_string(tool.type));
            sections["GAMEID"].push_back(std::to_string(tool.gameId));
            sections["INSTALLED"].push_back(std::to_string(tool.installed));
            sections["URL"].push_back(
                tool.url.value_or("http://tools.test/" + std::to_string(tool.id)));
            sections["EXENAME"].push_back("tool.exe");
        }
        return Ini(index, sections, tools.size());
    }
};
