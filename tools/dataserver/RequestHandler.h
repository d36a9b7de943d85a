#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CatalogReplyCache.h"
#include "Store.h"
#include "server/Message.h"

namespace dataserver {

struct HandlerOptions {
    std::string removalMarker = "8053";
    // Replaces "{{http}}" in the texts of replies: the base address of the static web
    // service, so a seed can name icons and archives without knowing the port.
    std::string httpBase;
    // The client reads at most this many bytes of a catalog reply; larger replies are sent
    // in parts, one per query.
    std::size_t catalogReplyLimit = 102400;
    // Catalog replies kept for the current catalog, one per `lasttime` asked for.
    std::size_t catalogCacheSize = 256;
};

// One request frame, decoded without the store: what it asks and what it leaves to store.
struct FrameRequest {
    server::Message message = server::Message::VersionCheck;
    // Not empty: the frame is not a request this server understands; it is answered with
    // nothing and this says why.
    std::string problem;
    // A query's sertime, lasttime or pxtime.
    std::string argument;
    // What to store: a report, or the record of a version check.
    std::optional<Report> report;

    bool Valid() const { return problem.empty(); }
    // A report is acknowledged once it is stored; anything else is a query, answered from
    // the store at once (a version check does not wait for its record to be stored).
    bool IsReport() const { return Valid() && report && report->kind != "check"; }
};

// Turns request frames into replies, in two steps so that the network side can tell a
// report (stored in a batch, then acknowledged) from a query (answered from the store).
class RequestHandler {
  public:
    RequestHandler(Store& store, HandlerOptions options);

    // Never touches the store; safe from any thread.
    FrameRequest Decode(std::string_view frameBytes, const std::string& peer) const;
    // The reply to a valid query. Blocks on the store; safe from several threads at once.
    // Empty when the store failed, with `problem` saying why.
    std::string Answer(const FrameRequest& query, std::string& problem);
    // The reply to a report once it is stored.
    static std::string Acknowledgement(const FrameRequest& report);

    // The records of the catalog reply to a client whose lasttime is `lasttime`, in the
    // order it sends them, each as its fields joined by the field separator.
    std::vector<std::string> CatalogRecords(uint32_t lasttime);

  private:
    std::string VersionReply(const std::string& sertime);
    std::string CatalogReply(const std::string& lasttime);
    std::string RankingReply(const std::string& pxtime);
    std::string Expand(std::string text) const;

    Store& store_;
    HandlerOptions options_;
    CatalogReplyCache catalogCache_;
};

}  // namespace dataserver
