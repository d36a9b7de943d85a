#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "PostgresConnection.h"

// The PostgreSQL server the tests run against, if any: RAVIK_TEST_POSTGRES_URI, or the URI in
// the file RAVIK_TEST_POSTGRES_URI_FILE names (written by the test fixture that starts the
// server). Empty: the tests use SQLite files.
inline std::string PostgresTestUri() {
    if (const char* uri = std::getenv("RAVIK_TEST_POSTGRES_URI"); uri != nullptr && *uri) {
        return uri;
    }
    const char* file = std::getenv("RAVIK_TEST_POSTGRES_URI_FILE");
    if (file == nullptr || *file == '\0') {
        return {};
    }
    std::ifstream in(file);
    std::string uri;
    std::getline(in, uri);
    return uri;
}

// `uri` with its database name replaced by `name` (the query, if any, kept).
inline std::string WithDatabase(const std::string& uri, const std::string& name) {
    std::size_t host = uri.find("://");
    std::size_t path = uri.find('/', host == std::string::npos ? 0 : host + 3);
    std::size_t query = uri.find('?');
    std::string tail = query == std::string::npos ? std::string() : uri.substr(query);
    return uri.substr(0, path) + "/" + name + tail;
}

// The PostgreSQL database name for the test database path `db`.
inline std::string TestDatabaseName(const std::filesystem::path& db) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a over the absolute path
    for (char c : std::filesystem::absolute(db).string()) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char name[24];
    std::snprintf(name, sizeof name, "test_%016llx", static_cast<unsigned long long>(hash));
    return name;
}

// What a test's data-server database `db` (a SQLite file path) stands for: the path itself on
// SQLite, or on PostgreSQL a database of its own named after the path, created when missing.
// The same path always gives the same database, so a test that restarts a server on its data
// finds it again, and tests running at once never share one.
inline std::string TestDatabase(const std::filesystem::path& db) {
    std::string server = PostgresTestUri();
    if (server.empty()) {
        return db.string();
    }
    std::string name = TestDatabaseName(db);
    dataserver::PostgresConnection admin(server);
    if (admin.Execute("SELECT 1 FROM pg_database WHERE datname = '" + name + "'").Rows() == 0) {
        admin.Execute("CREATE DATABASE " + name);
    }
    return WithDatabase(server, name);
}
