// Request frames as any client might send them, answered by the reference data server from
// a seeded in-memory database: nothing crashes, and no answer is larger than a reply may be.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CatalogEditJson.h"
#include "RequestHandler.h"
#include "SqliteStore.h"

namespace {

dataserver::RequestHandler& Handler() {
    static dataserver::SqliteStore store(":memory:");
    static dataserver::RequestHandler handler = [] {
        try {
            store.Publish(dataserver::EditFromFile(RAVIK_FUZZ_SEED));
        } catch (const dataserver::StoreError&) {
            std::abort();
        }
        return dataserver::RequestHandler(store, {});
    }();
    return handler;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const dataserver::FrameRequest request =
        Handler().Decode(std::string_view(reinterpret_cast<const char*>(data), size), "127.0.0.1");
    if (!request.Valid()) {
        return 0;
    }
    std::string problem;
    const std::string reply = request.IsReport()
                                  ? dataserver::RequestHandler::Acknowledgement(request)
                                  : Handler().Answer(request, problem);
    if (reply.size() > (1u << 20)) {
        std::abort();
    }
    return 0;
}
