#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace catalog {

// Catalog readers keep at most 259 UTF-16 units of a text; a missing text reads "NULL".
inline constexpr std::size_t kCatalogTextLimit = 259;
inline constexpr std::string_view kMissingText = "NULL";

// How a field is stored in a catalog file and read back.
enum class FieldKind {
    Id,      // the record's number, stored in the file's index section ("TOOL", "NETGAME", ...)
    Text,    // cut to the field's read limit; the field's missing text when absent
    Number,  // leading decimal digits; the field's missing number when absent
    Flag,    // stored as "1" or "0"; any stored number other than 0 reads as 1
};

// A member of a record: texts are std::string, numbers uint32_t or, where the catalog
// allows a sign, int32_t.
template <typename Record>
using FieldMember = std::variant<std::string Record::*, uint32_t Record::*, int32_t Record::*>;

// One field of a record kind: the name the catalog files and ravikctl's JSON know it by, the
// member that holds it, and how a catalog reader takes it from a file.
template <typename Record, typename Name>
struct RecordField {
    Name name;
    std::string_view key;  // INI section in the catalog files and key in ravikctl's JSON
    FieldKind kind;
    FieldMember<Record> member;
    std::size_t readLimit = 0;  // texts: UTF-16 units a reader keeps
    std::string_view missingText{};
    uint32_t missingNumber = 0;
    bool printed = true;  // part of the record as ravikctl prints it
};

// The table of a record kind: `Name` is the enumeration of its fields and `kFields` lists
// them in that enumeration's order. Specialised next to each table.
template <typename Record>
struct FieldTable;

template <typename Record>
using FieldName = typename FieldTable<Record>::Name;

template <typename Record>
constexpr const auto& FieldOf(FieldName<Record> name) {
    return FieldTable<Record>::kFields[static_cast<std::size_t>(name)];
}

// True when every field sits at its enumeration's place, so FieldOf finds it.
template <typename Table>
constexpr bool InNameOrder(const Table& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (static_cast<std::size_t>(fields[i].name) != i) {
            return false;
        }
    }
    return true;
}

// Whether a catalog file's loader takes a stored field back. A write-only field is kept in
// the file for other readers; the loader derives the member another way.
enum class Storage { ReadBack, WriteOnly };

template <typename Name>
struct StoredField {
    Name name;
    Storage storage = Storage::ReadBack;
};

// The fields one catalog file stores for each item, in the order its writer sets them. The
// order decides where new sections go when the writer creates them.
template <typename Name>
struct FileLayout {
    std::string_view index;  // the section holding each item's id and the item count
    std::span<const StoredField<Name>> fields;

    // The section a field's values are stored in.
    template <typename Record>
    constexpr std::string_view Section(const RecordField<Record, Name>& field) const {
        return field.kind == FieldKind::Id ? index : field.key;
    }
};

}  // namespace catalog
