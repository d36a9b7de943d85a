#include "UpdateRules.h"

#include <algorithm>
#include <array>
#include <vector>

namespace updater {

namespace {

// Folders whose content belongs to the user (icons, catalogs, tools) or to the updater.
constexpr std::array kDataFolders = {"gameicon",     "toolicon", "localgametool",
                                     "tooldownload", "gametool", "updatework"};
// Files in the program directory that hold the user's data, settings or the updater's state.
constexpr std::array kDataFiles = {"gamecfg.dat", "normalcfg.dat",  "usedcfg.dat",
                                   "usercfg.dat", "launcher.ini",   "update.ini",
                                   "update.log",  "update.journal", "update.zip"};
constexpr std::array kDeviceNames = {"con", "prn", "aux", "nul"};

std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = path.find('/', start);
        parts.push_back(path.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

bool IsDeviceName(const std::string& folded) {
    std::string stem = folded.substr(0, folded.find('.'));
    if (std::find(kDeviceNames.begin(), kDeviceNames.end(), stem) != kDeviceNames.end()) {
        return true;
    }
    return stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

// Windows also knows a long name by a generated short one ("NORMAL~1.DAT"), so a name of
// that shape could reach a protected file.
bool LooksLikeShortName(std::string_view part) {
    for (std::size_t i = 0; i + 1 < part.size(); ++i) {
        if (part[i] == '~' && part[i + 1] >= '0' && part[i + 1] <= '9') {
            return true;
        }
    }
    return false;
}

std::string PartProblem(std::string_view part) {
    if (part.empty() || part == "." || part == "..") {
        return "is not a plain relative path";
    }
    for (char c : part) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == ':' || c == '\\' || c == '*' || c == '?' || c == '"' ||
            c == '<' || c == '>' || c == '|') {
            return "has a character a file name cannot have";
        }
    }
    if (part.back() == '.' || part.back() == ' ') {
        return "ends a name with a dot or a space";
    }
    if (LooksLikeShortName(part)) {
        return "looks like a short file name";
    }
    if (IsDeviceName(FoldCase(part))) {
        return "names a device";
    }
    return {};
}

}  // namespace

std::string FoldCase(std::string_view text) {
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return folded;
}

std::string RefusedReason(std::string_view relative) {
    std::string quoted;
    quoted.append(1, '"').append(relative).append("\" ");
    std::vector<std::string_view> parts = Components(relative);
    for (std::string_view part : parts) {
        if (std::string problem = PartProblem(part); !problem.empty()) {
            return quoted + problem;
        }
    }
    // A data name is refused as a folder too: a folder made under it would take its place.
    std::string first = FoldCase(parts.front());
    if (std::find(kDataFolders.begin(), kDataFolders.end(), first) != kDataFolders.end()) {
        return quoted + "lies in a folder of user data";
    }
    if (std::find(kDataFiles.begin(), kDataFiles.end(), first) != kDataFiles.end()) {
        return quoted + "is a file of user data or of the updater";
    }
    return {};
}

namespace {

// The next dotted part of `text` from `pos`: its number and what follows the digits.
struct VersionPart {
    unsigned long long number = 0;
    std::string_view rest;
};

VersionPart NextPart(std::string_view text, std::size_t& pos) {
    VersionPart part;
    std::size_t end = text.find('.', pos);
    if (end == std::string_view::npos) {
        end = text.size();
    }
    std::size_t i = pos;
    for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
        part.number = part.number * 10 + static_cast<unsigned>(text[i] - '0');
    }
    part.rest = text.substr(i, end - i);
    pos = end + 1;
    return part;
}

}  // namespace

int CompareVersions(std::string_view a, std::string_view b) {
    std::size_t pa = 0;
    std::size_t pb = 0;
    while (pa <= a.size() || pb <= b.size()) {
        const VersionPart x = pa <= a.size() ? NextPart(a, pa) : VersionPart{};
        const VersionPart y = pb <= b.size() ? NextPart(b, pb) : VersionPart{};
        if (x.number != y.number) {
            return x.number < y.number ? -1 : 1;
        }
        if (const int rest = x.rest.compare(y.rest); rest != 0) {
            return rest < 0 ? -1 : 1;
        }
    }
    return 0;
}

}  // namespace updater
