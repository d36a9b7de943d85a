#pragma once

#include "Store.h"

namespace dataserver {

// Checks what can be checked of an edit without the database: positive ids, each id once,
// tool types 187 to 192, titles present, removals naming something, a ranking of at most 50
// distinct games on distinct positions 1 to 99, version data with a numeric sertime.
// Throws StoreError naming the first fault. Both engines call it before they change
// anything.
void CheckEdit(const CatalogEdit& edit);

}  // namespace dataserver
