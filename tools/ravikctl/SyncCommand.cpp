// ravikctl sync: one catalog synchronisation, applied to the catalog files.
#include <iostream>

#include "Command.h"
#include "catalog/Catalog.h"
#include "server/CatalogSync.h"
#include "server/ClientConfig.h"
#include "server/SyncApply.h"

namespace {

int Sync(const CommandContext& context) {
    if (!context.args.empty()) {
        return Fail("sync takes no arguments");
    }
    server::ServerClient client(
        server::LoadClientConfig(context.programDir, context.serverHost, context.serverPort));
    server::SyncRun run = server::SyncCatalogs(client, context.programDir);
    if (!run.changes.Empty()) {
        catalog::Catalog catalog(context.programDir);
        catalog::Outcome applied = server::ApplySyncChanges(catalog, run.changes);
        if (!applied.ok()) {
            return Fail("the changes could not be saved: " + applied.reason);
        }
    }
    std::cout << "{\"applied\": " << run.changes.records
              << ", \"ranked\": " << (run.changes.ranked ? 1 : 0) << "}" << std::endl;
    return 0;
}

const RegisterCommand registered(
    "sync", "sync                 fetch catalog changes and the game order and apply them", Sync);

}  // namespace
