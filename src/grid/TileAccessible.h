#pragma once

#include <QAccessibleWidget>

namespace grid {

class ItemTile;

// What assistive technology learns of a tile: a button named by the item's title, described
// by what the item is (installed, not installed, web page, online game) and its description,
// focusable, with a press action that does what a double click does and a menu action that
// opens its context menu.
class TileAccessible : public QAccessibleWidget {
  public:
    explicit TileAccessible(ItemTile* tile);

    // Makes Qt build this interface for every tile; later calls do nothing.
    static void Register();

    // What the item is, as the description starts: "已安装", "未安装", "网页", ...
    static QString StateText(const ItemTile& tile);

    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

  private:
    ItemTile* Tile() const;
};

}  // namespace grid
