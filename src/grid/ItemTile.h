#pragma once

#include <QImage>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

#include "catalog/GameRecord.h"
#include "catalog/ToolRecord.h"
#include "grid/TileMenu.h"

namespace ui {
class PngButton;
}

namespace grid {

struct GridContext;

// One tile of the grid: an item's icon in a frame with its title below and its INFO as
// tooltip, 76 x 68 pixels. A title too wide for the tile ends in "…", and its tooltip then
// starts with the whole title. It keeps its own copy of the record it shows. A double click
// enters a game or runs a tool; the context menu offers the commands of the item's kind; in
// manage mode a delete mark sits in its corner. Apart from a game's program path it changes
// nothing itself: it tells its view through signals.
//
// The keyboard reaches a tile through its view (GridView), which gives it the focus; the
// focused tile shows the skin's selected frame. Assistive technology sees it as a button
// (TileAccessible).
class ItemTile : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 76;
    static constexpr int kHeight = 68;

    ItemTile(const catalog::GameRecord& game, const GridContext& context, QWidget* parent);
    ItemTile(const catalog::ToolRecord& tool, const GridContext& context, QWidget* parent);
    ~ItemTile() override;

    bool IsTool() const { return isTool_; }
    uint32_t ItemId() const { return id_; }
    // The copy of the record; the other one is empty.
    const catalog::ToolRecord& ToolRecord() const { return tool_; }
    const catalog::GameRecord& GameRecord() const { return game_; }
    const QString& Title() const { return title_; }
    // The title as drawn: whole, or cut to the tile's width with "…" at its end.
    QString ShownTitle() const;
    const QString& IconFile() const { return iconFile_; }
    QPoint Cell() const { return cell_; }
    void SetCell(QPoint cell) { cell_ = cell; }
    bool IsHovered() const { return hovered_; }
    // The frame of the strip the tile draws now: 2 while it has the focus, else 1 under the
    // mouse, else 0.
    int CurrentFrame() const;

    // A tile shown away from its game's entries (a search result) names the game first in its
    // tooltip: "剑影江湖 · 官方网站". The tile itself keeps the entry's own title, which is
    // what fits in its width.
    void SetGameName(const QString& game);

    // The delete mark shows while the flag is on.
    void SetDeleteMark(bool on);
    bool DeleteMark() const { return deleteMark_; }
    ui::PngButton* DeleteMarkButton() const { return deleteButton_; }

    // A tool tile takes a changed record (installed, uninstalled, program path set): its
    // icon file may be another one now, so the kept icon is dropped and decoded again.
    void TakeRecord(const catalog::ToolRecord& tool);

    std::vector<TileCommand> MenuEntries() const;
    // Carries out a menu command, as choosing it in the context menu does.
    void RunCommand(TileCommand command);
    // What a double click does: enters a game, runs a tool.
    void Activate();
    // Opens the context menu at `globalPos`; a tile without commands opens none.
    void PopupMenu(QPoint globalPos);
    // "设置目录": asks for the game's program and stores it as the game's GAMEDIR; true (and
    // gameDirectorySet) when a path was stored. Cancelling stores and sends nothing.
    bool ChooseGameDirectory();
    // The context menu open on the tile, if any.
    QMenu* OpenMenu() const { return menu_.data(); }

  signals:
    void activated(uint32_t itemId);         // double click, before the next two
    void enterRequested(uint32_t gameId);    // double click on a game tile
    void runRequested(ItemTile* tile);       // double click on a tool tile, "运行"
    void deleteRequested(ItemTile* tile);    // "删除", the delete mark
    void gameDirectorySet(ItemTile* tile);   // after "设置目录" stored a path
    void feedbackRequested(ItemTile* tile);  // "应用反馈"
    void describeRequested(ItemTile* tile, const QString& url);  // "应用说明"

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    ItemTile(const GridContext& context, QWidget* parent);
    // "打开目录": the tool's folder, or the folder of a game's program; a tool that is not
    // installed yet says so instead.
    void OpenDirectory() const;
    const QImage& Icon();

    const GridContext& context_;
    catalog::ToolRecord tool_;
    catalog::GameRecord game_;
    bool isTool_ = false;
    uint32_t id_ = 0;
    QString iconFile_;
    QString title_;
    QString tip_;
    QString gameName_;

    void TakeTexts(const std::string& title, const std::string& info);
    std::optional<QImage> icon_;  // decoded at the first paint, kept until the record changes
    QPoint cell_;
    bool deleteMark_ = false;
    bool hovered_ = false;
    ui::PngButton* deleteButton_;
    QPointer<QMenu> menu_;
};

}  // namespace grid
