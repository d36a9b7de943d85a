#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "catalog/IniEncoding.h"
#include "catalog/Outcome.h"

namespace catalog {

// One INI document, loaded from a file in a single pass and saved atomically, with the
// semantics of the Windows profile functions:
// - section and key names match without regard to ASCII letter case; the first occurrence
//   of a section, and of a key within it, wins;
// - spaces and tabs around names and values are ignored, and a value enclosed in one pair
//   of double quotes loses them; a value ends at a NUL character;
// - text reads are cut to the reader's limit in UTF-16 code units, number reads take the
//   leading decimal digits (0 when there are none or for a negative value);
// - Set changes one key and keeps every other line as it was.
// Lines are written with the line ending the file used (CRLF for new files, as Windows
// writes them). Lines starting with ';' are comments.
// An IniFile is not shared between threads; Save and the one-key helpers below serialise
// saves to the same path within the process.
class IniFile {
  public:
    // An empty document for `path`, as if the file did not exist.
    explicit IniFile(std::string path = {});

    // Reads the file. A missing file gives an empty document (Exists() false) whose first
    // Save creates the file; an unreadable one gives an empty document that Save refuses to
    // write over.
    static IniFile Load(std::string path);
    // Parses bytes as if they had been read from `path`.
    static IniFile Parse(std::string path, std::string bytes);

    const std::string& Path() const { return path_; }
    bool Exists() const { return exists_; }
    IniEncoding Encoding() const { return encoding_; }

    bool HasSection(std::string_view section) const;
    bool HasKey(std::string_view section, std::string_view key) const;

    // The value, cut to at most `limit` UTF-16 code units; `fallback` (also cut) when the
    // key or the section is missing.
    std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                          std::size_t limit) const;
    // The leading decimal digits of the value as an unsigned 32-bit number (wrapping like
    // the platform reader); `fallback` when the key or the section is missing.
    uint32_t GetInt(std::string_view section, std::string_view key, uint32_t fallback) const;

    // The same reads in a section looked up once, and with numbered keys ("1", "2", ...)
    // given as numbers: the catalog loaders read thousands of them.
    using SectionId = std::size_t;
    static constexpr SectionId kNoSection = static_cast<SectionId>(-1);
    SectionId FindSection(std::string_view section) const;
    bool HasKey(SectionId section, uint32_t number) const;
    std::string GetString(SectionId section, uint32_t number, std::string_view fallback,
                          std::size_t limit) const;
    uint32_t GetInt(SectionId section, uint32_t number, uint32_t fallback) const;
    uint32_t GetInt(SectionId section, std::string_view key, uint32_t fallback) const;

    // The largest key made of decimal digits only, in any section (0 when there is none).
    // No item past it can have a key, so loaders never need to look further, whatever
    // "SIZE" claims.
    uint32_t LargestNumberKey() const;

    // Sets one key: the first occurrence's value is replaced, else the key is added after
    // the last line of its section, else the section is added at the end of the document.
    // Setting the value a key already has changes nothing. Line breaks and NULs in the
    // section, key or value become spaces (see SingleLine).
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // True when a Set since the last load or save changed the document.
    bool Dirty() const;

    // Writes the document to a temporary file beside it, flushes it and renames it over the
    // file, so a failure leaves the previous file as it was. When the file on disk changed
    // since it was loaded (another writer), it is read again and this document's changes
    // are applied to it first, so neither writer's keys are lost. Within the launcher each
    // file has one writer (the catalog, or UserSettings for usercfg.dat), but other processes
    // write the same files: ravikctl run beside the launcher, and the updater, which records
    // the installed version in usercfg.dat. Nothing is written when the document is not dirty.
    Outcome Save();

    // The document's bytes as Save writes them.
    std::string Serialize() const;

    IniFile(IniFile&&) noexcept;
    IniFile& operator=(IniFile&&) noexcept;
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;
    ~IniFile();

  private:
    struct Document;

    void ParseText(std::string text);
    bool Apply(std::string_view section, std::string_view key, std::string_view value);

    std::string path_;
    bool exists_ = false;
    bool readFailed_ = false;  // the file is there but could not be read: never overwrite it
    IniEncoding encoding_ = IniEncoding::Utf8;
    std::unique_ptr<Document> doc_;
};

// `text` with every CR, LF and NUL turned into a space. A name or value written with a line
// break would end its line early, and the rest would be read back as lines nobody wrote:
// a title from the data server could add a "[GAMEDIR]" section that starts another program.
std::string SingleLine(std::string text);

// One-off reads and writes of a single key: load, read or set, save.
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback, std::size_t limit);
uint32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                        uint32_t fallback);
Outcome WriteProfileKey(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace catalog
