#include "Store.h"

#include "PostgresStore.h"
#include "SqliteStore.h"

namespace dataserver {

std::unique_ptr<Store> OpenStore(const std::string& where) {
    if (where.starts_with("postgresql://") || where.starts_with("postgres://")) {
        return std::make_unique<PostgresStore>(where);
    }
    return std::make_unique<SqliteStore>(where);
}

}  // namespace dataserver
