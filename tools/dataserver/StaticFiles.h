#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace dataserver {

// What to send for one request: the response head and, when `count` > 0, that many bytes
// of `file` from `first` on.
struct FileReply {
    int status = 200;
    std::string head;
    std::ifstream file;
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

// The files below a directory as the HTTP service serves them: GET and HEAD, one byte range
// per request (downloads resume with it). The file is chosen by the path alone; the query
// is of no use to a static server and may hold anything, even a second '?' or a whole
// unencoded address, as the launcher's loading page URLs do. Paths with ".." parts and
// links leading out of the directory are refused.
class StaticFiles {
  public:
    // `root` must be an existing directory.
    explicit StaticFiles(const std::filesystem::path& root);

    FileReply Prepare(std::string_view method, std::string_view target,
                      std::string_view rangeHeader) const;

    // An answer without a file: a one-line text body, left out for HEAD.
    static FileReply Error(int status, bool withBody, const std::string& extra = {});
    // The status line's text for `status`.
    static std::string Reason(int status);
    // The percent-decoded path of a request target, without its query and fragment; false
    // when an escape is broken.
    static bool DecodePath(std::string_view target, std::string& path);

  private:
    std::filesystem::path root_;
};

}  // namespace dataserver
