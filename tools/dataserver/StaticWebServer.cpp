#include "StaticWebServer.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string_view>
#include <system_error>
#include <vector>

namespace dataserver {

namespace {

namespace fs = std::filesystem;

// A request head longer than this is refused; the launcher's longest URL is far shorter.
constexpr std::size_t kMaxHead = 16 * 1024;
constexpr std::chrono::seconds kHeadTimeout{10};
// For each chunk of a file, not for the whole file: archives may be large and links slow.
constexpr std::chrono::seconds kWriteTimeout{30};
// After answering, the rest of the client's bytes are read (and dropped) for this long, so
// closing never resets a connection whose reply the client has not read yet.
constexpr std::chrono::seconds kDrainTimeout{2};
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::string_view kHeadEnd = "\r\n\r\n";

struct Request {
    std::string method;
    std::string target;
    std::string range;  // the Range header's value, empty when there is none
};

struct ByteRange {
    enum class Kind { Whole, Part, Unsatisfiable };
    Kind kind = Kind::Whole;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

enum class HeadEnd { Complete, TooLarge, Incomplete };

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

// How many bytes at the end of `head` already begin the blank line that ends a head.
std::size_t PartialHeadEnd(const std::string& head) {
    for (std::size_t k = kHeadEnd.size() - 1; k > 0; --k) {
        if (head.size() >= k && head.compare(head.size() - k, k, kHeadEnd.substr(0, k)) == 0) {
            return k;
        }
    }
    return 0;
}

// Reads exactly up to the end of the head and no further: each read asks only for as many
// bytes as the head needs at least before it can end, so no read waits for bytes that a
// client which has sent its whole request will never send.
HeadEnd ReadHead(server::Socket& connection, std::string& head) {
    auto deadline = std::chrono::steady_clock::now() + kHeadTimeout;
    while (!head.ends_with(kHeadEnd)) {
        if (head.size() >= kMaxHead) {
            return HeadEnd::TooLarge;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return HeadEnd::Incomplete;
        }
        server::Received got =
            connection.Receive(kHeadEnd.size() - PartialHeadEnd(head), left, false);
        head += got.bytes;
        if (got.end != server::ReceiveEnd::Limit) {
            return head.ends_with(kHeadEnd) ? HeadEnd::Complete : HeadEnd::Incomplete;
        }
    }
    return HeadEnd::Complete;
}

bool ParseRequest(std::string_view head, Request& request) {
    std::vector<std::string_view> lines;
    while (!head.empty()) {
        auto end = head.find("\r\n");
        lines.push_back(head.substr(0, end));
        head.remove_prefix(end == std::string_view::npos ? head.size() : end + 2);
    }
    if (lines.empty()) {
        return false;
    }
    std::string_view line = lines.front();
    auto firstSpace = line.find(' ');
    auto lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || firstSpace == lastSpace) {
        return false;
    }
    request.method = line.substr(0, firstSpace);
    request.target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    std::string_view version = line.substr(lastSpace + 1);
    if (request.method.empty() || request.target.empty() ||
        request.target.find(' ') != std::string::npos || !version.starts_with("HTTP/1.")) {
        return false;
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            continue;
        }
        auto colon = lines[i].find(':');
        if (colon == std::string_view::npos || colon == 0) {
            return false;
        }
        if (Lower(lines[i].substr(0, colon)) == "range") {
            request.range = Trim(lines[i].substr(colon + 1));
        }
    }
    return true;
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
    if (!PercentDecode(target.substr(0, target.find_first_of("?#")), path) ||
        path.find('\0') != std::string::npos || path.find('\\') != std::string::npos) {
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

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 206:
            return "Partial Content";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 416:
            return "Range Not Satisfiable";
        case 431:
            return "Request Header Fields Too Large";
        default:
            return "Internal Server Error";
    }
}

std::string ResponseHead(int status, const std::string& type, std::uint64_t length,
                         const std::string& extra) {
    return "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
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

// What to send for one request: the response head and, when `count` > 0, that many bytes
// of `file` from `first` on.
struct Reply {
    int status = 200;
    std::string head;
    std::ifstream file;
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

// An answer without a file: a one-line text body, left out for HEAD.
Reply ErrorReply(int status, bool withBody, const std::string& extra = {}) {
    std::string body = std::to_string(status) + " " + Reason(status) + "\n";
    Reply reply;
    reply.status = status;
    reply.head = ResponseHead(status, "text/plain; charset=utf-8", body.size(), extra) +
                 (withBody ? body : std::string());
    return reply;
}

Reply Prepare(const fs::path& root, HeadEnd end, const std::string& head) {
    Request request;
    if (end == HeadEnd::TooLarge) {
        return ErrorReply(431, true);
    }
    if (!ParseRequest(head, request)) {
        return ErrorReply(400, true);
    }
    bool withBody = request.method == "GET";
    if (!withBody && request.method != "HEAD") {
        return ErrorReply(405, true, "Allow: GET, HEAD\r\n");
    }
    fs::path relative;
    if (!RelativePath(request.target, relative)) {
        return ErrorReply(400, withBody);
    }
    fs::path path = FindFile(root, relative);
    std::error_code ec;
    std::uint64_t size = path.empty() ? 0 : fs::file_size(path, ec);
    Reply reply;
    if (!path.empty() && !ec) {
        reply.file.open(path, std::ios::binary);
    }
    if (!reply.file.is_open()) {
        return ErrorReply(404, withBody);
    }
    ByteRange range = ParseRange(request.range, size);
    if (range.kind == ByteRange::Kind::Unsatisfiable) {
        return ErrorReply(416, withBody, "Content-Range: bytes */" + std::to_string(size) + "\r\n");
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

}  // namespace

StaticWebServer::StaticWebServer(const fs::path& root, LogFn log, std::size_t workers)
    : root_(fs::weakly_canonical(root)),
      log_(std::move(log)),
      pool_([this](server::Socket connection) { Handle(std::move(connection)); }, log_, workers) {}

void StaticWebServer::Handle(server::Socket connection) {
    std::string peer = connection.PeerAddress();
    std::string head;
    HeadEnd end = ReadHead(connection, head);
    if (end == HeadEnd::Incomplete) {
        if (!head.empty()) {
            log_(peer + ": HTTP request head incomplete (" + std::to_string(head.size()) +
                 " bytes); not answered");
        }
        return;
    }
    Reply reply = Prepare(root_, end, head);
    if (reply.status >= 400) {
        log_(peer + ": HTTP " + std::to_string(reply.status) + " for " +
             head.substr(0, std::min<std::size_t>(head.find("\r\n"), 200)));
    }
    bool sent = connection.SendAll(reply.head, kWriteTimeout);
    if (sent && reply.count > 0) {
        reply.file.seekg(static_cast<std::streamoff>(reply.first));
        std::vector<char> buffer(kChunk);
        for (std::uint64_t left = reply.count; sent && left > 0;) {
            auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunk));
            if (!reply.file.read(buffer.data(), static_cast<std::streamsize>(want))) {
                log_(peer + ": a served file could not be read to its end");
                return;
            }
            sent = connection.SendAll(std::string_view(buffer.data(), want), kWriteTimeout);
            left -= want;
        }
    }
    if (!sent) {
        log_(peer + ": the HTTP reply could not be sent: " + connection.Error());
        return;
    }
    connection.ShutdownSend();
    connection.Receive(kMaxHead, kDrainTimeout, false);
}

}  // namespace dataserver
