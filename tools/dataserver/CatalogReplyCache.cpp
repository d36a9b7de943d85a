#include "CatalogReplyCache.h"

namespace dataserver {

std::string CatalogReplyCache::Get(uint64_t generation, uint32_t lasttime,
                                   const std::function<std::string()>& build) {
    std::promise<std::string> promise;
    std::shared_future<std::string> reply;
    bool keep = false;
    {
        std::lock_guard lock(mutex_);
        if (generation > generation_) {
            generation_ = generation;
            replies_.clear();
        }
        // A reply read before a change this cache has already seen is not worth keeping.
        keep = generation == generation_ && capacity_ > 0;
        if (keep) {
            auto held = replies_.find(lasttime);
            if (held != replies_.end()) {
                reply = held->second;
            } else {
                if (replies_.size() >= capacity_) {
                    // Any reply but the one for lasttime 0, which every new launcher asks for.
                    auto victim = replies_.begin();
                    if (victim->first == 0 && replies_.size() > 1) {
                        ++victim;
                    }
                    replies_.erase(victim);
                }
                replies_.emplace(lasttime, promise.get_future().share());
            }
        }
    }
    if (!keep) {
        return build();
    }
    if (reply.valid()) {
        // Built, or being built by another caller.
        return reply.get();
    }
    try {
        std::string text = build();
        promise.set_value(text);
        return text;
    } catch (...) {
        promise.set_exception(std::current_exception());
        std::lock_guard lock(mutex_);
        if (generation == generation_) {
            replies_.erase(lasttime);
        }
        throw;
    }
}

}  // namespace dataserver
