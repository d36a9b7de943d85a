#pragma once

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "PostgresConnection.h"
#include "SqliteStore.h"
#include "Store.h"
#include "TempDir.h"
#include "TestDatabase.h"

// One storage engine as the store suite drives it: a fresh, empty store for each test, and
// a way to make the database itself refuse a report (to see a batch fail half-way).
struct StoreEngine {
    std::string name;
    // Empty when the engine can be tested here, else why not (its tests are then skipped).
    std::function<std::string()> unavailable;
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

// Every engine the suite runs against. An engine that needs a server is listed always (test
// names are read before any server runs) and skipped when none is given.
inline std::vector<StoreEngine> StoreEngines() {
    std::vector<StoreEngine> engines;
    engines.push_back(
        {"sqlite", [] { return std::string(); },
         [](const TempDir& dir) {
             return std::make_unique<dataserver::SqliteStore>(dir / "store.db");
         },
         [](const TempDir& dir, const std::string& mac) {
             SqliteExec(dir / "store.db",
                        "CREATE TRIGGER refuse_reports BEFORE INSERT ON reports WHEN NEW.mac = '" +
                            mac + "' BEGIN SELECT RAISE(ABORT, 'refused'); END;");
         }});
    engines.push_back(
        {"postgres",
         [] {
             return PostgresTestUri().empty()
                        ? std::string("no PostgreSQL server (RAVIK_TEST_POSTGRES_URI)")
                        : std::string();
         },
         [](const TempDir& dir) { return dataserver::OpenStore(TestDatabase(dir / "store.db")); },
         [](const TempDir& dir, const std::string& mac) {
             dataserver::PostgresConnection(TestDatabase(dir / "store.db"))
                 .Execute(
                     "CREATE FUNCTION refuse_report() RETURNS trigger LANGUAGE plpgsql AS "
                     "$$ BEGIN IF NEW.mac = '" +
                     mac +
                     "' THEN RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$; "
                     "CREATE TRIGGER refuse_reports BEFORE INSERT ON reports FOR EACH ROW "
                     "EXECUTE FUNCTION refuse_report();");
         }});
    return engines;
}
