#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include "ui/CaptionBand.h"
#include "ui/CutCorners.h"
#include "ui/PngButton.h"
#include "ui/SkinnedWindow.h"

namespace {

using ui::CaptionBand;
using ui::PngButton;
using ui::SkinnedWindow;

// Records the moves handed to the window system instead of making them.
class MoveRecorder {
  public:
    explicit MoveRecorder(bool systemTakesOver = true) {
        CaptionBand::SetMoveStarter([this, systemTakesOver](QWindow* window) {
            moves.push_back(window);
            return systemTakesOver;
        });
    }
    ~MoveRecorder() { CaptionBand::SetMoveStarter({}); }
    std::vector<QWindow*> moves;
};

// A 200 x 120 skinned window with a button and a label in its top band.
struct Window {
    Window() : window(QImage(), SkinnedWindow::Draggable) {
        window.setGeometry(100, 100, 200, 120);
        button = new PngButton(&window);
        QImage strip(72, 18, QImage::Format_ARGB32);
        strip.fill(Qt::white);
        button->SetImage(strip);
        button->move(170, 6);
        label = new QLabel(QStringLiteral("标题"), &window);
        label->setGeometry(10, 6, 60, 16);
        window.show();
    }
    SkinnedWindow window;
    PngButton* button;
    QLabel* label;
};

struct PressCase {
    const char* name;
    QPoint pos;
    bool moves;
};

class CaptionBandPressTest : public testing::TestWithParam<PressCase> {};

TEST_P(CaptionBandPressTest, PressOnTheWindowMovesOnlyInTheTopBand) {
    const PressCase& c = GetParam();
    MoveRecorder recorder;
    Window w;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    QTest::mousePress(&w.window, Qt::LeftButton, {}, c.pos);
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, c.pos);
    ASSERT_EQ(recorder.moves.size(), c.moves ? 1u : 0u);
    if (c.moves) {
        EXPECT_EQ(recorder.moves[0], w.window.windowHandle());
    }
}

INSTANTIATE_TEST_SUITE_P(Points, CaptionBandPressTest,
                         testing::Values(PressCase{"TopLeft", {1, 0}, true},
                                         PressCase{"LastBandRow", {120, 29}, true},
                                         PressCase{"FirstRowBelowBand", {120, 30}, false},
                                         PressCase{"RightEdgeOfBand", {199, 15}, true},
                                         PressCase{"Body", {100, 80}, false}),
                         [](const testing::TestParamInfo<PressCase>& info) {
                             return info.param.name;
                         });

TEST(CaptionBandTest, ButtonInTheBandGetsItsClickAndDoesNotMove) {
    MoveRecorder recorder;
    Window w;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    QSignalSpy clicks(w.button, &PngButton::clicked);
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(9, 9));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(recorder.moves.empty());
}

TEST(CaptionBandTest, LabelInTheBandDragsLikeTheBackground) {
    MoveRecorder recorder;
    Window w;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    QTest::mousePress(w.label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(w.label, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(recorder.moves.size(), 1u);
}

TEST(CaptionBandTest, RightButtonDoesNotMove) {
    MoveRecorder recorder;
    Window w;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    QTest::mouseClick(&w.window, Qt::RightButton, {}, QPoint(50, 10));
    EXPECT_TRUE(recorder.moves.empty());
}

TEST(CaptionBandTest, WithoutSystemMoveTheWindowFollowsTheMouse) {
    MoveRecorder recorder(false);
    Window w;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    const QPoint start = w.window.pos();
    QTest::mousePress(&w.window, Qt::LeftButton, {}, QPoint(50, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(80, 30), w.window.mapToGlobal(QPointF(80, 30)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.window, &move);
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(80, 30));
    EXPECT_EQ(w.window.pos(), start + QPoint(30, 20));
}

TEST(CaptionBandTest, WindowWithoutBandDoesNotMove) {
    MoveRecorder recorder;
    SkinnedWindow window(QImage(), SkinnedWindow::NoOptions);
    window.resize(100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(50, 10));
    EXPECT_TRUE(recorder.moves.empty());
}

TEST(CutCornersTest, WindowOutlineCutsThreeAtTheTopAndFourAtTheBottom) {
    const QPolygon outline = ui::CutCornerOutline(QRect(0, 0, 310, 528));
    const QPolygon expected(
        {{0, 3}, {3, 0}, {307, 0}, {310, 3}, {310, 524}, {306, 528}, {3, 528}, {0, 524}});
    EXPECT_EQ(outline, expected);
}

TEST(CutCornersTest, MaskLeavesOutTheCornersOnly) {
    SkinnedWindow window(QImage(), SkinnedWindow::CutCorners);
    window.resize(360, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRegion mask = window.mask();
    struct {
        QPoint point;
        bool inside;
    } const cases[] = {
        {{0, 0}, false},  {{359, 0}, false},   {{0, 199}, false},  {{359, 199}, false},
        {{1, 0}, false},  {{358, 198}, false}, {{5, 5}, true},     {{180, 0}, true},
        {{0, 100}, true}, {{359, 100}, true},  {{180, 199}, true}, {{354, 194}, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mask.contains(c.point), c.inside) << c.point.x() << "," << c.point.y();
    }
}

TEST(CutCornersTest, WindowWithoutOutlineHasNoMask) {
    SkinnedWindow window(QImage(), SkinnedWindow::Draggable);
    window.resize(360, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(window.mask().isEmpty());
}

}  // namespace
