#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalog/Catalog.h"
#include "catalog/GameRecord.h"
#include "catalog/SearchKey.h"
#include "catalog/ToolRecord.h"

namespace grid {

class ItemTile;
struct GridContext;

// The signals carry tiles: their meta-type needs the complete class wherever moc's output is
// compiled.
Q_MOC_INCLUDE("grid/ItemTile.h")

// The four paging buttons.
enum class PageCommand { First, Previous, Next, Last };

// The paged grid of tiles for one tab: 4 columns x 5 rows, 20 tiles per page, pages filled
// row by row. The online-games view has a second level: entering a game shows that game's
// entries in the same grid until the window goes back.
//
// Tiles are created when their page is first shown, so a catalog of thousands of items
// costs widgets only for the pages the user looks at; until then a tile is its record and
// its cell.
//
// A search replaces the list on show by the items whose titles match, paged the same way,
// until it ends; then the list is back as it was, on the page it was left at.
//
// The keyboard works in the view once it holds the focus (FocusCurrent): arrows move the
// focus between tiles and over page ends, PageUp and PageDown change page, Home and End go
// to the first and last item, Enter does what a double click does, the menu key and
// Shift+F10 open the tile's menu and Delete does the menu's "删除" where the menu has it.
class GridView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kColumns = 4;
    static constexpr int kRows = 5;
    static constexpr int kPageSize = kColumns * kRows;
    static constexpr QRect kGeometry{2, 102, 307, 368};

    GridView(catalog::ViewKind kind, const GridContext& context, QWidget* parent);
    ~GridView() override;

    catalog::ViewKind Kind() const { return kind_; }

    // Top-left corner of a cell, column 0-3 and row 0-4, in view coordinates.
    static QPoint CellPosition(int column, int row);

    // The online-games view keeps the window's games list to look entered games up in.
    void SetGames(const catalog::GameList* games);
    bool HoldsGames() const { return games_ != nullptr; }

    void AddGameTile(const catalog::GameRecord& game);
    void AddToolTile(const catalog::ToolRecord& tool);
    // Gives every item of the list on show its cell, in list order.
    void LayOutTiles();
    // Page 1 of the list on show; an empty list keeps the page number.
    void ShowFirstPage();
    // A page number, kept only when that page exists.
    void GoToPage(unsigned page);
    void GoToPage(PageCommand command);
    void HideAllTiles();
    void DestroyToolTiles();
    void DestroyGameTiles();
    // Online-games view: the game's fixed entries and tools become the tool tiles.
    void ShowGameTools(const catalog::GameRecord& game);

    // Enters the game with that id: its entries from their page 1. An id that is not in the
    // games list leaves the view empty.
    void EnterGame(uint32_t gameId);
    // Back from a game's entries to the games, on the page they were left at.
    void LeaveGame();
    // A tile was activated (double-clicked) before it asks for anything.
    void TileActivated(uint32_t itemId);

    bool AtGameLevel() const { return gameLevel_; }
    uint32_t EnteredGameId() const { return enteredGame_; }
    unsigned CurrentPage() const { return currentPage_; }
    unsigned SavedGamesPage() const { return savedGamesPage_; }
    // The number of pages of the list on show (0 when it is empty).
    unsigned PageCount() const;
    // Title of the game tile activated last: the entered game's name.
    const QString& CurrentTitle() const { return currentTitle_; }
    bool ManageMode() const { return manageMode_; }
    // Takes effect when a page is shown next.
    void SetManageMode(bool on) { manageMode_ = on; }

    // Shows only the items of the list on show whose titles match what the user typed
    // (catalog::SearchKey), from page 1. At the games of the online-games view the games'
    // entries and tools that match follow the games that do, and each names its game in its
    // tooltip. Typing nothing (or only spaces) ends the search.
    void Search(const QString& typed);
    // Back to the list as it was before the search: its page, its game level.
    void EndSearch();
    bool Searching() const { return searching_; }

    // The items of the list on show, and the tile of one of them (nullptr until its page
    // has been shown).
    std::size_t ItemCount() const;
    ItemTile* TileAt(std::size_t index) const;
    // Tiles currently visible, in list order.
    std::vector<ItemTile*> VisibleTiles() const;
    // The first tool item with that id takes the changed record, and so does its tile.
    // False when the view shows no such tool.
    bool UpdateToolTile(const catalog::ToolRecord& record);

    // Gives the keyboard focus to the tile at the keyboard's place when it is on the page on
    // show, else to the page's first tile. False when the list is empty.
    bool FocusCurrent();
    // Shows the page of item `index` and gives its tile the focus.
    void FocusItem(std::size_t index);
    // True while the view or one of its tiles has the keyboard focus.
    bool HoldsFocus() const;

    // The short message drawn in the middle of the grid while the list on show is empty:
    // why it is empty (connecting, no answer, nothing yet). Empty text: nothing drawn.
    void SetEmptyText(const QString& text);
    // The message drawn for an empty list: during a search, that nothing matches.
    const QString& EmptyText() const;

  signals:
    void gameEntered();                                            // a game's entries are shown
    void titleChanged(catalog::ViewKind kind);                     // the list label should follow
    void runRequested(grid::ItemTile* tile);                       // run the item
    void deleteRequested(uint32_t itemId, grid::GridView* view);   // delete or uninstall
    void gameDirectorySet(uint32_t itemId, grid::GridView* view);  // a start entry's program
    void feedbackRequested(grid::ItemTile* tile);
    void describeRequested(grid::ItemTile* tile, const QString& url);
    // The list on show became the results of a new query, or the list itself again (the
    // search ended, asked for or because the view changed under it).
    void searchChanged();
    void pageChanged();  // the keyboard showed another page

  protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    template <typename Record>
    struct Slot {
        Record record;
        QPoint cell;
        ItemTile* tile = nullptr;
        std::optional<catalog::SearchKey> key;  // made at the first search that needs it
    };
    using GameSlots = std::vector<Slot<catalog::GameRecord>>;
    using ToolSlots = std::vector<Slot<catalog::ToolRecord>>;

    // The search keys of one game's entries, made from the display list they belong to.
    struct EntryKeys {
        std::shared_ptr<const catalog::ToolList> list;
        std::vector<catalog::SearchKey> keys;
    };

    bool ShowsGames() const { return HoldsGames() && gameLevel_; }
    void ShowPage();
    // Calls fn(slots, position of their first item) for each list making up the list on
    // show (a search's games, then its tools).
    template <typename Fn>
    void ForEachListOnShow(Fn fn);
    template <typename Slots>
    void ShowTilesOnPage(Slots& items, std::size_t first);
    template <typename Slots>
    void HideTilesOffPage(Slots& items, std::size_t first);
    template <typename Slots>
    void LayOut(Slots& items, std::size_t first);
    template <typename Record>
    static bool KeyMatches(Slot<Record>& slot, const std::u32string& query);
    void FindEntriesOfEveryGame(const std::u32string& query);
    void FollowGameOf(const ItemTile* tile);
    template <typename Record>
    ItemTile* TileFor(Slot<Record>& slot);
    void Connect(ItemTile* tile);
    template <typename Slots>
    void DropTiles(Slots& items);
    // Keeps the focus in the view while the tiles that hold it go away.
    void HoldFocusInView();
    // The tile at the keyboard's place, or nullptr.
    ItemTile* FocusedTile() const;

    catalog::ViewKind kind_;
    const GridContext& context_;
    const catalog::GameList* games_ = nullptr;
    GameSlots gameSlots_;
    ToolSlots toolSlots_;
    bool gameLevel_ = true;
    uint32_t enteredGame_ = 0;
    bool manageMode_ = false;
    unsigned currentPage_ = 1;
    unsigned savedGamesPage_ = 1;
    std::size_t focusIndex_ = 0;  // the keyboard's place in the list on show
    uint32_t lastGameId_ = 0;
    uint32_t lastToolId_ = 0;
    QString currentTitle_;
    QString emptyText_;

    bool searching_ = false;
    unsigned pageBeforeSearch_ = 1;
    uint32_t gameBeforeSearch_ = 0;
    GameSlots foundGames_;              // the games found, shown first
    ToolSlots foundTools_;              // then the tools and entries found
    std::vector<EntryKeys> entryKeys_;  // by position in the games list
};

}  // namespace grid
