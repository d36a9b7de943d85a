#pragma once

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "Store.h"
#include "TestDatabase.h"

// The start, run and feedback reports in the data server's database (`db`, or what it stands
// for: TestDatabase.h) as text rows, oldest first: kind, mac, ip, time, firststart, toolid,
// gameid, type, itemid, reason. The records of version checks are left out.
inline std::vector<std::vector<std::string>> StoredReports(const std::string& db) {
    std::vector<dataserver::Report> reports =
        dataserver::OpenStore(TestDatabase(db))
            ->RecentReports(std::numeric_limits<std::size_t>::max());
    std::reverse(reports.begin(), reports.end());
    std::vector<std::vector<std::string>> rows;
    for (const dataserver::Report& r : reports) {
        if (r.kind != "check") {
            rows.push_back({r.kind, r.mac, r.ip, r.time, r.firstStart, std::to_string(r.toolId),
                            std::to_string(r.gameId), std::to_string(r.type),
                            std::to_string(r.itemId), r.reason});
        }
    }
    return rows;
}

// "YYYY-MM-DD hh:mm:ss", the report time's form.
inline bool LooksLikeReportTime(const std::string& text) {
    return text.size() == 19 && text[4] == '-' && text[10] == ' ' && text[13] == ':';
}
