#include "catalog/ToolRecord.h"

#include <algorithm>

namespace catalog {
namespace {

template <typename List>
auto FindIn(List& list, uint32_t toolId) {
    using Tool = std::remove_reference_t<decltype(list.front())>;
    auto it = std::find_if(list.begin(), list.end(),
                           [toolId](const ToolRecord& t) { return t.id == toolId; });
    if (it == list.end()) {
        return FoundTool<Tool>{};
    }
    return FoundTool<Tool>{&*it, static_cast<std::size_t>(it - list.begin()) + 1};
}

}  // namespace

FoundTool<ToolRecord> FindTool(ToolList& list, uint32_t toolId) {
    return FindIn(list, toolId);
}

FoundTool<const ToolRecord> FindTool(const ToolList& list, uint32_t toolId) {
    return FindIn(list, toolId);
}

}  // namespace catalog
