#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace dataserver {

// `ravik-dataserver admin --db WHERE COMMAND …`: the operator's changes to the catalog and
// looks into it, on the database a running server uses. `args` are the words after
// "admin". Returns the exit status: 0 done, 1 refused (an invalid edit, an unreachable
// database; nothing changed), 2 bad usage (nothing opened). Errors go to `err` as one line.
int RunAdmin(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

void PrintAdminUsage(std::ostream& out);

}  // namespace dataserver
