#include "catalog/RecordWriter.h"

#include <string>
#include <type_traits>

#include "catalog/GameFields.h"
#include "catalog/ToolFields.h"

namespace catalog {

template <typename Record>
void WriteField(IniFile& file, const FileLayout<FieldName<Record>>& layout, std::string_view key,
                const Record& record, FieldName<Record> name) {
    const auto& field = FieldOf<Record>(name);
    const std::string_view section = layout.Section(field);
    std::visit(
        [&](auto member) {
            const auto& value = record.*member;
            if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, std::string>) {
                file.Set(section, key, value);
            } else if (field.kind == FieldKind::Flag) {
                file.Set(section, key, value != 0 ? "1" : "0");
            } else {
                file.Set(section, key, std::to_string(value));
            }
        },
        field.member);
}

template <typename Record>
void WriteRecord(IniFile& file, const FileLayout<FieldName<Record>>& layout, std::string_view key,
                 const Record& record) {
    for (const StoredField<FieldName<Record>>& stored : layout.fields) {
        WriteField(file, layout, key, record, stored.name);
    }
}

template void WriteRecord(IniFile&, const FileLayout<ToolField>&, std::string_view,
                          const ToolRecord&);
template void WriteRecord(IniFile&, const FileLayout<GameField>&, std::string_view,
                          const GameRecord&);
template void WriteField(IniFile&, const FileLayout<ToolField>&, std::string_view,
                         const ToolRecord&, ToolField);

}  // namespace catalog
