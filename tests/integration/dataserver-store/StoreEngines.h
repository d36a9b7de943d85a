#pragma once

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "SqliteStore.h"
#include "Store.h"
#include "TempDir.h"

// One storage engine as the store suite drives it: a fresh, empty store for each test, and
// a way to make the database itself refuse a report (to see a batch fail half-way).
struct StoreEngine {
    std::string name;
    // An empty store kept in (or for) `dir`; opened again by each call.
    std::function<std::unique_ptr<dataserver::Store>(const TempDir& dir)> open;
    // From now on the database refuses every report whose mac is `mac`.
    std::function<void(const TempDir& dir, const std::string& mac)> refuseReportsFrom;
};

// Test names and failure messages show the engine by its name.
inline void PrintTo(const StoreEngine& engine, std::ostream* out) {
    *out << engine.name;
}

inline void SqliteExec(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    std::string error = message != nullptr ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        throw std::runtime_error(sql + ": " + error);
    }
}

// Every engine the suite runs against. Another engine is one more entry, typically only
// when its server is at hand (say, an environment variable naming it).
inline std::vector<StoreEngine> StoreEngines() {
    std::vector<StoreEngine> engines;
    engines.push_back(
        {"sqlite",
         [](const TempDir& dir) {
             return std::make_unique<dataserver::SqliteStore>(dir / "store.db");
         },
         [](const TempDir& dir, const std::string& mac) {
             SqliteExec(dir / "store.db",
                        "CREATE TRIGGER refuse_reports BEFORE INSERT ON reports WHEN NEW.mac = '" +
                            mac + "' BEGIN SELECT RAISE(ABORT, 'refused'); END;");
         }});
    return engines;
}
