#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <functional>

#include "DialogTestSupport.h"
#include "RunFixture.h"
#include "ui/LargeWebPageBox.h"
#include "ui/PngButton.h"
#include "ui/SmallWebPageBox.h"
#include "ui/WebBoxRegister.h"

namespace {

using catalog::ViewKind;
using dialogtest::WaitFor;
using ui::WebBoxRegister;

template <typename Box>
std::vector<Box*> OpenBoxes() {
    std::vector<Box*> open;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<Box*>(widget); box && box->isVisible()) {
            open.push_back(box);
        }
    }
    return open;
}

class RunWebBoxTest : public RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        // Nothing listens on port 9: the loading page is never served.
        dir_.Write("launcher.ini",
                   "[web]\nproduct=http://127.0.0.1:9\ndownload=http://127.0.0.1:9/dl\n");
        dir_.Write("usercfg.dat", "[system]\nautomin=1\n");
        dir_.WriteGames({1001});
        dir_.WriteGameTools(1001, {{5001, 188, "攻略", 1001, 0, "http://pages.test/guide"},
                                   {5002, 190, "地图", 1001, 0, "pages.test/map"}});
        dir_.WriteGeneralTools({{20001, 188, "小工具页", 0, 0, "http://pages.test/small"}});
        dir_.WriteUsed({});
    }
};

template <typename Box>
void RunTwiceCloseAndAgain(std::function<void()> run, uint32_t itemId, const QString& caption,
                           const QString& target, QSize size) {
    run();
    std::vector<Box*> boxes = OpenBoxes<Box>();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]->ItemId(), itemId);
    EXPECT_EQ(boxes[0]->TitleLabel()->text(), caption);
    EXPECT_EQ(boxes[0]->Target(), target);
    EXPECT_EQ(boxes[0]->size(), size);
    EXPECT_EQ(WebBoxRegister::Process().State(itemId), WebBoxRegister::BoxState::Open);

    // While it is open, running the item again opens nothing.
    run();
    ASSERT_EQ(OpenBoxes<Box>().size(), 1u);

    QPointer<Box> first = boxes[0];
    first->CloseButton()->click();
    ASSERT_TRUE(WaitFor([&] { return first.isNull(); }));
    EXPECT_EQ(WebBoxRegister::Process().State(itemId), WebBoxRegister::BoxState::Closed);

    run();
    boxes = OpenBoxes<Box>();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(WebBoxRegister::Process().State(itemId), WebBoxRegister::BoxState::Open);
    QPointer<Box> second = boxes[0];
    second->close();
    ASSERT_TRUE(WaitFor([&] { return second.isNull(); }));
}

TEST_F(RunWebBoxTest, AWebBoxItemOpensOneBoxAtATimeAndIsListedOnce) {
    Open();
    RunTwiceCloseAndAgain<ui::SmallWebPageBox>(
        [this] { Run(ViewKind::OnlineGames, 5001, 1001); }, 5001, QStringLiteral("游戏1： 攻略"),
        QStringLiteral("http://pages.test/guide"), QSize(575, 438));
    EXPECT_TRUE(window_->isMinimized());
    RunTwiceCloseAndAgain<ui::LargeWebPageBox>(
        [this] { Run(ViewKind::OnlineGames, 5002, 1001); }, 5002, QStringLiteral("游戏1： 地图"),
        QStringLiteral("http://pages.test/map"), QSize(1017, 730));
    // A general tool's box has its own title alone.
    RunTwiceCloseAndAgain<ui::SmallWebPageBox>(
        [this] { Run(ViewKind::GeneralTools, 20001); }, 20001, QStringLiteral("小工具页"),
        QStringLiteral("http://pages.test/small"), QSize(575, 438));

    EXPECT_EQ(UsedIds(), (std::vector<std::string>{"5001", "5002", "20001"}));
    EXPECT_EQ(events_, (std::vector<std::string>{"report 5001", "report 5001", "report 5001",
                                                 "report 5002", "report 5002", "report 5002",
                                                 "report 20001", "report 20001", "report 20001"}));
}

TEST_F(RunWebBoxTest, ADescriptionOpensTheIntroductionPageEveryTime) {
    Open();
    window_->move(window_->pos() + QPoint(60, 20));
    grid::ItemTile* tile = Tile(ViewKind::GeneralTools, 20001);
    tile->RunCommand(grid::TileCommand::Describe);
    tile->RunCommand(grid::TileCommand::Describe);
    const std::vector<ui::SmallWebPageBox*> boxes = OpenBoxes<ui::SmallWebPageBox>();
    ASSERT_EQ(boxes.size(), 2u);
    for (ui::SmallWebPageBox* box : boxes) {
        EXPECT_EQ(box->TitleLabel()->text(), QStringLiteral("小工具页"));
        EXPECT_EQ(box->Target(), QStringLiteral("http://127.0.0.1:9/dl/rv_intro.php?aid=20001"));
        EXPECT_TRUE(box->PageUrl().toString().startsWith(
            QStringLiteral("http://127.0.0.1:9/load/LoadingPage.htm?q=")));
        // Over the main window, not where the window manager would put it.
        const QPoint offCentre = box->geometry().center() - window_->geometry().center();
        EXPECT_LE(offCentre.manhattanLength(), 2) << offCentre.x() << "," << offCentre.y();
    }
    // Introductions stay out of the register and off the My list.
    EXPECT_NE(WebBoxRegister::Process().State(20001), WebBoxRegister::BoxState::Open);
    EXPECT_TRUE(UsedIds().empty());
    for (ui::SmallWebPageBox* box : boxes) {
        QPointer<ui::SmallWebPageBox> open = box;
        box->close();
        ASSERT_TRUE(WaitFor([&] { return open.isNull(); }));
    }
}

}  // namespace
