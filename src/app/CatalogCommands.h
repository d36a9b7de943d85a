#pragma once

#include <QObject>
#include <cstdint>

#include "catalog/Catalog.h"

namespace grid {
class GridView;
}

namespace app {

class MainWindow;

// The window's commands that change what is installed or used, carried out through the
// catalog on the UI thread: a tile's delete command (remove from the My list, or uninstall
// in the other two tabs), a start entry's program path being set, the one-key delete and
// the notice that a download has installed a tool. Afterwards the tiles concerned show the
// changed record, or the My view is rebuilt from the used list.
class CatalogCommands : public QObject {
    Q_OBJECT
  public:
    CatalogCommands(MainWindow& window, catalog::Catalog& catalog);

    void DeleteItem(uint32_t itemId, grid::GridView* view);
    void GameDirectorySet(uint32_t itemId, grid::GridView* view);
    void DeleteAllUsed();
    void ToolInstalled(const catalog::ToolRecord& tool);

  private:
    // Every view of `kinds` shows `change.record` in place of its tile with that id.
    void ShowChange(const catalog::ItemChange& change, catalog::ViewKind otherView);

    MainWindow& window_;
    catalog::Catalog& catalog_;
};

}  // namespace app
