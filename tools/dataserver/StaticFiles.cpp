#include "StaticFiles.h"

#include <algorithm>
#include <boost/beast/http/status.hpp>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>
#include <system_error>
#include <vector>

namespace dataserver {

namespace {

namespace fs = std::filesystem;

struct ByteRange {
    enum class Kind { Whole, Part, Unsatisfiable };
    Kind kind = Kind::Whole;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool PercentDecode(std::string_view text, std::string& decoded) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            return false;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

// The path relative to the served directory that `target` names, or false when the target
// is malformed or tries to leave the directory (".." parts, NUL, backslashes, drive names).
bool RelativePath(std::string_view target, fs::path& relative) {
    if (!target.starts_with('/')) {
        return false;
    }
    std::string path;
    if (!StaticFiles::DecodePath(target, path) || path.find('\0') != std::string::npos ||
        path.find('\\') != std::string::npos) {
        return false;
    }
    std::string_view rest = path;
    while (!rest.empty()) {
        auto slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash + 1);
        if (part.empty() || part == ".") {
            continue;
        }
        fs::path piece(std::string{part});
        if (part == ".." || piece.has_root_name() || piece.has_root_directory()) {
            return false;
        }
        relative /= piece;
    }
    return true;
}

// False when `text` is not all digits; a number too large for 64 bits reads as the largest.
bool ParseNumber(std::string_view text, std::uint64_t& value) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        value = std::numeric_limits<std::uint64_t>::max();
    }
    return true;
}

// One range of "bytes=first-last", "bytes=first-" or "bytes=-suffix". A header this server
// does not understand (another unit, several ranges, a malformed one) is ignored and the
// whole file sent, which every client must accept.
ByteRange ParseRange(std::string_view value, std::uint64_t size) {
    ByteRange whole;
    if (value.empty() || Lower(value.substr(0, 6)) != "bytes=") {
        return whole;
    }
    std::string_view bounds = Trim(value.substr(6));
    auto dash = bounds.find('-');
    if (dash == std::string_view::npos || bounds.find(',') != std::string_view::npos) {
        return whole;
    }
    std::string_view from = Trim(bounds.substr(0, dash));
    std::string_view to = Trim(bounds.substr(dash + 1));
    ByteRange range;
    range.kind = ByteRange::Kind::Part;
    if (from.empty()) {
        std::uint64_t suffix = 0;
        if (!ParseNumber(to, suffix)) {
            return whole;
        }
        if (suffix == 0 || size == 0) {
            return {ByteRange::Kind::Unsatisfiable};
        }
        range.first = size - std::min(suffix, size);
        range.last = size - 1;
        return range;
    }
    if (!ParseNumber(from, range.first)) {
        return whole;
    }
    range.last = std::numeric_limits<std::uint64_t>::max();
    if (!to.empty() && (!ParseNumber(to, range.last) || range.last < range.first)) {
        return whole;
    }
    if (range.first >= size) {
        return {ByteRange::Kind::Unsatisfiable};
    }
    range.last = std::min(range.last, size - 1);
    return range;
}

std::string ContentType(const fs::path& file) {
    static const struct {
        const char* extension;
        const char* type;
    } kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".shtml", "text/html; charset=utf-8"},
        {".php", "text/html; charset=utf-8"},
        {".css", "text/css"},
        {".js", "text/javascript"},
        {".json", "application/json"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".gif", "image/gif"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".zip", "application/zip"},
        {".txt", "text/plain; charset=utf-8"},
    };
    std::string extension = Lower(file.extension().string());
    for (const auto& entry : kTypes) {
        if (extension == entry.extension) {
            return entry.type;
        }
    }
    return "application/octet-stream";
}

std::string ResponseHead(int status, const std::string& type, std::uint64_t length,
                         const std::string& extra) {
    return "HTTP/1.1 " + std::to_string(status) + " " + StaticFiles::Reason(status) +
           "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(length) +
           "\r\nAccept-Ranges: bytes\r\n" + extra + "Connection: close\r\n\r\n";
}

// The regular file `relative` names below `root` (a directory's index.html), or empty.
// The resolved file must still lie below the root, so a link inside it cannot lead out.
fs::path FindFile(const fs::path& root, const fs::path& relative) {
    std::error_code ec;
    fs::path file = root / relative;
    if (fs::is_directory(file, ec)) {
        file /= "index.html";
    }
    if (!fs::is_regular_file(file, ec)) {
        return {};
    }
    fs::path resolved = fs::canonical(file, ec);
    if (ec) {
        return {};
    }
    auto [rootEnd, ignored] =
        std::mismatch(root.begin(), root.end(), resolved.begin(), resolved.end());
    return rootEnd == root.end() ? resolved : fs::path();
}

}  // namespace

StaticFiles::StaticFiles(const fs::path& root) : root_(fs::weakly_canonical(root)) {}

std::string StaticFiles::Reason(int status) {
    return std::string(boost::beast::http::obsolete_reason(
        boost::beast::http::int_to_status(static_cast<unsigned>(status))));
}

FileReply StaticFiles::Error(int status, bool withBody, const std::string& extra) {
    std::string body = std::to_string(status) + " " + Reason(status) + "\n";
    FileReply reply;
    reply.status = status;
    reply.head = ResponseHead(status, "text/plain; charset=utf-8", body.size(), extra) +
                 (withBody ? body : std::string());
    return reply;
}

bool StaticFiles::DecodePath(std::string_view target, std::string& path) {
    return PercentDecode(target.substr(0, target.find_first_of("?#")), path);
}

FileReply StaticFiles::Prepare(std::string_view method, std::string_view target,
                               std::string_view rangeHeader) const {
    bool withBody = method == "GET";
    if (!withBody && method != "HEAD") {
        return Error(405, true, "Allow: GET, HEAD\r\n");
    }
    fs::path relative;
    if (!RelativePath(target, relative)) {
        return Error(400, withBody);
    }
    fs::path path = FindFile(root_, relative);
    std::error_code ec;
    std::uint64_t size = path.empty() ? 0 : fs::file_size(path, ec);
    FileReply reply;
    if (!path.empty() && !ec) {
        errno = 0;
        reply.file.open(path, std::ios::binary);
    }
    if (!reply.file.is_open()) {
        // Out of descriptors is the server's state, not the file's: the client may retry.
        if (!path.empty() && !ec && (errno == EMFILE || errno == ENFILE)) {
            return Error(503, withBody, "Retry-After: 1\r\n");
        }
        return Error(404, withBody);
    }
    ByteRange range = ParseRange(rangeHeader, size);
    if (range.kind == ByteRange::Kind::Unsatisfiable) {
        return Error(416, withBody, "Content-Range: bytes */" + std::to_string(size) + "\r\n");
    }
    if (range.kind == ByteRange::Kind::Part) {
        reply.status = 206;
        reply.first = range.first;
        reply.count = range.last - range.first + 1;
        reply.head =
            ResponseHead(206, ContentType(path), reply.count,
                         "Content-Range: bytes " + std::to_string(range.first) + "-" +
                             std::to_string(range.last) + "/" + std::to_string(size) + "\r\n");
    } else {
        reply.count = size;
        reply.head = ResponseHead(200, ContentType(path), size, {});
    }
    if (!withBody) {
        reply.count = 0;
    }
    return reply;
}

}  // namespace dataserver
