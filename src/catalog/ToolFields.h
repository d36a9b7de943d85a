#pragma once

#include <array>
#include <type_traits>

#include "catalog/RecordField.h"
#include "catalog/ToolRecord.h"

namespace catalog {

// The fields of a ToolRecord, in the order ravikctl prints them.
enum class ToolField {
    Id,
    Title,
    Info,
    Type,
    Url,
    ExeName,
    Version,
    PngUrl,
    Scale,
    Time,
    GameId,
    Installed,
    Dir,
    GameDir,
    Icon,
};

static_assert(std::is_same_v<decltype(ToolRecord::installed), int32_t>,
              "the installed flag is held in the signed member type of the field table");

// Every field a tool record has, once: its key, member, kind, read limit and missing value.
// The icon is never stored; it is derived from the id and the installed flag on load.
inline constexpr std::array<RecordField<ToolRecord, ToolField>, 15> kToolFields{{
    {ToolField::Id, "id", FieldKind::Id, &ToolRecord::id},
    {ToolField::Title, "TITLE", FieldKind::Text, &ToolRecord::title, kCatalogTextLimit,
     kMissingText},
    {ToolField::Info, "INFO", FieldKind::Text, &ToolRecord::info, kCatalogTextLimit, kMissingText},
    {ToolField::Type, "TYPE", FieldKind::Number, &ToolRecord::type},
    {ToolField::Url, "URL", FieldKind::Text, &ToolRecord::url, kCatalogTextLimit, kMissingText},
    {ToolField::ExeName, "EXENAME", FieldKind::Text, &ToolRecord::exeName, kCatalogTextLimit,
     kMissingText},
    {ToolField::Version, "VERSION", FieldKind::Text, &ToolRecord::version, kCatalogTextLimit,
     kMissingText},
    {ToolField::PngUrl, "PNGURL", FieldKind::Text, &ToolRecord::pngUrl, kCatalogTextLimit,
     kMissingText},
    {ToolField::Scale, "SCALE", FieldKind::Number, &ToolRecord::scale},
    {ToolField::Time, "TIME", FieldKind::Number, &ToolRecord::time},
    {ToolField::GameId, "GAMEID", FieldKind::Number, &ToolRecord::gameId},
    {ToolField::Installed, "INSTALLED", FieldKind::Flag, &ToolRecord::installed},
    {ToolField::Dir, "DIR", FieldKind::Text, &ToolRecord::dir, kCatalogTextLimit, kMissingText},
    {ToolField::GameDir, "GAMEDIR", FieldKind::Text, &ToolRecord::gameDir, kCatalogTextLimit,
     kMissingText},
    {ToolField::Icon, "icon", FieldKind::Text, &ToolRecord::icon},
}};
static_assert(InNameOrder(kToolFields));

template <>
struct FieldTable<ToolRecord> {
    using Name = ToolField;
    static constexpr const auto& kFields = kToolFields;
};

// A game's tools, GameTool/<g>.dat. The local directory is derived from the id on load, and
// the game's program path and id come from the game.
inline constexpr StoredField<ToolField> kGameToolsFields[] = {
    {ToolField::Info},      {ToolField::Title}, {ToolField::ExeName},
    {ToolField::Type},      {ToolField::Time},  {ToolField::Url},
    {ToolField::Version},   {ToolField::Scale}, {ToolField::Dir, Storage::WriteOnly},
    {ToolField::PngUrl},    {ToolField::Id},    {ToolField::GameDir, Storage::WriteOnly},
    {ToolField::Installed},
};
inline constexpr FileLayout<ToolField> kGameToolsFile{"TOOL", kGameToolsFields};

// The general tools, Normalcfg.dat: the same without a game's program path.
inline constexpr StoredField<ToolField> kGeneralToolsFields[] = {
    {ToolField::Info},    {ToolField::Title}, {ToolField::ExeName},
    {ToolField::Type},    {ToolField::Time},  {ToolField::Url},
    {ToolField::Version}, {ToolField::Scale}, {ToolField::Dir, Storage::WriteOnly},
    {ToolField::PngUrl},  {ToolField::Id},    {ToolField::Installed},
};
inline constexpr FileLayout<ToolField> kGeneralToolsFile{"NormalTool", kGeneralToolsFields};

// The used list, Usedcfg.dat. It keeps each entry's game, since entries of every game and
// the general tools stand side by side, but no icon address.
inline constexpr StoredField<ToolField> kUsedFields[] = {
    {ToolField::Title},
    {ToolField::Id},
    {ToolField::Info},
    {ToolField::ExeName},
    {ToolField::Type},
    {ToolField::Time},
    {ToolField::Url},
    {ToolField::Version},
    {ToolField::GameDir},
    {ToolField::Scale},
    {ToolField::Dir, Storage::WriteOnly},
    {ToolField::GameId},
    {ToolField::Installed},
};
inline constexpr FileLayout<ToolField> kUsedFile{"TOOL", kUsedFields};

}  // namespace catalog
