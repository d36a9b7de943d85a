#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

#include "app/UiPrompt.h"
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
//
// Uninstalling an installed tool (its files and its downloaded archive go) and the one-key
// delete (the whole My list goes) are asked once, with No as the default; taking one entry
// off the My list removes no files and is not asked.
class CatalogCommands : public QObject {
    Q_OBJECT
  public:
    CatalogCommands(MainWindow& window, catalog::Catalog& catalog);

    void DeleteItem(uint32_t itemId, grid::GridView* view);
    void GameDirectorySet(uint32_t itemId, grid::GridView* view);
    void DeleteAllUsed();
    void ToolInstalled(const catalog::ToolRecord& tool);

    // The questions: uninstalling the tool titled `title`, and the one-key delete.
    static std::string UninstallQuestion(const std::string& title);
    static constexpr const char* kDeleteAllQuestion =
        "确定要清空“我的Ravik”中的全部项目吗？已安装的工具不会被删除。";

  private:
    // Puts `question` to the user once the event that led here has been handled, and carries
    // out `action` on Yes. The question's own event loop may rebuild the views, and the tile
    // whose command asked must not go away under its own handler.
    void AfterYes(const std::string& question, std::function<void()> action);
    void Delete(catalog::ViewKind kind, uint32_t itemId, uint32_t currentGame);
    void ClearUsed();
    // Every view of `kinds` shows `change.record` in place of its tile with that id.
    void ShowChange(const catalog::ItemChange& change, catalog::ViewKind otherView);

    MainWindow& window_;
    catalog::Catalog& catalog_;
    UiPrompt prompt_;
};

}  // namespace app
