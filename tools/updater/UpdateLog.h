#pragma once

#include <string>
#include <string_view>

namespace updater {

// update.log in the program directory: one timestamped line per step, appended. The file is
// opened and closed for every line, so what was written survives the updater being killed.
// A log that cannot be written never stops the update; with `echo` each line also goes to
// standard error.
class UpdateLog {
  public:
    explicit UpdateLog(std::string path, bool echo = false);

    void Write(std::string_view line) const;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    bool echo_;
};

}  // namespace updater
