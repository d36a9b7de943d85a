#pragma once

#include <string_view>

namespace dataserver {

// A file of the operator console's page, built into the server (ConsoleAssets.cpp is
// generated from tools/dataserver/console and the chart library at build time).
struct ConsoleAsset {
    std::string_view name;  // relative to /admin/, such as "console.js"
    std::string_view contentType;
    std::string_view body;
};

// The page file `name` names, or nullptr.
const ConsoleAsset* FindConsoleAsset(std::string_view name);

}  // namespace dataserver
