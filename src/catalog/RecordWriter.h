#pragma once

#include <string_view>

#include "catalog/IniFile.h"
#include "catalog/RecordField.h"

namespace catalog {

// Sets the keys of item `key` (its number as text) for every field the layout stores, in the
// layout's order: texts as they are, numbers in decimal, flags as "1" or "0".
template <typename Record>
void WriteRecord(IniFile& file, const FileLayout<FieldName<Record>>& layout, std::string_view key,
                 const Record& record);

// Sets the key of item `key` for one field.
template <typename Record>
void WriteField(IniFile& file, const FileLayout<FieldName<Record>>& layout, std::string_view key,
                const Record& record, FieldName<Record> field);

}  // namespace catalog
