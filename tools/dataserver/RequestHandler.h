#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "Store.h"

namespace dataserver {

struct HandlerOptions {
    std::string removalMarker = "8053";
    // Replaces "{{http}}" in the texts of replies: the base address of the static web
    // service, so a seed can name icons and archives without knowing the port.
    std::string httpBase;
    // The client reads at most this many bytes of a catalog reply; larger replies are sent
    // in parts, one per query.
    std::size_t catalogReplyLimit = 102400;
};

// Turns one request frame into the reply bytes. An empty result means the frame is not a
// request this server understands; it is answered with nothing and `problem` says why.
class RequestHandler {
  public:
    RequestHandler(Store& store, HandlerOptions options);

    std::string Answer(std::string_view frameBytes, const std::string& peer, std::string& problem);

  private:
    std::string VersionReply(const std::string& sertime);
    std::string CatalogReply(const std::string& lasttime);
    std::string RankingReply(const std::string& pxtime);
    std::string Expand(std::string text) const;

    Store& store_;
    HandlerOptions options_;
};

}  // namespace dataserver
