#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "catalog/IniFile.h"
#include "catalog/RecordField.h"

namespace catalog {

// Items 1..n of a catalog file: "SIZE" of its index section, but never past the last
// numbered key, so a damaged "SIZE" cannot make a loader spin through billions of items
// that have no keys.
uint32_t ItemCount(const IniFile& file, std::string_view index);

// Reads the items of one catalog file into records, field by field as the file's layout
// and the record kind's field table say. The sections are looked up once, since a loader
// reads thousands of items. The file must outlive the reader.
template <typename Record>
class RecordReader {
  public:
    using Name = FieldName<Record>;

    RecordReader(const IniFile& file, const FileLayout<Name>& layout);

    uint32_t Count() const { return count_; }
    // Sets every field the layout reads back; the other members keep their values.
    void Read(uint32_t item, Record& record) const;
    // Sets one field, also one the layout does not read back.
    void Read(uint32_t item, Name field, Record& record) const;
    // Whether the file has the item's key for that field (else a read gives the missing value).
    bool Stored(uint32_t item, Name field) const;

  private:
    const IniFile* file_;
    uint32_t count_;
    std::array<IniFile::SectionId, FieldTable<Record>::kFields.size()> sections_;
    std::vector<Name> readBack_;
};

}  // namespace catalog
