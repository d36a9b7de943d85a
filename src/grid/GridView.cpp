#include "grid/GridView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <optional>

#include "grid/GridContext.h"
#include "grid/GridNavigation.h"
#include "grid/ItemTile.h"
#include "ui/UiFont.h"

namespace grid {
namespace {

const QColor kBackground(26, 119, 188);
const QColor kEmptyTextColour(214, 232, 246);
constexpr int kEmptyTextMargin = 24;

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
    gameSlots_.push_back({game, QPoint(), nullptr});
}

void GridView::AddToolTile(const catalog::ToolRecord& tool) {
    toolSlots_.push_back({tool, QPoint(), nullptr});
}

void GridView::LayOutTiles() {
    auto layOut = [](auto& items) {
        for (std::size_t n = 0; n < items.size(); ++n) {
            const int cell = static_cast<int>(n % kPageSize);
            items[n].cell = CellPosition(cell % kColumns, cell / kColumns);
            if (items[n].tile != nullptr) {
                items[n].tile->SetCell(items[n].cell);
                items[n].tile->move(items[n].cell);
            }
        }
    };
    if (ShowsGames()) {
        layOut(gameSlots_);
    } else {
        layOut(toolSlots_);
    }
    // The empty-list message comes or goes with the list.
    update();
}

std::size_t GridView::ItemCount() const {
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
    if (ShowsGames()) {
        ShowPageOf(gameSlots_);
    } else {
        ShowPageOf(toolSlots_);
    }
}

template <typename Slots>
void GridView::ShowPageOf(Slots& items) {
    const std::size_t begin = std::min(PageBegin(currentPage_), items.size());
    const std::size_t end = std::min(PageEnd(currentPage_), items.size());
    const bool keepFocus = HoldsFocus();
    for (std::size_t n = begin; n < end; ++n) {
        ItemTile* tile = TileFor(items[n]);
        // The My and general-tools views mark the tiles they show in manage mode; the
        // online-games view never marks its tiles.
        if (kind_ != catalog::ViewKind::OnlineGames) {
            tile->SetDeleteMark(manageMode_);
        }
        tile->show();
    }
    // The new page shows before the old one hides: a focused tile hands the focus to a tile
    // of the new page rather than to the next control of the window.
    if (keepFocus) {
        FocusCurrent();
    }
    for (std::size_t n = 0; n < items.size(); ++n) {
        if ((n < begin || n >= end) && items[n].tile != nullptr) {
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
    }
    return slot.tile;
}

void GridView::Connect(ItemTile* tile) {
    connect(tile, &ItemTile::activated, this, &GridView::TileActivated);
    connect(tile, &ItemTile::enterRequested, this, &GridView::EnterGame);
    connect(tile, &ItemTile::runRequested, this, &GridView::runRequested);
    connect(tile, &ItemTile::deleteRequested, this,
            [this](ItemTile* t) { emit deleteRequested(t->ItemId(), this); });
    connect(tile, &ItemTile::gameDirectorySet, this,
            [this](ItemTile* t) { emit gameDirectorySet(t->ItemId(), this); });
    connect(tile, &ItemTile::feedbackRequested, this, &GridView::feedbackRequested);
    connect(tile, &ItemTile::describeRequested, this, &GridView::describeRequested);
}

void GridView::HideAllTiles() {
    for (auto& slot : gameSlots_) {
        if (slot.tile != nullptr) {
            slot.tile->hide();
        }
    }
    for (auto& slot : toolSlots_) {
        if (slot.tile != nullptr) {
            slot.tile->hide();
        }
    }
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

void GridView::DestroyToolTiles() {
    DropTiles(toolSlots_);
}

void GridView::DestroyGameTiles() {
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
    for (auto& slot : toolSlots_) {
        if (slot.record.id == record.id) {
            slot.record = record;
            if (slot.tile != nullptr) {
                slot.tile->TakeRecord(record);
            }
            return true;
        }
    }
    return false;
}

void GridView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    if (!emptyText_.isEmpty() && ItemCount() == 0) {
        painter.setFont(ui::UiFont(12));
        painter.setPen(kEmptyTextColour);
        painter.drawText(rect().adjusted(kEmptyTextMargin, 0, -kEmptyTextMargin, 0),
                         Qt::AlignCenter | Qt::TextWordWrap, emptyText_);
    }
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
