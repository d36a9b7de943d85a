#include "catalog/IniFile.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory_resource>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "catalog/FileSystem.h"

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
    std::pmr::unordered_map<std::string_view, uint32_t, CaseInsensitiveHash, CaseInsensitiveEqual>;

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

// A key written as a plain decimal number ("1", "250"; not "01" or "+1"), as the numbered
// keys of the catalog files are; nine digits at most, so it fits with room to spare.
bool NumberKey(std::string_view key, uint32_t& number) {
    if (key.empty() || key.size() > 9 || (key[0] == '0' && key.size() > 1)) {
        return false;
    }
    uint32_t n = 0;
    for (char c : key) {
        if (c < '0' || c > '9') {
            return false;
        }
        n = n * 10 + static_cast<uint32_t>(c - '0');
    }
    number = n;
    return true;
}

// How a line ended in the file. A line is written back with its own ending, so a file that
// mixes them (or has "\r\r\n", whose first '\r' belongs to the line) keeps its bytes; new
// lines, and a last line that had none, take the document's.
enum class Ending : uint8_t { Document, Lf, CrLf };

// One line of the document, without its line ending. For a key line, the key is
// text[keyBegin, keyBegin + keyLength) and the raw value follows the '=' at `equals`.
struct Line {
    std::string_view text;
    uint32_t keyBegin = 0;
    uint32_t keyLength = 0;  // 0: not a key line
    uint32_t equals = 0;
    Ending ending = Ending::Document;

    std::string_view Key() const { return text.substr(keyBegin, keyLength); }
    std::string_view Value() const {
        std::string_view v = text.substr(equals + 1);
        if (const void* nul = std::memchr(v.data(), '\0', v.size())) {
            v = v.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - v.data()));
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
    const void* eq = std::memchr(text.data() + b, '=', text.size() - b);
    if (eq == nullptr) {
        return line;
    }
    std::size_t e = static_cast<std::size_t>(static_cast<const char*>(eq) - text.data());
    line.equals = static_cast<uint32_t>(e);
    while (e > b && IsBlank(text[e - 1])) {
        --e;
    }
    if (e == b) {
        return line;
    }
    line.keyBegin = static_cast<uint32_t>(b);
    line.keyLength = static_cast<uint32_t>(e - b);
    return line;
}

// The section name of a "[name]" line, or false when the line is no section header.
bool SectionName(std::string_view text, std::string_view& name) {
    std::size_t b = 0;
    while (b < text.size() && IsBlank(text[b])) {
        ++b;
    }
    if (b == text.size() || text[b] != '[') {
        return false;
    }
    std::string_view t = text.substr(b + 1);
    auto close = t.find(']');
    name = Trim(close == std::string_view::npos ? t : t.substr(0, close));
    return true;
}

std::mutex& SaveMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

// The parsed lines and indexes of a document live in one arena that is released as a whole,
// so loading a large catalog does not allocate and free per line.
struct IniFile::Document {
    // Keys are found through `numbered` when they are plain numbers in a dense range (the
    // catalog files' "1" ... "n"), through `named` otherwise.
    struct Section {
        Section(std::string_view n, std::string_view h, Ending e, std::pmr::memory_resource* arena)
            : name(n), header(h), headerEnding(e), lines(arena), numbered(arena), named(arena) {}
        std::string_view name;
        std::string_view header;  // the "[name]" line as it stands
        Ending headerEnding;
        std::pmr::vector<Line> lines;
        std::pmr::vector<uint32_t> numbered;  // number -> line index + 1; 0 when absent
        NameIndex named;                      // other keys -> line index
        bool namedHasNumbers = false;

        const Line* Find(uint32_t number) const {
            if (number < numbered.size() && numbered[number] != 0) {
                return &lines[numbered[number] - 1];
            }
            return namedHasNumbers ? FindNamed(std::to_string(number)) : nullptr;
        }
        const Line* Find(std::string_view key) const {
            uint32_t number;
            return NumberKey(key, number) ? Find(number) : FindNamed(key);
        }
        const Line* FindNamed(std::string_view key) const {
            auto it = named.find(key);
            return it == named.end() ? nullptr : &lines[it->second];
        }
        // Makes line `index` findable by its key unless an earlier line has the same key.
        void Index(uint32_t index) {
            std::string_view key = lines[index].Key();
            uint32_t number;
            if (NumberKey(key, number)) {
                if (number < numbered.size()) {
                    if (numbered[number] == 0 && !(namedHasNumbers && FindNamed(key))) {
                        numbered[number] = index + 1;
                    }
                    return;
                }
                // Grow the table for keys that continue a dense run; a stray large number
                // goes to the name index instead of making the table huge.
                if (number <= 2 * numbered.size() + 64) {
                    if (namedHasNumbers && FindNamed(key)) {
                        return;
                    }
                    numbered.resize(number + 1, 0);
                    numbered[number] = index + 1;
                    return;
                }
                namedHasNumbers = true;
            }
            named.emplace(key, index);
        }
    };
    struct Change {
        std::string section;
        std::string key;
        std::string value;
    };

    explicit Document(std::size_t expectedBytes = 0)
        : arena(std::max<std::size_t>(expectedBytes, 1024)),
          preamble(&arena),
          sectionIndex(&arena) {}

    std::pmr::monotonic_buffer_resource arena;
    std::string text;               // the decoded file; lines point into it
    std::deque<std::string> owned;  // lines added or changed since; stable addresses
    bool crlf = true;
    std::pmr::vector<Line> preamble;  // lines before the first section
    std::vector<Section> sections;
    NameIndex sectionIndex;       // first occurrence of each section -> index into sections
    std::vector<Change> journal;  // keys changed since the last load or save, in that order
    std::unordered_map<std::string, std::size_t> journalIndex;
    FileVersion version;
    uint32_t largestNumberKey = 0;

    const Section* Find(SectionId id) const {
        return id < sections.size() ? &sections[id] : nullptr;
    }
    SectionId FindId(std::string_view name) const {
        auto it = sectionIndex.find(name);
        return it == sectionIndex.end() ? kNoSection : it->second;
    }
    std::string_view Own(std::string line) {
        owned.push_back(std::move(line));
        return owned.back();
    }
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
};

IniFile::IniFile(std::string path) : path_(std::move(path)), doc_(std::make_unique<Document>()) {}
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;
IniFile::~IniFile() = default;

IniFile IniFile::Load(std::string path) {
    std::string bytes;
    std::string error;
    FileVersion version;
    ReadStatus status = ReadFileBytes(path, bytes, error, &version);
    IniFile file = Parse(std::move(path), std::move(bytes));
    file.exists_ = status == ReadStatus::Ok;
    file.readFailed_ = status == ReadStatus::Failed;
    file.doc_->version = version;
    return file;
}

IniFile IniFile::Parse(std::string path, std::string bytes) {
    IniFile file(std::move(path));
    file.doc_ = std::make_unique<Document>(bytes.size());
    std::string text;
    file.encoding_ = DecodeIniBytes(std::move(bytes), text);
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
    Document::Section* section = nullptr;
    std::size_t pos = 0;
    while (pos < all.size()) {
        const void* nl = std::memchr(all.data() + pos, '\n', all.size() - pos);
        std::size_t end = nl == nullptr
                              ? all.size()
                              : static_cast<std::size_t>(static_cast<const char*>(nl) - all.data());
        std::string_view line = all.substr(pos, end - pos);
        Ending ending = nl == nullptr ? Ending::Document : Ending::Lf;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
            ending = nl == nullptr ? Ending::Document : Ending::CrLf;
        }
        pos = end + 1;
        std::string_view name;
        if (SectionName(line, name)) {
            d.sections.emplace_back(name, line, ending, &d.arena);
            section = &d.sections.back();
            d.sectionIndex.emplace(name, static_cast<uint32_t>(d.sections.size() - 1));
            continue;
        }
        Line parsed = ParseKeyLine(line);
        parsed.ending = ending;
        if (section == nullptr) {
            d.preamble.push_back(parsed);
            continue;
        }
        section->lines.push_back(parsed);
        if (parsed.keyLength != 0) {
            section->Index(static_cast<uint32_t>(section->lines.size() - 1));
            d.NoteKey(parsed.Key());
        }
    }
}

IniFile::SectionId IniFile::FindSection(std::string_view section) const {
    return doc_->FindId(section);
}

bool IniFile::HasSection(std::string_view section) const {
    return FindSection(section) != kNoSection;
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const {
    const Document::Section* s = doc_->Find(FindSection(section));
    return s != nullptr && s->Find(key) != nullptr;
}

bool IniFile::HasKey(SectionId section, uint32_t number) const {
    const Document::Section* s = doc_->Find(section);
    return s != nullptr && s->Find(number) != nullptr;
}

namespace {

std::string TextOf(const Line* line, std::string_view fallback, std::size_t limit) {
    return CutToUtf16Units(line != nullptr ? line->Value() : fallback, limit);
}

uint32_t NumberOf(const Line* line, uint32_t fallback) {
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

}  // namespace

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view fallback, std::size_t limit) const {
    const Document::Section* s = doc_->Find(FindSection(section));
    return TextOf(s != nullptr ? s->Find(key) : nullptr, fallback, limit);
}

std::string IniFile::GetString(SectionId section, uint32_t number, std::string_view fallback,
                               std::size_t limit) const {
    const Document::Section* s = doc_->Find(section);
    return TextOf(s != nullptr ? s->Find(number) : nullptr, fallback, limit);
}

uint32_t IniFile::GetInt(std::string_view section, std::string_view key, uint32_t fallback) const {
    return GetInt(FindSection(section), key, fallback);
}

uint32_t IniFile::GetInt(SectionId section, std::string_view key, uint32_t fallback) const {
    const Document::Section* s = doc_->Find(section);
    return NumberOf(s != nullptr ? s->Find(key) : nullptr, fallback);
}

uint32_t IniFile::GetInt(SectionId section, uint32_t number, uint32_t fallback) const {
    const Document::Section* s = doc_->Find(section);
    return NumberOf(s != nullptr ? s->Find(number) : nullptr, fallback);
}

uint32_t IniFile::LargestNumberKey() const {
    return doc_->largestNumberKey;
}

namespace {

constexpr std::string_view kLineBreaks("\r\n\0", 3);

}  // namespace

std::string SingleLine(std::string text) {
    for (std::size_t at = text.find_first_of(kLineBreaks); at != std::string::npos;
         at = text.find_first_of(kLineBreaks, at + 1)) {
        text[at] = ' ';
    }
    return text;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (section.find_first_of(kLineBreaks) != std::string_view::npos ||
        key.find_first_of(kLineBreaks) != std::string_view::npos ||
        value.find_first_of(kLineBreaks) != std::string_view::npos) {
        Set(SingleLine(std::string(section)), SingleLine(std::string(key)),
            SingleLine(std::string(value)));
        return;
    }
    if (!Apply(section, key, value)) {
        return;
    }
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
}

bool IniFile::Apply(std::string_view sectionName, std::string_view key, std::string_view value) {
    Document& d = *doc_;
    SectionId id = d.FindId(sectionName);
    if (id == kNoSection) {
        std::string line;
        line.reserve(sectionName.size() + 2);
        line.append("[").append(sectionName).append("]");
        std::string_view header = d.Own(std::move(line));
        d.sections.emplace_back(header.substr(1, sectionName.size()), header, Ending::Document,
                                &d.arena);
        id = d.sections.size() - 1;
        d.sectionIndex.emplace(d.sections.back().name, static_cast<uint32_t>(id));
    }
    Document::Section& section = d.sections[id];
    if (const Line* found = section.Find(key)) {
        Line& line = section.lines[static_cast<std::size_t>(found - section.lines.data())];
        std::string_view stored = line.Key();
        std::string_view text = line.text;
        if (line.keyBegin == 0 && text.size() == stored.size() + 1 + value.size() &&
            text[stored.size()] == '=' && text.substr(stored.size() + 1) == value) {
            return false;
        }
        std::string replaced;
        replaced.reserve(stored.size() + 1 + value.size());
        replaced.append(stored).append("=").append(value);
        line.text = d.Own(std::move(replaced));
        line.keyBegin = 0;
        line.equals = line.keyLength;
        return true;
    }
    std::string added;
    added.reserve(key.size() + 1 + value.size());
    added.append(key).append("=").append(value);
    // Keyed by the name as given, even one the parser would not take as a key (empty, or
    // starting with '[' or ';'), so reads find what was written.
    Line line;
    line.text = d.Own(std::move(added));
    line.keyLength = static_cast<uint32_t>(key.size());
    line.equals = static_cast<uint32_t>(key.size());
    // After the last non-blank line of the section, ahead of the blank lines that separate
    // it from the next one.
    std::size_t at = section.lines.size();
    while (at > 0 && Trim(section.lines[at - 1].text).empty()) {
        --at;
    }
    section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(at), line);
    // Only blank lines, which are never indexed, moved behind it.
    section.Index(static_cast<uint32_t>(at));
    d.NoteKey(key);
    return true;
}

std::string IniFile::Serialize() const {
    const Document& d = *doc_;
    const std::string_view eol = d.crlf ? "\r\n" : "\n";
    std::string out;
    out.reserve(d.text.size() + 64);
    auto put = [&out, eol](std::string_view line, Ending ending) {
        out.append(line).append(ending == Ending::CrLf ? "\r\n"
                                : ending == Ending::Lf ? "\n"
                                                       : eol);
    };
    for (const Line& line : d.preamble) {
        put(line.text, line.ending);
    }
    for (const Document::Section& section : d.sections) {
        put(section.header, section.headerEnding);
        for (const Line& line : section.lines) {
            put(line.text, line.ending);
        }
    }
    return EncodeIniText(std::move(out), encoding_);
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
    if (!(VersionOf(path_) == doc_->version)) {
        // Another writer replaced the file since it was loaded: apply this document's
        // changes to the current file instead of writing over that writer's keys.
        IniFile current = Load(path_);
        if (current.readFailed_) {
            return Outcome::Failed(path_ + " could not be read, so it is not overwritten");
        }
        for (const Document::Change& change : doc_->journal) {
            current.Apply(change.section, change.key, change.value);
        }
        current.doc_->journal = std::move(doc_->journal);
        current.doc_->journalIndex = std::move(doc_->journalIndex);
        *this = std::move(current);
    }
    Outcome outcome = WriteFileAtomically(path_, Serialize());
    if (outcome.ok()) {
        exists_ = true;
        doc_->version = VersionOf(path_);
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

Outcome WriteProfileKey(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    IniFile file = IniFile::Load(path);
    file.Set(section, key, value);
    return file.Save();
}

}  // namespace catalog
