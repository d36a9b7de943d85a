#include "grid/TileAccessible.h"

#include "catalog/ToolRecord.h"
#include "grid/ItemTile.h"

namespace grid {
namespace {

QAccessibleInterface* Create(const QString& className, QObject* object) {
    if (className == QLatin1String(ItemTile::staticMetaObject.className())) {
        return new TileAccessible(static_cast<ItemTile*>(object));
    }
    return nullptr;
}

}  // namespace

TileAccessible::TileAccessible(ItemTile* tile) : QAccessibleWidget(tile, QAccessible::Button) {}

void TileAccessible::Register() {
    static const bool registered = [] {
        QAccessible::installFactory(Create);
        return true;
    }();
    (void)registered;
}

ItemTile* TileAccessible::Tile() const {
    return static_cast<ItemTile*>(widget());
}

QString TileAccessible::StateText(const ItemTile& tile) {
    if (!tile.IsTool()) {
        return QStringLiteral("网络游戏");
    }
    const catalog::ToolRecord& tool = tile.ToolRecord();
    switch (catalog::RoleOf(tool.id, tool.type)) {
        case catalog::ItemRole::SmallWebPage:
        case catalog::ItemRole::LargeWebPage:
        case catalog::ItemRole::BrowserPage:
            return QStringLiteral("网页");
        case catalog::ItemRole::StartGame:
            return QStringLiteral("启动游戏");
        case catalog::ItemRole::Program:
            break;
    }
    return tool.installed != 0 ? QStringLiteral("已安装") : QStringLiteral("未安装");
}

QString TileAccessible::text(QAccessible::Text kind) const {
    const ItemTile* tile = Tile();
    switch (kind) {
        case QAccessible::Name:
            return tile->Title();
        case QAccessible::Description: {
            const QString info = tile->IsTool() ? QString::fromStdString(tile->ToolRecord().info)
                                                : QString::fromStdString(tile->GameRecord().info);
            return info.isEmpty() ? StateText(*tile)
                                  : StateText(*tile) + QStringLiteral("。") + info;
        }
        default:
            return QAccessibleWidget::text(kind);
    }
}

QAccessible::State TileAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    // The view gives tiles the focus itself, so their focus policy does not say it.
    state.focusable = true;
    state.focused = Tile()->hasFocus();
    return state;
}

QStringList TileAccessible::actionNames() const {
    QStringList names{pressAction()};
    if (!Tile()->MenuEntries().empty()) {
        names << showMenuAction();
    }
    return names;
}

void TileAccessible::doAction(const QString& actionName) {
    ItemTile* tile = Tile();
    if (actionName == pressAction()) {
        tile->Activate();
    } else if (actionName == showMenuAction()) {
        tile->PopupMenu(tile->mapToGlobal(tile->rect().center()));
    }
}

}  // namespace grid
