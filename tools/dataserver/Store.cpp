#include "Store.h"

#include "SqliteStore.h"

namespace dataserver {

std::unique_ptr<Store> OpenStore(const std::string& where) {
    return std::make_unique<SqliteStore>(where);
}

}  // namespace dataserver
