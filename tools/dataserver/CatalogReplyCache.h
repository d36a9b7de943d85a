#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>

namespace dataserver {

// Catalog replies of the current catalog generation, one per `lasttime`, so that thousands
// of launchers asking at once cost one database read per catalog change. Launchers asking
// for the same reply while it is being built wait for that one build instead of starting
// their own. Holds at most `capacity` replies.
class CatalogReplyCache {
  public:
    explicit CatalogReplyCache(std::size_t capacity) : capacity_(capacity) {}

    // The reply for `lasttime` at `generation`, calling `build` only when it is not held
    // yet. A `build` that throws is not kept; the exception reaches every waiting caller.
    std::string Get(uint64_t generation, uint32_t lasttime,
                    const std::function<std::string()>& build);

  private:
    const std::size_t capacity_;
    std::mutex mutex_;
    uint64_t generation_ = 0;
    std::map<uint32_t, std::shared_future<std::string>> replies_;
};

}  // namespace dataserver
