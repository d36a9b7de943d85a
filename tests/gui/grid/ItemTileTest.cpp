#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <memory>

#include "ProgramFixture.h"
#include "UrlRecorder.h"
#include "catalog/Catalog.h"
#include "catalog/IniFile.h"
#include "grid/ExecutablePicker.h"
#include "grid/GridContext.h"
#include "grid/ItemTile.h"
#include "platform/Shell.h"
#include "ui/PngButton.h"

namespace {

using grid::ItemTile;

const QColor kBackground(26, 119, 188);

// Answers the file dialog with a fixed path (empty: cancelled).
class PickerAnswer {
  public:
    explicit PickerAnswer(QString path) {
        grid::SetExecutablePicker([path] { return path; });
    }
    ~PickerAnswer() { grid::SetExecutablePicker({}); }
};

class ItemTileTest : public testing::Test {
  protected:
    ItemTileTest() {
        catalog_ = std::make_unique<catalog::Catalog>(dir_.dir());
        context_.catalog = catalog_.get();
        context_.downloadUrl = QStringLiteral("http://down.test");
        parent_.resize(200, 200);
        parent_.show();
    }

    ItemTile* Tile(const catalog::ToolRecord& tool) {
        auto* tile = new ItemTile(tool, context_, &parent_);
        tile->show();
        return tile;
    }

    ItemTile* Tile(const catalog::GameRecord& game) {
        auto* tile = new ItemTile(game, context_, &parent_);
        tile->show();
        return tile;
    }

    static catalog::ToolRecord Tool(uint32_t id, uint32_t type, std::string title = "工具") {
        catalog::ToolRecord tool;
        tool.id = id;
        tool.type = type;
        tool.title = std::move(title);
        tool.info = "说明文字";
        return tool;
    }

    static QStringList MenuTexts(ItemTile* tile) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(30, 30),
                                tile->mapToGlobal(QPoint(30, 30)));
        QApplication::sendEvent(tile, &event);
        QStringList texts;
        if (QMenu* menu = tile->OpenMenu()) {
            for (QAction* action : menu->actions()) {
                texts << action->text();
            }
            menu->close();
        }
        return texts;
    }

    static void Choose(ItemTile* tile, const QString& text) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(30, 30),
                                tile->mapToGlobal(QPoint(30, 30)));
        QApplication::sendEvent(tile, &event);
        ASSERT_NE(tile->OpenMenu(), nullptr);
        for (QAction* action : tile->OpenMenu()->actions()) {
            if (action->text() == text) {
                action->trigger();
            }
        }
        tile->OpenMenu()->close();
        QCoreApplication::processEvents();
    }

    static QImage Paint(ItemTile* tile) { return tile->grab().toImage(); }

    ProgramFixture dir_;
    std::unique_ptr<catalog::Catalog> catalog_;
    grid::GridContext context_;
    QWidget parent_;
};

struct MenuCase {
    const char* name;
    uint32_t id;
    uint32_t type;
    QStringList texts;
};

void PrintTo(const MenuCase& c, std::ostream* out) {
    *out << c.name;
}

class TileMenuTest : public ItemTileTest, public testing::WithParamInterface<MenuCase> {};

TEST_P(TileMenuTest, OffersTheCommandsOfTheItemKind) {
    const MenuCase& c = GetParam();
    EXPECT_EQ(MenuTexts(Tile(Tool(c.id, c.type))), c.texts);
}

const QStringList kRunOnly{QStringLiteral("运行")};
const QStringList kProgram{QStringLiteral("运行"), QStringLiteral("应用说明"),
                           QStringLiteral("打开目录"), QStringLiteral("应用反馈"),
                           QStringLiteral("删除")};
const QStringList kStart{QStringLiteral("运行"), QStringLiteral("应用说明"),
                         QStringLiteral("打开目录"), QStringLiteral("设置目录"),
                         QStringLiteral("删除")};

INSTANTIATE_TEST_SUITE_P(Kinds, TileMenuTest,
                         testing::Values(MenuCase{"Program", 20001, 187, kProgram},
                                         MenuCase{"SmallWebBox", 20001, 188, kRunOnly},
                                         MenuCase{"Browser", 20001, 189, kRunOnly},
                                         MenuCase{"LargeWebBox", 20001, 190, kRunOnly},
                                         MenuCase{"OwnIconProgram", 20001, 191, kProgram},
                                         MenuCase{"HighestOrdinaryId", 100000, 192, kProgram},
                                         MenuCase{"StartEntry", 1020111, 191, kStart},
                                         MenuCase{"DownloadEntry", 1020122, 189, kRunOnly},
                                         MenuCase{"SiteEntry", 1020133, 189, kRunOnly},
                                         MenuCase{"InfoEntry", 1020144, 189, kRunOnly},
                                         MenuCase{"UnknownFixedEntry", 1020155, 189, {}}),
                         [](const testing::TestParamInfo<MenuCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ItemTileTest, AGameTileHasNoMenu) {
    catalog::GameRecord game;
    game.id = 1001;
    game.title = "游戏";
    ItemTile* tile = Tile(game);
    EXPECT_TRUE(MenuTexts(tile).isEmpty());
    EXPECT_EQ(tile->OpenMenu(), nullptr);
}

TEST_F(ItemTileTest, DoubleClickActivatesBeforeEnteringOrRunning) {
    catalog::GameRecord game;
    game.id = 1001;
    ItemTile* gameTile = Tile(game);
    ItemTile* toolTile = Tile(Tool(20001, 187));
    std::vector<std::string> order;
    for (ItemTile* tile : {gameTile, toolTile}) {
        QObject::connect(tile, &ItemTile::activated, [&order](uint32_t id) {
            order.push_back("activated " + std::to_string(id));
        });
        QObject::connect(tile, &ItemTile::enterRequested,
                         [&order](uint32_t id) { order.push_back("enter " + std::to_string(id)); });
        QObject::connect(tile, &ItemTile::runRequested, [&order](ItemTile* t) {
            order.push_back("run " + std::to_string(t->ItemId()));
        });
    }
    QTest::mouseDClick(gameTile, Qt::LeftButton);
    QTest::mouseDClick(toolTile, Qt::LeftButton);
    const std::vector<std::string> expected = {"activated 1001", "enter 1001", "activated 20001",
                                               "run 20001"};
    EXPECT_EQ(order, expected);
}

TEST_F(ItemTileTest, SetDirectoryStoresTheChosenProgramForTheGame) {
    ItemTile* tile = [&] {
        catalog::ToolRecord start = Tool(1020111, 191, "启动游戏");
        start.gameId = 10201;
        return Tile(start);
    }();
    QSignalSpy set(tile, &ItemTile::gameDirectorySet);
    const QString program = QString::fromStdString(dir_ / "games/神域/game.exe");
    {
        PickerAnswer answer(program);
        Choose(tile, QStringLiteral("设置目录"));
    }
    EXPECT_EQ(set.count(), 1);
    const catalog::IniFile gamecfg = catalog::IniFile::Load(dir_ / "gamecfg.dat");
    EXPECT_EQ(gamecfg.GetString("GAMEDIR", "10201", "", 259), program.toStdString());

    UrlRecorder recorder;
    Choose(tile, QStringLiteral("打开目录"));
    ASSERT_EQ(recorder.urls.size(), 1u);
    EXPECT_EQ(recorder.urls[0], dir_ / "games/神域/");
}

TEST_F(ItemTileTest, CancellingTheDialogWritesAndSendsNothing) {
    catalog::ToolRecord start = Tool(1020111, 191, "启动游戏");
    start.gameId = 10201;
    ItemTile* tile = Tile(start);
    QSignalSpy set(tile, &ItemTile::gameDirectorySet);
    PickerAnswer cancelled{QString()};
    EXPECT_FALSE(tile->ChooseGameDirectory());
    EXPECT_EQ(set.count(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "gamecfg.dat"));
}

// The texts of the message boxes on screen, which are closed.
QStringList TakeMessageBoxes() {
    QStringList texts;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            texts << box->text();
            box->close();
        }
    }
    return texts;
}

TEST_F(ItemTileTest, OpenDirectoryOpensTheToolFolderOrSaysWhyNot) {
    catalog::ToolRecord installed = Tool(20001, 187);
    installed.dir = dir_ / "LocalGameTool/20001/";
    installed.installed = 1;
    catalog::ToolRecord notInstalled = installed;
    notInstalled.installed = 0;
    catalog::ToolRecord unsetStart = Tool(1020111, 191);
    unsetStart.gameId = 10201;
    const struct {
        const char* what;
        const catalog::ToolRecord& tool;
        std::vector<std::string> opened;
        QStringList boxes;
    } cases[] = {
        {"installed tool", installed, {installed.dir}, {}},
        {"tool not installed", notInstalled, {}, {QStringLiteral("该工具尚未安装")}},
        {"game whose program was never chosen", unsetStart, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UrlRecorder recorder;
        Choose(Tile(c.tool), QStringLiteral("打开目录"));
        EXPECT_EQ(recorder.urls, c.opened);
        EXPECT_EQ(TakeMessageBoxes(), c.boxes);
    }
}

TEST_F(ItemTileTest, DescribeAsksForTheIntroductionPageOfTheItem) {
    ItemTile* tile = Tile(Tool(20001, 187));
    QSignalSpy describe(tile, &ItemTile::describeRequested);
    Choose(tile, QStringLiteral("应用说明"));
    ASSERT_EQ(describe.count(), 1);
    EXPECT_EQ(describe.at(0).at(1).toString(),
              QStringLiteral("http://down.test/rv_intro.php?aid=20001"));
}

TEST_F(ItemTileTest, TheDeleteMarkSendsWhatDeleteSends) {
    ItemTile* tile = Tile(Tool(20001, 187));
    QSignalSpy removal(tile, &ItemTile::deleteRequested);
    EXPECT_FALSE(tile->DeleteMarkButton()->isVisible());
    tile->SetDeleteMark(true);
    ASSERT_TRUE(tile->DeleteMarkButton()->isVisible());
    EXPECT_EQ(tile->DeleteMarkButton()->geometry(), QRect(44, 3, 24, 24));
    QTest::mouseClick(tile->DeleteMarkButton(), Qt::LeftButton, {}, QPoint(10, 10));
    Choose(tile, QStringLiteral("删除"));
    EXPECT_EQ(removal.count(), 2);
}

// Columns of the title band (rows 56 to 67) that hold bright text pixels.
std::vector<int> TextColumns(const QImage& image) {
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 56; y < image.height(); ++y) {
            if (qGray(image.pixel(x, y)) > 200) {
                columns.push_back(x);
                break;
            }
        }
    }
    return columns;
}

TEST_F(ItemTileTest, ALongTitleStaysOnOneCentredLineInsideTheTitleBand) {
    ItemTile* tile = Tile(Tool(20001, 187, "非常非常非常长的工具名称一定放不下"));
    const std::vector<int> columns = TextColumns(Paint(tile));
    ASSERT_FALSE(columns.empty());
    EXPECT_GE(columns.front(), 2);
    EXPECT_LE(columns.back(), 76);

    ItemTile* shortTile = Tile(Tool(20002, 187, "工具"));
    const std::vector<int> shortColumns = TextColumns(Paint(shortTile));
    ASSERT_FALSE(shortColumns.empty());
    // Centred: as much room on the left as on the right, give or take a pixel of the glyphs.
    EXPECT_NEAR(shortColumns.front() - 2, 76 - 1 - shortColumns.back(), 3);
}

TEST_F(ItemTileTest, TheIconIsDecodedOnceAndReplacedWithANewRecord) {
    dir_.Write("ToolIcon/20001.png", ProgramFixture::Png(QColor(0, 200, 0)));
    dir_.Write("ToolIcon/20001b.png", ProgramFixture::Png(QColor(200, 0, 200)));
    catalog::ToolRecord tool = Tool(20001, 187);
    tool.icon = dir_ / "ToolIcon/20001.png";
    ItemTile* tile = Tile(tool);
    const QPoint centre(22 + 16, 14 + 16);
    EXPECT_EQ(Paint(tile).pixelColor(centre), QColor(0, 200, 0));

    // The file may go (an uninstall): the tile keeps what it decoded.
    std::filesystem::remove(dir_ / "ToolIcon/20001.png");
    EXPECT_EQ(Paint(tile).pixelColor(centre), QColor(0, 200, 0));

    tool.icon = dir_ / "ToolIcon/20001b.png";
    tile->TakeRecord(tool);
    EXPECT_EQ(Paint(tile).pixelColor(centre), QColor(200, 0, 200));
}

// An installed tool's icon path names its own picture whether or not one was fetched; a
// tile never shows an empty square for it but the default picture of the tool's kind.
TEST_F(ItemTileTest, AMissingOrUndecodableIconShowsTheDefaultPictureOfTheKind) {
    dir_.Write("ToolIcon/defaultC.png", ProgramFixture::Png(QColor(0, 0, 210)));
    dir_.Write("ToolIcon/defaultD.png", ProgramFixture::Png(QColor(210, 0, 0)));
    dir_.Write("ToolIcon/broken.png", "not a picture");
    struct Case {
        const char* name;
        uint32_t type;
        const char* icon;
        QColor shown;
    };
    const Case cases[] = {
        {"plain tool, never fetched", 187, "ToolIcon/20001.png", QColor(0, 0, 210)},
        {"web tool, undecodable", 188, "ToolIcon/broken.png", QColor(0, 0, 210)},
        {"own-icon program, fetch failed", 191, "ToolIcon/20001.png", QColor(210, 0, 0)},
        {"own-icon program, undecodable", 192, "ToolIcon/broken.png", QColor(210, 0, 0)},
    };
    const QPoint centre(22 + 16, 14 + 16);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        catalog::ToolRecord tool = Tool(20001, c.type, "工具");
        tool.installed = 1;
        tool.icon = dir_ / c.icon;
        const QImage image = Paint(Tile(tool));
        EXPECT_EQ(image.pixelColor(centre), c.shown);
        EXPECT_FALSE(TextColumns(image).empty());
    }
}

TEST_F(ItemTileTest, HoverDrawsTheSecondFrameUntilTheMouseLeaves) {
    ItemTile* tile = Tile(Tool(20001, 187));
    const QImage normal = Paint(tile);
    QEnterEvent enter(QPointF(30, 30), QPointF(30, 30), tile->mapToGlobal(QPointF(30, 30)));
    QApplication::sendEvent(tile, &enter);
    EXPECT_TRUE(tile->IsHovered());
    const QImage hovered = Paint(tile);
    EXPECT_NE(hovered.copy(16, 8, 44, 44), normal.copy(16, 8, 44, 44));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(tile, &leave);
    EXPECT_FALSE(tile->IsHovered());
    EXPECT_EQ(Paint(tile), normal);
}

TEST_F(ItemTileTest, TheTipIsTheItemDescription) {
    ItemTile* tile = Tile(Tool(20001, 187));
    EXPECT_EQ(tile->toolTip(), QStringLiteral("说明文字"));
    EXPECT_EQ(Paint(tile).pixelColor(0, 40), kBackground);
}

// A title wider than the tile is not cut at both sides: it ends in "…" and the tooltip
// names it whole, before the description.
TEST_F(ItemTileTest, ALongTitleEndsInAnEllipsisAndIsWholeInTheTip) {
    const struct {
        const char* title;
        const char* info;
        bool cut;
        const char* tip;
    } cases[] = {
        {"工具", "说明文字", false, "说明文字"},
        {"键位映射专业版增强工具", "说明文字", true, "键位映射专业版增强工具\n说明文字"},
        {"键位映射专业版增强工具", "", true, "键位映射专业版增强工具"},
        {"A very long Latin tool name", "about", true, "A very long Latin tool name\nabout"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        catalog::ToolRecord tool = Tool(20001, 187, c.title);
        tool.info = c.info;
        ItemTile* tile = Tile(tool);
        const QString title = QString::fromUtf8(c.title);
        if (c.cut) {
            EXPECT_TRUE(tile->ShownTitle().endsWith(QChar(0x2026)))
                << tile->ShownTitle().toStdString();
            EXPECT_TRUE(title.startsWith(tile->ShownTitle().chopped(1)));
        } else {
            EXPECT_EQ(tile->ShownTitle(), title);
        }
        EXPECT_EQ(tile->toolTip(), QString::fromUtf8(c.tip));
    }
}

// A search result from another game's entries names the game before its own title; the tip
// shown breaks every line of it on its own, no wider than the tip, so the description after
// a long first line keeps its own line whole.
TEST_F(ItemTileTest, AResultNamesItsGameAndTheShownTipKeepsItsLines) {
    catalog::ToolRecord entry = Tool(100233, 189, "官方网站");
    entry.info = "官方网站";
    ItemTile* tile = Tile(entry);
    tile->SetGameName(QStringLiteral("剑影江湖"));
    EXPECT_EQ(tile->Title(), QStringLiteral("官方网站"));
    EXPECT_EQ(tile->toolTip(), QStringLiteral("剑影江湖 · 官方网站\n官方网站"));

    const QPoint inside(5, 5);
    QHelpEvent help(QEvent::ToolTip, inside, tile->mapToGlobal(inside));
    QApplication::sendEvent(tile, &help);
    const QStringList lines = QToolTip::text().split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.back(), QStringLiteral("官方网站"));
    for (const QString& line : lines) {
        EXPECT_LE(QFontMetrics(QToolTip::font()).horizontalAdvance(line), 150)
            << line.toStdString();
    }
    QToolTip::hideText();
}

}  // namespace
