#include "grid/GridView.h"

#include <QApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <optional>
#include <type_traits>

#include "grid/GridContext.h"
#include "grid/GridNavigation.h"
#include "grid/ItemTile.h"
#include "ui/UiFont.h"

namespace grid {
namespace {

const QColor kBackground(26, 119, 188);
const QColor kEmptyTextColour(214, 232, 246);
constexpr int kEmptyTextMargin = 24;
const QString kNoMatchText = QStringLiteral("没有找到匹配的项目");

// Index (0-based) of the first item of a page and one past its last.
std::size_t PageBegin(unsigned page) {
    return (static_cast<std::size_t>(page) - 1) * GridView::kPageSize;
}
std::size_t PageEnd(unsigned page) {
    return static_cast<std::size_t>(page) * GridView::kPageSize;
}
unsigned PageOf(std::size_t index) {
    return static_cast<unsigned>(index / GridView::kPageSize + 1);
}

std::optional<GridMove> MoveOf(int key) {
    switch (key) {
        case Qt::Key_Left:
            return GridMove::Left;
        case Qt::Key_Right:
            return GridMove::Right;
        case Qt::Key_Up:
            return GridMove::Up;
        case Qt::Key_Down:
            return GridMove::Down;
        case Qt::Key_PageUp:
            return GridMove::PageUp;
        case Qt::Key_PageDown:
            return GridMove::PageDown;
        case Qt::Key_Home:
            return GridMove::Home;
        case Qt::Key_End:
            return GridMove::End;
        default:
            return std::nullopt;
    }
}

}  // namespace

GridView::GridView(catalog::ViewKind kind, const GridContext& context, QWidget* parent)
    : QWidget(parent), kind_(kind), context_(context) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(kGeometry);
}

GridView::~GridView() = default;

QPoint GridView::CellPosition(int column, int row) {
    return QPoint(1 + 76 * column, 5 + 71 * row);
}

void GridView::SetGames(const catalog::GameList* games) {
    games_ = games;
}

void GridView::AddGameTile(const catalog::GameRecord& game) {
    gameSlots_.push_back({game, QPoint(), nullptr, std::nullopt});
}

void GridView::AddToolTile(const catalog::ToolRecord& tool) {
    toolSlots_.push_back({tool, QPoint(), nullptr, std::nullopt});
}

template <typename Slots>
void GridView::LayOut(Slots& items, std::size_t first) {
    for (std::size_t n = 0; n < items.size(); ++n) {
        const int cell = static_cast<int>((first + n) % kPageSize);
        items[n].cell = CellPosition(cell % kColumns, cell / kColumns);
        if (items[n].tile != nullptr) {
            items[n].tile->SetCell(items[n].cell);
            items[n].tile->move(items[n].cell);
        }
    }
}

void GridView::LayOutTiles() {
    if (searching_) {
        LayOut(foundGames_, 0);
        LayOut(foundTools_, foundGames_.size());
    } else if (ShowsGames()) {
        LayOut(gameSlots_, 0);
    } else {
        LayOut(toolSlots_, 0);
    }
    // The empty-list message comes or goes with the list.
    update();
}

std::size_t GridView::ItemCount() const {
    if (searching_) {
        return foundGames_.size() + foundTools_.size();
    }
    return ShowsGames() ? gameSlots_.size() : toolSlots_.size();
}

unsigned GridView::PageCount() const {
    const std::size_t count = ItemCount();
    return count == 0 ? 0 : static_cast<unsigned>((count - 1) / kPageSize + 1);
}

ItemTile* GridView::TileAt(std::size_t index) const {
    if (index >= ItemCount()) {
        return nullptr;
    }
    if (searching_) {
        return index < foundGames_.size() ? foundGames_[index].tile
                                          : foundTools_[index - foundGames_.size()].tile;
    }
    return ShowsGames() ? gameSlots_[index].tile : toolSlots_[index].tile;
}

std::vector<ItemTile*> GridView::VisibleTiles() const {
    std::vector<ItemTile*> visible;
    auto collect = [&visible](const auto& items) {
        for (const auto& slot : items) {
            if (slot.tile != nullptr && !slot.tile->isHidden()) {
                visible.push_back(slot.tile);
            }
        }
    };
    collect(foundGames_);
    collect(foundTools_);
    collect(gameSlots_);
    collect(toolSlots_);
    return visible;
}

void GridView::ShowFirstPage() {
    if (ItemCount() == 0) {
        return;
    }
    currentPage_ = 1;
    ShowPage();
}

void GridView::GoToPage(unsigned page) {
    const unsigned pages = PageCount();
    if (pages == 0 || page == 0 || page > pages) {
        return;
    }
    currentPage_ = page;
    ShowPage();
}

void GridView::GoToPage(PageCommand command) {
    if (command == PageCommand::First) {
        currentPage_ = 1;
    }
    const unsigned pages = PageCount();
    if (pages == 0) {
        return;
    }
    switch (command) {
        case PageCommand::First:
            break;
        case PageCommand::Previous:
            if (currentPage_ > 1) {
                --currentPage_;
            }
            break;
        case PageCommand::Next:
            if (currentPage_ < pages) {
                ++currentPage_;
            }
            break;
        case PageCommand::Last:
            currentPage_ = pages;
            break;
    }
    ShowPage();
}

void GridView::ShowPage() {
    // The new page shows before the old one hides: a focused tile hands the focus to a tile
    // of the new page rather than to the next control of the window.
    const bool keepFocus = HoldsFocus();
    ForEachListOnShow([this](auto& items, std::size_t first) { ShowTilesOnPage(items, first); });
    if (keepFocus) {
        FocusCurrent();
    }
    ForEachListOnShow([this](auto& items, std::size_t first) { HideTilesOffPage(items, first); });
}

template <typename Fn>
void GridView::ForEachListOnShow(Fn fn) {
    if (searching_) {
        fn(foundGames_, 0);
        fn(foundTools_, foundGames_.size());
    } else if (ShowsGames()) {
        fn(gameSlots_, 0);
    } else {
        fn(toolSlots_, 0);
    }
}

// `first` is the position in the list on show of the first of `items`.
template <typename Slots>
void GridView::ShowTilesOnPage(Slots& items, std::size_t first) {
    const std::size_t begin = PageBegin(currentPage_);
    const std::size_t end = PageEnd(currentPage_);
    for (std::size_t n = 0; n < items.size(); ++n) {
        if (first + n >= begin && first + n < end) {
            ItemTile* tile = TileFor(items[n]);
            // The My and general-tools views mark the tiles they show in manage mode; the
            // online-games view never marks its tiles.
            if (kind_ != catalog::ViewKind::OnlineGames) {
                tile->SetDeleteMark(manageMode_);
            }
            tile->show();
        }
    }
}

template <typename Slots>
void GridView::HideTilesOffPage(Slots& items, std::size_t first) {
    const std::size_t begin = PageBegin(currentPage_);
    const std::size_t end = PageEnd(currentPage_);
    for (std::size_t n = 0; n < items.size(); ++n) {
        if ((first + n < begin || first + n >= end) && items[n].tile != nullptr) {
            items[n].tile->hide();
        }
    }
}

template <typename Record>
ItemTile* GridView::TileFor(Slot<Record>& slot) {
    if (slot.tile == nullptr) {
        slot.tile = new ItemTile(slot.record, context_, this);
        slot.tile->hide();
        slot.tile->SetCell(slot.cell);
        slot.tile->move(slot.cell);
        Connect(slot.tile);
        if constexpr (std::is_same_v<Record, catalog::ToolRecord>) {
            // Entries found among every game's would all read alike ("官方网站").
            if (searching_ && ShowsGames()) {
                if (const catalog::GameRecord* game =
                        catalog::FindGame(*games_, slot.record.gameId)) {
                    slot.tile->SetGameName(QString::fromStdString(game->title));
                }
            }
        }
    }
    return slot.tile;
}

void GridView::Connect(ItemTile* tile) {
    connect(tile, &ItemTile::activated, this, &GridView::TileActivated);
    connect(tile, &ItemTile::enterRequested, this, &GridView::EnterGame);
    connect(tile, &ItemTile::runRequested, this, [this](ItemTile* t) {
        FollowGameOf(t);
        emit runRequested(t);
    });
    connect(tile, &ItemTile::deleteRequested, this, [this](ItemTile* t) {
        FollowGameOf(t);
        emit deleteRequested(t->ItemId(), this);
    });
    connect(tile, &ItemTile::gameDirectorySet, this, [this](ItemTile* t) {
        FollowGameOf(t);
        emit gameDirectorySet(t->ItemId(), this);
    });
    connect(tile, &ItemTile::feedbackRequested, this, &GridView::feedbackRequested);
    connect(tile, &ItemTile::describeRequested, this, &GridView::describeRequested);
}

// The run handler and the catalog commands find a game's entry in the game entered. Results
// at the games level come from every game, so there the entered game follows the result the
// user acts on, until the search ends.
void GridView::FollowGameOf(const ItemTile* tile) {
    if (searching_ && ShowsGames() && tile->IsTool()) {
        enteredGame_ = tile->ToolRecord().gameId;
    }
}

void GridView::HideAllTiles() {
    auto hide = [](auto& items) {
        for (auto& slot : items) {
            if (slot.tile != nullptr) {
                slot.tile->hide();
            }
        }
    };
    hide(gameSlots_);
    hide(toolSlots_);
    hide(foundGames_);
    hide(foundTools_);
    update();
}

template <typename Slots>
void GridView::DropTiles(Slots& items) {
    HoldFocusInView();
    for (auto& slot : items) {
        if (slot.tile != nullptr) {
            // A tile may be the one whose signal led here (a double click that rebuilt the
            // list), so it goes away once its own event has been handled.
            slot.tile->disconnect(this);
            slot.tile->hide();
            slot.tile->deleteLater();
        }
    }
    items.clear();
}

// A list rebuilt under a search ends it: the results would name items that are gone.
void GridView::DestroyToolTiles() {
    EndSearch();
    DropTiles(toolSlots_);
}

void GridView::DestroyGameTiles() {
    EndSearch();
    DropTiles(gameSlots_);
}

void GridView::ShowGameTools(const catalog::GameRecord& game) {
    if (!HoldsGames()) {
        return;
    }
    enteredGame_ = game.id;
    gameLevel_ = false;
    if (game.display) {
        for (const catalog::ToolRecord& entry : *game.display) {
            AddToolTile(entry);
        }
    }
}

void GridView::EnterGame(uint32_t gameId) {
    if (!HoldsGames()) {
        return;
    }
    EndSearch();
    const catalog::GameRecord* game = catalog::FindGame(*games_, gameId);
    HoldFocusInView();
    HideAllTiles();
    if (game == nullptr) {
        return;
    }
    DestroyToolTiles();
    currentTitle_ = QString::fromStdString(game->title);
    ShowGameTools(*game);
    LayOutTiles();
    savedGamesPage_ = currentPage_;
    focusIndex_ = 0;
    ShowFirstPage();
    emit gameEntered();
    emit titleChanged(kind_);
}

void GridView::LeaveGame() {
    EndSearch();
    HoldFocusInView();
    HideAllTiles();
    gameLevel_ = true;
    // The keyboard comes back to the game it entered.
    const auto entered =
        std::find_if(gameSlots_.begin(), gameSlots_.end(),
                     [this](const auto& slot) { return slot.record.id == enteredGame_; });
    focusIndex_ =
        entered != gameSlots_.end() ? static_cast<std::size_t>(entered - gameSlots_.begin()) : 0;
    GoToPage(savedGamesPage_);
}

void GridView::TileActivated(uint32_t itemId) {
    // Results are tiles of their own; what the lists remember of the last activated items
    // is for their own tiles.
    if (searching_) {
        return;
    }
    if (ShowsGames()) {
        for (auto& slot : gameSlots_) {
            if (slot.tile != nullptr && slot.record.id == lastGameId_) {
                slot.tile->update();
            }
            if (slot.record.id == itemId) {
                currentTitle_ = QString::fromStdString(slot.record.title);
            }
        }
        lastGameId_ = itemId;
        return;
    }
    for (auto& slot : toolSlots_) {
        if (slot.tile != nullptr && slot.record.id == lastToolId_) {
            slot.tile->update();
        }
    }
    lastToolId_ = itemId;
}

bool GridView::UpdateToolTile(const catalog::ToolRecord& record) {
    bool shown = false;
    for (ToolSlots* items : {&toolSlots_, &foundTools_}) {
        for (auto& slot : *items) {
            if (slot.record.id == record.id) {
                slot.record = record;
                slot.key.reset();
                if (slot.tile != nullptr) {
                    slot.tile->TakeRecord(record);
                }
                shown = true;
                break;
            }
        }
    }
    return shown;
}

void GridView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    if (!EmptyText().isEmpty() && ItemCount() == 0) {
        painter.setFont(ui::UiFont(12));
        painter.setPen(kEmptyTextColour);
        painter.drawText(rect().adjusted(kEmptyTextMargin, 0, -kEmptyTextMargin, 0),
                         Qt::AlignCenter | Qt::TextWordWrap, EmptyText());
    }
}

const QString& GridView::EmptyText() const {
    return searching_ ? kNoMatchText : emptyText_;
}

void GridView::hideEvent(QHideEvent* event) {
    // Another tab was chosen: this one is found as it was when it comes back. A view hidden
    // with its window (minimised, in the tray) keeps its search.
    if (isHidden()) {
        EndSearch();
    }
    QWidget::hideEvent(event);
}

// ---- search

template <typename Record>
bool GridView::KeyMatches(Slot<Record>& slot, const std::u32string& query) {
    if (!slot.key) {
        slot.key.emplace(slot.record.title);
    }
    return slot.key->Matches(query);
}

void GridView::Search(const QString& typed) {
    const std::u32string query = catalog::SearchKey::Query(typed.toStdString());
    if (query.empty()) {
        EndSearch();
        return;
    }
    if (!searching_) {
        searching_ = true;
        pageBeforeSearch_ = currentPage_;
        gameBeforeSearch_ = enteredGame_;
    }
    HideAllTiles();
    DropTiles(foundGames_);
    DropTiles(foundTools_);
    if (ShowsGames()) {
        for (auto& slot : gameSlots_) {
            if (KeyMatches(slot, query)) {
                foundGames_.push_back({slot.record, QPoint(), nullptr, std::nullopt});
            }
        }
        FindEntriesOfEveryGame(query);
    } else {
        for (auto& slot : toolSlots_) {
            if (KeyMatches(slot, query)) {
                foundTools_.push_back({slot.record, QPoint(), nullptr, std::nullopt});
            }
        }
    }
    LayOutTiles();
    currentPage_ = 1;
    ShowPage();
    emit searchChanged();
}

void GridView::FindEntriesOfEveryGame(const std::u32string& query) {
    entryKeys_.resize(games_->size());
    for (std::size_t g = 0; g < games_->size(); ++g) {
        const std::shared_ptr<catalog::ToolList>& entries = (*games_)[g].display;
        if (!entries) {
            continue;
        }
        EntryKeys& cached = entryKeys_[g];
        if (cached.list != entries || cached.keys.size() != entries->size()) {
            cached.list = entries;
            cached.keys.clear();
            for (const catalog::ToolRecord& entry : *entries) {
                cached.keys.emplace_back(entry.title);
            }
        }
        for (std::size_t n = 0; n < entries->size(); ++n) {
            if (cached.keys[n].Matches(query)) {
                foundTools_.push_back({(*entries)[n], QPoint(), nullptr, std::nullopt});
            }
        }
    }
}

void GridView::EndSearch() {
    if (!searching_) {
        return;
    }
    HideAllTiles();
    DropTiles(foundGames_);
    DropTiles(foundTools_);
    searching_ = false;
    enteredGame_ = gameBeforeSearch_;
    currentPage_ = pageBeforeSearch_;
    ShowPage();
    emit searchChanged();
}

void GridView::SetEmptyText(const QString& text) {
    if (text != emptyText_) {
        emptyText_ = text;
        update();
    }
}

// ---- keyboard

bool GridView::HoldsFocus() const {
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && (focus == this || isAncestorOf(focus));
}

void GridView::HoldFocusInView() {
    const QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && focus != this && isAncestorOf(focus)) {
        setFocus(Qt::OtherFocusReason);
    }
}

ItemTile* GridView::FocusedTile() const {
    return focusIndex_ < ItemCount() ? TileAt(focusIndex_) : nullptr;
}

bool GridView::FocusCurrent() {
    const std::size_t count = ItemCount();
    if (count == 0) {
        return false;
    }
    const std::size_t begin = PageBegin(currentPage_);
    const std::size_t end = std::min(PageEnd(currentPage_), count);
    if (focusIndex_ < begin || focusIndex_ >= end) {
        focusIndex_ = std::min(begin, count - 1);
    }
    ItemTile* tile = FocusedTile();
    if (tile == nullptr || tile->isHidden()) {
        // The page on show was never shown (an empty list that filled since): show it now.
        GoToPage(PageOf(focusIndex_));
        tile = FocusedTile();
    }
    if (tile == nullptr) {
        return false;
    }
    tile->setFocus(Qt::OtherFocusReason);
    return true;
}

void GridView::FocusItem(std::size_t index) {
    if (index >= ItemCount()) {
        return;
    }
    focusIndex_ = index;
    const unsigned page = PageOf(index);
    if (page != currentPage_) {
        GoToPage(page);
        emit pageChanged();
    }
    FocusCurrent();
}

void GridView::keyPressEvent(QKeyEvent* event) {
    ItemTile* tile = FocusedTile();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const std::optional<GridMove> move = MoveOf(event->key());
    if (tile == nullptr || !tile->hasFocus()) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (move && modifiers == Qt::NoModifier) {
        FocusItem(GridMoveTarget(*move, focusIndex_, ItemCount(), kColumns, kPageSize));
    } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
               modifiers == Qt::NoModifier) {
        tile->Activate();
    } else if ((event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
               (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        tile->PopupMenu(tile->mapToGlobal(tile->rect().center()));
    } else if (event->key() == Qt::Key_Delete && modifiers == Qt::NoModifier) {
        // The same path as the menu's entry, confirmation included; nothing without one.
        const std::vector<TileCommand> entries = tile->MenuEntries();
        if (std::find(entries.begin(), entries.end(), TileCommand::Delete) != entries.end()) {
            tile->RunCommand(TileCommand::Delete);
        }
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

}  // namespace grid
