#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "Store.h"

namespace dataserver {

// A catalog edit written as JSON, in the shape of the seed file (see README.md): "games",
// "tools", "removals", "ranking" and "version", each optional. Numbers may be JSON numbers
// or digit texts; a missing "TIME" (or a ranking without "stamp") asks for the
// publication's own stamp. Unknown keys are refused, so a misspelt field never goes
// unnoticed. Throws StoreError naming the faulty record.
CatalogEdit EditFromJson(const nlohmann::json& json);

// The edit a JSON file holds (its path, or "-" for standard input).
CatalogEdit EditFromFile(const std::string& path);

// Records in the same shape, stamps included.
nlohmann::json ToJson(const GameRecord& game);
nlohmann::json ToJson(const ToolRecord& tool);
nlohmann::json ToJson(const RemovalRecord& removal);

}  // namespace dataserver
