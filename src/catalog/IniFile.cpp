#include "catalog/IniFile.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "catalog/FileSystem.h"
#include "platform/CodePage.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace catalog {
namespace {

inline char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Names compare without regard to ASCII letter case.
struct CaseInsensitiveHash {
    std::size_t operator()(std::string_view s) const noexcept {
        std::size_t h = 1469598103934665603ull;
        for (char c : s) {
            h = (h ^ static_cast<unsigned char>(Lower(c))) * 1099511628211ull;
        }
        return h;
    }
};
struct CaseInsensitiveEqual {
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (Lower(a[i]) != Lower(b[i])) {
                return false;
            }
        }
        return true;
    }
};
using NameIndex =
    std::unordered_map<std::string_view, uint32_t, CaseInsensitiveHash, CaseInsensitiveEqual>;

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlank(s[b])) {
        ++b;
    }
    while (e > b && IsBlank(s[e - 1])) {
        --e;
    }
    return s.substr(b, e - b);
}

// One line of the document, without its line ending. For a key line, the key is
// text[keyBegin, keyBegin + keyLength) and the raw value follows the '=' at `equals`.
struct Line {
    std::string_view text;
    uint32_t keyBegin = 0;
    uint32_t keyLength = 0;  // 0: not a key line
    uint32_t equals = 0;

    std::string_view Key() const { return text.substr(keyBegin, keyLength); }
    std::string_view Value() const {
        std::string_view v = text.substr(equals + 1);
        auto nul = v.find('\0');
        if (nul != std::string_view::npos) {
            v = v.substr(0, nul);
        }
        v = Trim(v);
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
            v = v.substr(1, v.size() - 2);
        }
        return v;
    }
};

Line ParseKeyLine(std::string_view text) {
    Line line;
    line.text = text;
    std::size_t b = 0;
    while (b < text.size() && IsBlank(text[b])) {
        ++b;
    }
    if (b == text.size() || text[b] == ';' || text[b] == '[') {
        return line;
    }
    auto eq = text.find('=', b);
    if (eq == std::string_view::npos) {
        return line;
    }
    std::size_t e = eq;
    while (e > b && IsBlank(text[e - 1])) {
        --e;
    }
    if (e == b) {
        return line;
    }
    line.keyBegin = static_cast<uint32_t>(b);
    line.keyLength = static_cast<uint32_t>(e - b);
    line.equals = static_cast<uint32_t>(eq);
    return line;
}

// The section name of a "[name]" line, or nothing when the line is no section header.
bool SectionName(std::string_view text, std::string_view& name) {
    std::string_view t = Trim(text);
    if (t.empty() || t.front() != '[') {
        return false;
    }
    t.remove_prefix(1);
    auto close = t.find(']');
    name = Trim(close == std::string_view::npos ? t : t.substr(0, close));
    return true;
}

bool IsValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        int extra;
        uint32_t min;
        uint32_t cp;
        if ((*p & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = *p & 0x1F;
        } else if ((*p & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = *p & 0x0F;
        } else if ((*p & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = *p & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra) {
            return false;
        }
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        p += extra + 1;
    }
    return true;
}

std::mutex& SaveMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

// Identifies one version of a file on disk, so Save can tell whether another writer
// replaced it since it was loaded (every save renames a new file into place).
struct FileStamp {
    bool exists = false;
    uint64_t size = 0;
    int64_t modified = 0;
    uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;

    static FileStamp Of(const std::string& path) {
        FileStamp stamp;
#ifdef _WIN32
        struct _stat64 st;
        if (_wstat64(NativePath(path).c_str(), &st) == 0) {
            stamp = {true, static_cast<uint64_t>(st.st_size), st.st_mtime, 0};
        }
#else
        struct stat st;
        if (stat(path.c_str(), &st) == 0) {
            stamp = {true, static_cast<uint64_t>(st.st_size),
                     static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                     static_cast<uint64_t>(st.st_ino)};
        }
#endif
        return stamp;
    }
};

struct IniFile::Document {
    struct Section {
        std::string_view name;
        std::string_view header;  // the "[name]" line as it stands
        std::vector<Line> lines;
        NameIndex keys;  // first occurrence of each key -> index into lines
    };
    struct Change {
        std::string section;
        std::string key;
        std::string value;
    };

    std::string text;               // the decoded file; lines point into it
    std::deque<std::string> owned;  // lines added or changed since; stable addresses
    bool crlf = true;
    std::vector<Line> preamble;  // lines before the first section
    std::vector<Section> sections;
    NameIndex sectionIndex;       // first occurrence of each section -> index into sections
    std::vector<Change> journal;  // keys set since the last load or save, in first-set order
    std::unordered_map<std::string, std::size_t> journalIndex;
    FileStamp stamp;
    uint32_t largestNumberKey = 0;

    void NoteKey(std::string_view key) {
        if (key.empty() || key.size() > 10 || key.front() < '0' || key.front() > '9') {
            return;
        }
        uint64_t n = 0;
        for (char c : key) {
            if (c < '0' || c > '9') {
                return;
            }
            n = n * 10 + static_cast<uint64_t>(c - '0');
        }
        largestNumberKey = static_cast<uint32_t>(
            std::max<uint64_t>(largestNumberKey, std::min<uint64_t>(n, UINT32_MAX)));
    }

    const Section* Find(std::string_view section) const {
        auto it = sectionIndex.find(section);
        return it == sectionIndex.end() ? nullptr : &sections[it->second];
    }
    const Line* Find(std::string_view section, std::string_view key) const {
        const Section* s = Find(section);
        if (s == nullptr) {
            return nullptr;
        }
        auto it = s->keys.find(key);
        return it == s->keys.end() ? nullptr : &s->lines[it->second];
    }
    std::string_view Own(std::string line) {
        owned.push_back(std::move(line));
        return owned.back();
    }
};

IniFile::IniFile(std::string path) : path_(std::move(path)), doc_(std::make_unique<Document>()) {}
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;
IniFile::~IniFile() = default;

IniFile IniFile::Load(std::string path) {
    std::string bytes;
    std::string error;
    FileStamp stamp = FileStamp::Of(path);
    ReadStatus status = ReadFileBytes(path, bytes, error);
    IniFile file = Parse(std::move(path), bytes);
    file.exists_ = status == ReadStatus::Ok;
    file.readFailed_ = status == ReadStatus::Failed;
    file.doc_->stamp = stamp;
    return file;
}

IniFile IniFile::Parse(std::string path, std::string_view bytes) {
    IniFile file(std::move(path));
    std::string text;
    auto starts = [&bytes](std::string_view prefix) {
        return bytes.substr(0, prefix.size()) == prefix;
    };
    if (starts("\xFF\xFE")) {
        file.encoding_ = IniEncoding::Utf16LE;
        if (!platform::ConvertToUtf8(bytes.substr(2), "UTF-16LE", text)) {
            text.assign(bytes.substr(2));
        }
    } else if (starts("\xEF\xBB\xBF")) {
        file.encoding_ = IniEncoding::Utf8Bom;
        text.assign(bytes.substr(3));
    } else if (IsValidUtf8(bytes)) {
        file.encoding_ = IniEncoding::Utf8;
        text.assign(bytes);
    } else {
        file.encoding_ = IniEncoding::Ansi;
        if (!platform::ConvertToUtf8(bytes, platform::AnsiCodePage(), text)) {
            text.assign(bytes);
        }
    }
    file.ParseText(std::move(text));
    return file;
}

void IniFile::ParseText(std::string text) {
    Document& d = *doc_;
    d.text = std::move(text);
    std::string_view all = d.text;
    auto firstNewline = all.find('\n');
    d.crlf = firstNewline == std::string_view::npos ||
             (firstNewline > 0 && all[firstNewline - 1] == '\r');
    std::vector<Line>* lines = &d.preamble;
    Document::Section* section = nullptr;
    std::size_t pos = 0;
    while (pos < all.size()) {
        auto nl = all.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? all.size() : nl;
        std::string_view text = all.substr(pos, end - pos);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        pos = end + 1;
        std::string_view name;
        if (SectionName(text, name)) {
            d.sections.push_back({name, text, {}, {}});
            section = &d.sections.back();
            lines = &section->lines;
            d.sectionIndex.emplace(name, static_cast<uint32_t>(d.sections.size() - 1));
            continue;
        }
        Line line = ParseKeyLine(text);
        if (section != nullptr && line.keyLength != 0) {
            section->keys.emplace(line.Key(), static_cast<uint32_t>(lines->size()));
            d.NoteKey(line.Key());
        }
        lines->push_back(line);
    }
}

bool IniFile::HasSection(std::string_view section) const {
    return doc_->Find(section) != nullptr;
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const {
    return doc_->Find(section, key) != nullptr;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view fallback, std::size_t limit) const {
    const Line* line = doc_->Find(section, key);
    return CutToUtf16Units(line != nullptr ? line->Value() : fallback, limit);
}

uint32_t IniFile::GetInt(std::string_view section, std::string_view key, uint32_t fallback) const {
    const Line* line = doc_->Find(section, key);
    if (line == nullptr) {
        return fallback;
    }
    uint32_t n = 0;
    for (char c : line->Value()) {
        if (c < '0' || c > '9') {
            break;
        }
        n = n * 10 + static_cast<uint32_t>(c - '0');
    }
    return n;
}

uint32_t IniFile::LargestNumberKey() const {
    return doc_->largestNumberKey;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    Document& d = *doc_;
    std::string id;
    id.reserve(section.size() + key.size() + 1);
    for (char c : section) {
        id.push_back(Lower(c));
    }
    id.push_back('\n');
    for (char c : key) {
        id.push_back(Lower(c));
    }
    auto [it, added] = d.journalIndex.emplace(std::move(id), d.journal.size());
    if (added) {
        d.journal.push_back({std::string(section), std::string(key), std::string(value)});
    } else {
        d.journal[it->second].value.assign(value);
    }
    Apply(section, key, value);
}

void IniFile::Apply(std::string_view sectionName, std::string_view key, std::string_view value) {
    Document& d = *doc_;
    auto found = d.sectionIndex.find(sectionName);
    if (found == d.sectionIndex.end()) {
        std::string_view header = d.Own("[" + std::string(sectionName) + "]");
        d.sections.push_back({header.substr(1, sectionName.size()), header, {}, {}});
        found = d.sectionIndex
                    .emplace(d.sections.back().name, static_cast<uint32_t>(d.sections.size() - 1))
                    .first;
    }
    Document::Section& section = d.sections[found->second];
    auto keyIt = section.keys.find(key);
    if (keyIt != section.keys.end()) {
        Line& line = section.lines[keyIt->second];
        std::string_view stored = line.Key();
        std::string_view text = line.text;
        bool same = line.keyBegin == 0 && text.size() == stored.size() + 1 + value.size() &&
                    text[stored.size()] == '=' && text.substr(stored.size() + 1) == value;
        if (!same) {
            std::string replaced;
            replaced.reserve(stored.size() + 1 + value.size());
            replaced.append(stored).append("=").append(value);
            line.text = d.Own(std::move(replaced));
            line.keyBegin = 0;
            line.equals = line.keyLength;
        }
        return;
    }
    std::string added;
    added.reserve(key.size() + 1 + value.size());
    added.append(key).append("=").append(value);
    Line line = ParseKeyLine(d.Own(std::move(added)));
    // A key line whose name ParseKeyLine would not take (empty, or starting with '[' or ';')
    // still goes in, keyed by the name as given, so reads find what was written.
    line.keyBegin = 0;
    line.keyLength = static_cast<uint32_t>(key.size());
    line.equals = static_cast<uint32_t>(key.size());
    // After the last non-blank line of the section, ahead of the blank lines that separate it
    // from the next one.
    std::size_t at = section.lines.size();
    while (at > 0 && Trim(section.lines[at - 1].text).empty()) {
        --at;
    }
    section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(at), line);
    section.keys.emplace(line.Key(), static_cast<uint32_t>(at));
    d.NoteKey(line.Key());
}

std::string IniFile::Serialize() const {
    const Document& d = *doc_;
    std::string_view eol = d.crlf ? "\r\n" : "\n";
    std::string out;
    out.reserve(d.text.size() + 64);
    auto put = [&out, eol](std::string_view line) { out.append(line).append(eol); };
    for (const Line& line : d.preamble) {
        put(line.text);
    }
    for (const Document::Section& section : d.sections) {
        put(section.header);
        for (const Line& line : section.lines) {
            put(line.text);
        }
    }
    std::string encoded;
    switch (encoding_) {
        case IniEncoding::Utf8:
            return out;
        case IniEncoding::Utf8Bom:
            return "\xEF\xBB\xBF" + out;
        case IniEncoding::Utf16LE:
            if (platform::ConvertFromUtf8(out, "UTF-16LE", encoded)) {
                return "\xFF\xFE" + encoded;
            }
            return out;
        case IniEncoding::Ansi:
            if (platform::ConvertFromUtf8(out, platform::AnsiCodePage(), encoded)) {
                return encoded;
            }
            return out;
    }
    return out;
}

bool IniFile::Dirty() const {
    return !doc_->journal.empty();
}

Outcome IniFile::Save() {
    if (!Dirty()) {
        return Outcome::Ok();
    }
    if (readFailed_) {
        return Outcome::Failed(path_ + " could not be read, so it is not overwritten");
    }
    std::lock_guard lock(SaveMutex());
    if (!(FileStamp::Of(path_) == doc_->stamp)) {
        // Another writer replaced the file since it was loaded: apply this document's keys
        // to the current file instead of writing over that writer's keys.
        IniFile current = Load(path_);
        if (current.readFailed_) {
            return Outcome::Failed(path_ + " could not be read, so it is not overwritten");
        }
        for (const Document::Change& change : doc_->journal) {
            current.Set(change.section, change.key, change.value);
        }
        *this = std::move(current);
    }
    Outcome outcome = WriteFileAtomically(path_, Serialize());
    if (outcome.ok()) {
        exists_ = true;
        doc_->stamp = FileStamp::Of(path_);
        doc_->journal.clear();
        doc_->journalIndex.clear();
    }
    return outcome;
}

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback, std::size_t limit) {
    return IniFile::Load(path).GetString(section, key, fallback, limit);
}

uint32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                        uint32_t fallback) {
    return IniFile::Load(path).GetInt(section, key, fallback);
}

Outcome WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view value) {
    IniFile file = IniFile::Load(path);
    file.Set(section, key, value);
    return file.Save();
}

std::string CutToUtf16Units(std::string_view utf8, std::size_t limit) {
    // A UTF-8 text never has fewer bytes than UTF-16 units.
    if (utf8.size() <= limit) {
        return std::string(utf8);
    }
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        std::size_t width = length == 4 ? 2 : 1;
        if (units + width > limit || i + length > utf8.size()) {
            break;
        }
        units += width;
        i += length;
    }
    return std::string(utf8.substr(0, i));
}

}  // namespace catalog
