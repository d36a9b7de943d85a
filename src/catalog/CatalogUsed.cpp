// The used list behind the My tab.
#include "catalog/Catalog.h"
#include "catalog/ToolFields.h"

namespace catalog {
namespace {

// Beyond this size a new entry goes in at the last place instead of being appended.
constexpr std::size_t kUsedListLimit = 10000;
// The index section's key for the time of the entry added last.
constexpr std::string_view kLastAddedKey = "TIME";

}  // namespace

Outcome Catalog::AddUsed(const ToolRecord& tool) {
    if (used_.size() >= kUsedListLimit) {
        used_.insert(used_.begin() + (kUsedListLimit - 1), tool);
    } else {
        used_.push_back(tool);
    }
    Open(UsedPath()).Set(kUsedFile.index, kLastAddedKey, std::to_string(tool.time));
    return WriteUsed();
}

Outcome Catalog::DropUsed(uint32_t toolId) {
    if (used_.empty()) {
        return Outcome::Ok();
    }
    auto found = FindTool(used_, toolId);
    if (!found) {
        return Outcome::Missing("no used entry " + std::to_string(toolId));
    }
    used_.erase(used_.begin() + static_cast<std::ptrdiff_t>(found.position - 1));
    return WriteUsed();
}

Outcome Catalog::ClearUsed() {
    used_.clear();
    Outcome outcome = WriteUsed();
    LoadUsed();
    return outcome;
}

}  // namespace catalog
