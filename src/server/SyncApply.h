#pragma once

#include "catalog/Catalog.h"
#include "catalog/Outcome.h"
#include "server/CatalogChange.h"

namespace server {

// Applies a synchronisation's changes to the catalog on the calling thread, which must own
// `catalog` (the UI thread, or ravikctl's only thread), through the catalog operations and
// inside one batch: each catalog file is saved once, then lasttime, and pxtime only after
// everything else was saved, so a sync that is interrupted or fails to save fetches its
// changes again next time. The lists are loaded from the files before the changes and again
// after them, so the caller only rebuilds its views.
// The outcome is WriteFailed when a file could not be saved; drops of ids that are not
// there are not failures.
catalog::Outcome ApplySyncChanges(catalog::Catalog& catalog, const SyncChanges& changes);

}  // namespace server
