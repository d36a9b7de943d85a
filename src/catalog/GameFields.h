#pragma once

#include <array>

#include "catalog/GameRecord.h"
#include "catalog/RecordField.h"

namespace catalog {

// The fields of a GameRecord, in the order ravikctl prints them.
enum class GameField {
    Id,
    Title,
    Info,
    ExeName,
    DownUrl,
    ShowWeb,
    Site,
    Png,
    Time,
    Icon,
    Dir,
};

// Every field a game record has, once: its key, member, kind, read limit and missing value.
// The icon is never stored; it is derived from the id on load. The game's directory is
// stored but never read back, so it is empty in practice and not printed.
inline constexpr std::array<RecordField<GameRecord, GameField>, 11> kGameFields{{
    {GameField::Id, "id", FieldKind::Id, &GameRecord::id},
    {GameField::Title, "TITLE", FieldKind::Text, &GameRecord::title, kCatalogTextLimit,
     kMissingText},
    {GameField::Info, "INFO", FieldKind::Text, &GameRecord::info, kCatalogTextLimit, kMissingText},
    {GameField::ExeName, "EXENAME", FieldKind::Text, &GameRecord::exeName, kCatalogTextLimit,
     kMissingText},
    {GameField::DownUrl, "DOWNURL", FieldKind::Text, &GameRecord::downUrl, kCatalogTextLimit,
     kMissingText},
    {GameField::ShowWeb, "SHOWWEB", FieldKind::Text, &GameRecord::showWeb, kCatalogTextLimit,
     kMissingText},
    {GameField::Site, "SITE", FieldKind::Text, &GameRecord::site, kCatalogTextLimit, kMissingText},
    {GameField::Png, "PNG", FieldKind::Text, &GameRecord::png, kCatalogTextLimit, kMissingText},
    {GameField::Time, "TIME", FieldKind::Number, &GameRecord::time},
    {GameField::Icon, "icon", FieldKind::Text, &GameRecord::icon},
    {GameField::Dir, "DIR", FieldKind::Text, &GameRecord::dir, kCatalogTextLimit, kMissingText, 0,
     false},
}};
static_assert(InNameOrder(kGameFields));

template <>
struct FieldTable<GameRecord> {
    using Name = GameField;
    static constexpr const auto& kFields = kGameFields;
};

// The games, gamecfg.dat. The file also holds each game's program path in its own section,
// keyed by the game's id; the list writer never touches it.
inline constexpr std::string_view kProgramPathSection = "GAMEDIR";
inline constexpr StoredField<GameField> kGamesFields[] = {
    {GameField::Id},      {GameField::Title},   {GameField::Info},
    {GameField::ExeName}, {GameField::DownUrl}, {GameField::ShowWeb},
    {GameField::Site},    {GameField::Time},    {GameField::Dir, Storage::WriteOnly},
    {GameField::Png},
};
inline constexpr FileLayout<GameField> kGamesFile{"NETGAME", kGamesFields};

}  // namespace catalog
