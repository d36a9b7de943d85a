#include "UpdateLog.h"

#include <fstream>
#include <iostream>

#include "catalog/FileSystem.h"
#include "server/Frame.h"

namespace updater {

UpdateLog::UpdateLog(std::string path, bool echo) : path_(std::move(path)), echo_(echo) {}

void UpdateLog::Write(std::string_view line) const {
    std::string text = server::FormatReportTime();
    text += ' ';
    text += line;
    text += '\n';
    std::ofstream out(catalog::NativePath(path_), std::ios::binary | std::ios::app);
    out << text;
    if (echo_) {
        std::cerr << "Rv_Update: " << line << std::endl;
    }
}

}  // namespace updater
