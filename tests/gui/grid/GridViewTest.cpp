#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <variant>

#include "ProgramFixture.h"
#include "catalog/Catalog.h"
#include "grid/GridContext.h"
#include "grid/GridView.h"
#include "grid/ItemTile.h"
#include "ui/PngButton.h"

namespace {

using catalog::ViewKind;
using grid::GridView;
using grid::ItemTile;
using grid::PageCommand;

// A grid view in a window of the main window's size, over the catalogs of a fixture.
class GridViewTest : public testing::Test {
  protected:
    void Load() {
        catalog_ = std::make_unique<catalog::Catalog>(dir_.dir());
        catalog_->LoadAll();
        context_.catalog = catalog_.get();
        context_.downloadUrl = QStringLiteral("http://down.test");
        window_.resize(310, 528);
        window_.show();
    }

    GridView* ToolsView() {
        auto* view = new GridView(ViewKind::GeneralTools, context_, &window_);
        for (const auto& tool : catalog_->GeneralTools()) {
            view->AddToolTile(tool);
        }
        view->LayOutTiles();
        view->ShowFirstPage();
        view->show();
        return view;
    }

    GridView* OnlineView() {
        auto* view = new GridView(ViewKind::OnlineGames, context_, &window_);
        for (const auto& game : catalog_->Games()) {
            view->AddGameTile(game);
        }
        view->SetGames(&catalog_->Games());
        view->LayOutTiles();
        view->ShowFirstPage();
        view->show();
        return view;
    }

    static std::vector<QString> VisibleTitles(const GridView& view) {
        std::vector<QString> titles;
        for (ItemTile* tile : view.VisibleTiles()) {
            titles.push_back(tile->Title());
        }
        return titles;
    }

    ProgramFixture dir_;
    std::unique_ptr<catalog::Catalog> catalog_;
    grid::GridContext context_;
    QWidget window_;
};

TEST_F(GridViewTest, CellsFillRowByRowAtTheGridPositions) {
    dir_.WriteGeneralTools(20);
    Load();
    GridView* view = ToolsView();
    EXPECT_EQ(view->geometry(), QRect(2, 102, 307, 368));
    const auto tiles = view->VisibleTiles();
    ASSERT_EQ(tiles.size(), 20u);
    const int xs[] = {1, 77, 153, 229};
    const int ys[] = {5, 76, 147, 218, 289};
    for (int n = 0; n < 20; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(tiles[n]->geometry(), QRect(xs[n % 4], ys[n / 4], 76, 68));
    }
}

// One paging step: a page number (a dot) or a paging command (a button).
using Step = std::variant<unsigned, PageCommand>;

struct PagingCase {
    const char* name;
    int items;
    std::vector<Step> steps;
    unsigned page;
    int visible;
    int firstItem;     // 1-based number of the first visible item (0: none)
    QPoint firstCell;  // its cell
    int lastItem;
    QPoint lastCell;
};

void PrintTo(const PagingCase& c, std::ostream* out) {
    *out << c.name;
}

class GridPagingTest : public GridViewTest, public testing::WithParamInterface<PagingCase> {};

TEST_P(GridPagingTest, PagesTheListOnShow) {
    const PagingCase& c = GetParam();
    dir_.WriteGeneralTools(c.items);
    Load();
    GridView* view = ToolsView();
    for (const Step& step : c.steps) {
        std::visit([view](auto target) { view->GoToPage(target); }, step);
    }
    EXPECT_EQ(view->CurrentPage(), c.page);
    const auto tiles = view->VisibleTiles();
    ASSERT_EQ(static_cast<int>(tiles.size()), c.visible);
    if (c.visible > 0) {
        EXPECT_EQ(tiles.front()->Title(),
                  QString::fromStdString("工具" + std::to_string(c.firstItem)));
        EXPECT_EQ(tiles.front()->pos(), c.firstCell);
        EXPECT_EQ(tiles.back()->Title(),
                  QString::fromStdString("工具" + std::to_string(c.lastItem)));
        EXPECT_EQ(tiles.back()->pos(), c.lastCell);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paging, GridPagingTest,
    testing::Values(
        PagingCase{
            "TwentyItemsAreOnePage", 20, {PageCommand::Next}, 1, 20, 1, {1, 5}, 20, {229, 289}},
        PagingCase{
            "TheTwentyFirstOpensPageTwo", 21, {PageCommand::Next}, 2, 1, 21, {1, 5}, 21, {1, 5}},
        PagingCase{"DotThreeOfFortyFive", 45, {3u}, 3, 5, 41, {1, 5}, 45, {1, 76}},
        PagingCase{"DotsBeyondTheLastPageDoNothing",
                   45,
                   {2u, 4u, 5u, 6u, 7u},
                   2,
                   20,
                   21,
                   {1, 5},
                   40,
                   {229, 289}},
        PagingCase{"LastGoesToTheLastPage", 45, {PageCommand::Last}, 3, 5, 41, {1, 5}, 45, {1, 76}},
        PagingCase{"NextOnTheLastPageStays",
                   45,
                   {PageCommand::Last, PageCommand::Next},
                   3,
                   5,
                   41,
                   {1, 5},
                   45,
                   {1, 76}},
        PagingCase{"PreviousOnPageOneStays",
                   45,
                   {PageCommand::Previous},
                   1,
                   20,
                   1,
                   {1, 5},
                   20,
                   {229, 289}},
        PagingCase{"NextFromSevenGoesToEight",
                   161,
                   {7u, PageCommand::Next},
                   8,
                   20,
                   141,
                   {1, 5},
                   160,
                   {229, 289}},
        PagingCase{"PreviousFromEight",
                   161,
                   {7u, PageCommand::Next, PageCommand::Previous},
                   7,
                   20,
                   121,
                   {1, 5},
                   140,
                   {229, 289}},
        PagingCase{"FirstFromEight",
                   161,
                   {7u, PageCommand::Next, PageCommand::First},
                   1,
                   20,
                   1,
                   {1, 5},
                   20,
                   {229, 289}},
        PagingCase{"PageZeroIsNoPage", 45, {2u, 0u}, 2, 20, 21, {1, 5}, 40, {229, 289}},
        PagingCase{"AnEmptyListIgnoresPaging",
                   0,
                   {2u, PageCommand::Next, PageCommand::Last, PageCommand::Previous},
                   1,
                   0,
                   0,
                   {},
                   0,
                   {}}),
    [](const testing::TestParamInfo<PagingCase>& info) { return std::string(info.param.name); });

TEST_F(GridViewTest, TilesExistOnlyForPagesThatWereShown) {
    dir_.WriteGeneralTools(1000);
    Load();
    GridView* view = ToolsView();
    EXPECT_EQ(view->findChildren<ItemTile*>().size(), 20);
    view->GoToPage(PageCommand::Last);
    EXPECT_EQ(view->findChildren<ItemTile*>().size(), 40);
    EXPECT_EQ(view->VisibleTiles().size(), 20u);
    EXPECT_EQ(view->VisibleTiles().front()->Title(), QStringLiteral("工具981"));
    EXPECT_EQ(view->TileAt(500), nullptr);
}

TEST_F(GridViewTest, ManageModeMarksTheShownTilesOfToolViewsOnly) {
    dir_.WriteGames(3);
    dir_.WriteGeneralTools(25);
    Load();
    GridView* tools = ToolsView();
    tools->SetManageMode(true);
    tools->GoToPage(2u);
    for (ItemTile* tile : tools->VisibleTiles()) {
        EXPECT_TRUE(tile->DeleteMark());
        EXPECT_TRUE(tile->DeleteMarkButton()->isVisibleTo(tile));
    }
    tools->SetManageMode(false);
    tools->GoToPage(1u);
    for (ItemTile* tile : tools->VisibleTiles()) {
        EXPECT_FALSE(tile->DeleteMarkButton()->isVisibleTo(tile));
    }

    GridView* online = OnlineView();
    online->SetManageMode(true);
    online->GoToPage(1u);
    for (ItemTile* tile : online->VisibleTiles()) {
        EXPECT_FALSE(tile->DeleteMark());
    }
}

TEST_F(GridViewTest, EnteringAGameShowsItsEntriesAndBackReturnsToTheSavedPage) {
    dir_.WriteGames(45);
    dir_.WriteGameTools(1041, {{4101, 187, "辅助"}, {4102, 191, "补丁"}});
    Load();
    GridView* view = OnlineView();
    view->GoToPage(3u);
    QSignalSpy entered(view, &GridView::gameEntered);
    QSignalSpy title(view, &GridView::titleChanged);

    ItemTile* game = view->VisibleTiles().front();
    ASSERT_EQ(game->ItemId(), 1041u);
    QTest::mouseDClick(game, Qt::LeftButton);

    EXPECT_FALSE(view->AtGameLevel());
    EXPECT_EQ(view->CurrentPage(), 1u);
    EXPECT_EQ(view->SavedGamesPage(), 3u);
    EXPECT_EQ(view->CurrentTitle(), QStringLiteral("游戏41"));
    EXPECT_EQ(entered.count(), 1);
    ASSERT_EQ(title.count(), 1);
    EXPECT_EQ(title.at(0).at(0).value<ViewKind>(), ViewKind::OnlineGames);
    const std::vector<QString> expected = {QStringLiteral("启动游戏"), QStringLiteral("下载游戏"),
                                           QStringLiteral("官方网站"), QStringLiteral("资料专区"),
                                           QStringLiteral("补丁"),     QStringLiteral("辅助")};
    EXPECT_EQ(VisibleTitles(*view), expected);

    view->LeaveGame();
    EXPECT_TRUE(view->AtGameLevel());
    EXPECT_EQ(view->CurrentPage(), 3u);
    ASSERT_EQ(view->VisibleTiles().size(), 5u);
    EXPECT_EQ(view->VisibleTiles().front()->Title(), QStringLiteral("游戏41"));
}

TEST_F(GridViewTest, EnteringAnotherGameReplacesTheEntriesOfTheFirst) {
    dir_.WriteGames(2);
    dir_.WriteGameTools(1001, {{4101, 187, "一号工具"}});
    Load();
    GridView* view = OnlineView();
    view->EnterGame(1001);
    EXPECT_EQ(view->ItemCount(), 5u);
    view->LeaveGame();
    view->EnterGame(1002);
    EXPECT_EQ(view->ItemCount(), 4u);
    EXPECT_EQ(VisibleTitles(*view).size(), 4u);
    EXPECT_EQ(view->EnteredGameId(), 1002u);
}

TEST_F(GridViewTest, AnUnknownGameLeavesTheViewEmpty) {
    dir_.WriteGames(5);
    Load();
    GridView* view = OnlineView();
    view->EnterGame(4242);
    EXPECT_TRUE(view->VisibleTiles().empty());
    EXPECT_TRUE(view->AtGameLevel());
    view->GoToPage(1u);
    EXPECT_EQ(view->VisibleTiles().size(), 5u);
}

TEST_F(GridViewTest, ForwardsTheTileRequestsWithTheItemAndTheView) {
    dir_.WriteGeneralTools({{20001, 187, "下载器"}});
    Load();
    GridView* view = ToolsView();
    ItemTile* tile = view->VisibleTiles().front();
    QSignalSpy run(view, &GridView::runRequested);
    QSignalSpy removal(view, &GridView::deleteRequested);
    QTest::mouseDClick(tile, Qt::LeftButton);
    tile->RunCommand(grid::TileCommand::Delete);
    ASSERT_EQ(run.count(), 1);
    EXPECT_EQ(run.at(0).at(0).value<ItemTile*>(), tile);
    ASSERT_EQ(removal.count(), 1);
    EXPECT_EQ(removal.at(0).at(0).value<uint32_t>(), 20001u);
    EXPECT_EQ(removal.at(0).at(1).value<GridView*>(), view);
}

TEST_F(GridViewTest, AChangedRecordReachesItsTileAndItsPageNotYetShown) {
    dir_.WriteGeneralTools(25);
    Load();
    GridView* view = ToolsView();
    catalog::ToolRecord changed = catalog_->GeneralTools()[0];
    changed.title = "已安装";
    EXPECT_TRUE(view->UpdateToolTile(changed));
    EXPECT_EQ(view->VisibleTiles().front()->Title(), QStringLiteral("已安装"));

    changed = catalog_->GeneralTools()[22];
    changed.title = "第二页";
    EXPECT_TRUE(view->UpdateToolTile(changed));
    view->GoToPage(2u);
    EXPECT_EQ(view->VisibleTiles()[2]->Title(), QStringLiteral("第二页"));

    changed.id = 99999;
    EXPECT_FALSE(view->UpdateToolTile(changed));
}

}  // namespace
