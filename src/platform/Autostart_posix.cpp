#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Autostart.h"
#include "platform/ProductVersion.h"

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

// A desktop entry's string value: a backslash, and the control characters a line cannot
// hold, escaped.
std::string EscapeValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string UnescapeValue(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out.push_back(value[i]);
            continue;
        }
        switch (const char c = value[++i]) {
            case 's':
                out.push_back(' ');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

// One argument of an Exec line, before the value's own escaping: in double quotes with ", `, $
// and \ escaped by a backslash, and % doubled (a single one starts a field code). The value's
// escaping then doubles every backslash, so a backslash of the path is four in the file.
std::string QuoteExecArgument(const std::string& arg) {
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out.push_back('\\');
        } else if (c == '%') {
            out.push_back('%');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// The arguments of an Exec value whose string escapes are undone.
std::vector<std::string> SplitExec(const std::string& exec) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
                continue;
            }
            if (c == '\\' && i + 1 < exec.size()) {
                c = exec[++i];
            }
        } else if (c == ' ' || c == '\t') {
            if (inArgument) {
                args.push_back(current);
                current.clear();
                inArgument = false;
            }
            continue;
        } else if (c == '"') {
            quoted = true;
            inArgument = true;
            continue;
        }
        if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
            ++i;
        }
        current.push_back(c);
        inArgument = true;
    }
    if (inArgument) {
        args.push_back(current);
    }
    return args;
}

}  // namespace

bool SetAutostart(const std::string& programFile, const std::vector<std::string>& args) {
    std::string exec = QuoteExecArgument(programFile);
    for (const std::string& arg : args) {
        exec += ' ' + QuoteExecArgument(arg);
    }
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
               "Icon="
            << kAppId << "\nTryExec=" << EscapeValue(programFile) << "\nExec=" << EscapeValue(exec)
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

std::vector<std::string> AutostartCommand() {
    std::ifstream in(EntryPath());
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Exec=", 0) == 0) {
            return SplitExec(UnescapeValue(line.substr(5)));
        }
    }
    return {};
}

}  // namespace platform
