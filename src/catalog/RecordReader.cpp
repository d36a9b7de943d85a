#include "catalog/RecordReader.h"

#include <algorithm>
#include <type_traits>

#include "catalog/GameFields.h"
#include "catalog/ToolFields.h"

namespace catalog {

uint32_t ItemCount(const IniFile& file, std::string_view index) {
    return std::min(file.GetInt(index, "SIZE", 0), file.LargestNumberKey());
}

template <typename Record>
RecordReader<Record>::RecordReader(const IniFile& file, const FileLayout<Name>& layout)
    : file_(&file), count_(ItemCount(file, layout.index)) {
    sections_.fill(IniFile::kNoSection);
    for (const StoredField<Name>& stored : layout.fields) {
        sections_[static_cast<std::size_t>(stored.name)] =
            file.FindSection(layout.Section(FieldOf<Record>(stored.name)));
        if (stored.storage == Storage::ReadBack) {
            readBack_.push_back(stored.name);
        }
    }
}

template <typename Record>
void RecordReader<Record>::Read(uint32_t item, Record& record) const {
    for (Name name : readBack_) {
        Read(item, name, record);
    }
}

template <typename Record>
void RecordReader<Record>::Read(uint32_t item, Name name, Record& record) const {
    const auto& field = FieldOf<Record>(name);
    const IniFile::SectionId section = sections_[static_cast<std::size_t>(name)];
    std::visit(
        [&](auto member) {
            using Value = std::remove_reference_t<decltype(record.*member)>;
            if constexpr (std::is_same_v<Value, std::string>) {
                record.*member =
                    file_->GetString(section, item, field.missingText, field.readLimit);
            } else {
                const uint32_t number = file_->GetInt(section, item, field.missingNumber);
                record.*member = field.kind == FieldKind::Flag ? (number != 0 ? 1 : 0)
                                                               : static_cast<Value>(number);
            }
        },
        field.member);
}

template <typename Record>
bool RecordReader<Record>::Stored(uint32_t item, Name name) const {
    return file_->HasKey(sections_[static_cast<std::size_t>(name)], item);
}

template class RecordReader<ToolRecord>;
template class RecordReader<GameRecord>;

}  // namespace catalog
