#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Autostart.h"

namespace platform {
namespace {

std::filesystem::path EntryPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (config != nullptr && *config != '\0') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home != nullptr ? home : ".") / ".config";
    }
    return base / "autostart" / "Ravik.desktop";
}

// Desktop-entry Exec quoting: the path in double quotes with ", `, $ and \ escaped.
std::string QuoteExec(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

}  // namespace

bool SetAutostart(const std::string& programFile) {
    std::error_code ec;
    auto path = EntryPath();
    std::filesystem::create_directories(path.parent_path(), ec);
    auto temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Ravik\n"
               "Exec="
            << QuoteExec(programFile)
            << "\n"
               "X-GNOME-Autostart-enabled=true\n";
        if (!out.flush()) {
            return false;
        }
    }
    std::filesystem::rename(temp, path, ec);
    return !ec;
}

bool RemoveAutostart() {
    std::error_code ec;
    std::filesystem::remove(EntryPath(), ec);
    return !ec;
}

std::string AutostartProgram() {
    std::ifstream in(EntryPath());
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Exec=", 0) != 0) {
            continue;
        }
        std::string value = line.substr(5);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            std::string out;
            for (size_t i = 1; i + 1 < value.size(); ++i) {
                if (value[i] == '\\' && i + 2 < value.size()) {
                    ++i;
                }
                out.push_back(value[i]);
            }
            return out;
        }
        return value;
    }
    return {};
}

}  // namespace platform
