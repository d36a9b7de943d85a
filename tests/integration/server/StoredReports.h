#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

// The start, run and feedback reports in the data server's reports table as text rows,
// oldest first: kind, mac, ip, time, firststart, toolid, gameid, type, itemid, reason. The
// records of version checks are left out.
inline std::vector<std::vector<std::string>> StoredReports(const std::string& db) {
    std::vector<std::vector<std::string>> rows;
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return rows;
    }
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(handle,
                       "SELECT kind, mac, ip, time, firststart, toolid, gameid, type, itemid, "
                       "reason FROM reports WHERE kind <> 'check' ORDER BY id",
                       -1, &statement, nullptr);
    while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int column = 0; column < 10; ++column) {
            const unsigned char* text = sqlite3_column_text(statement, column);
            row.emplace_back(text == nullptr ? "" : reinterpret_cast<const char*>(text));
        }
        rows.push_back(row);
    }
    sqlite3_finalize(statement);
    sqlite3_close(handle);
    return rows;
}

// "YYYY-MM-DD hh:mm:ss", the report time's form.
inline bool LooksLikeReportTime(const std::string& text) {
    return text.size() == 19 && text[4] == '-' && text[10] == ' ' && text[13] == ':';
}
