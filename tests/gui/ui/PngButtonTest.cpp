#include <gtest/gtest.h>

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "ui/PngButton.h"

namespace {

using ui::PngButton;

// A strip whose four frames are filled with distinct colours, so a grab shows which frame
// the button drew.
const QColor kFrameColours[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};

QImage Strip(int frameWidth, int height, int extraColumns = 0) {
    QImage strip(frameWidth * 4 + extraColumns, height, QImage::Format_ARGB32);
    strip.fill(Qt::magenta);
    QPainter painter(&strip);
    for (int k = 0; k < 4; ++k) {
        painter.fillRect(k * frameWidth, 0, frameWidth, height, kFrameColours[k]);
    }
    return strip;
}

// The button drawn alone onto a transparent image.
QImage Shot(PngButton& button) {
    QImage shot(button.size(), QImage::Format_ARGB32);
    shot.fill(Qt::transparent);
    button.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
    return shot;
}

int PaintedFrame(PngButton& button) {
    const QImage shot = Shot(button);
    const QColor centre = shot.pixelColor(button.FrameWidth() / 2, button.height() / 2);
    for (int k = 0; k < 4; ++k) {
        if (centre == kFrameColours[k]) {
            return k;
        }
    }
    return -1;
}

struct FrameCase {
    const char* name;
    bool pressed;
    bool hover;
    bool selectable;
    bool selected;
    int frame;
};

class PngButtonFrameTest : public testing::TestWithParam<FrameCase> {};

TEST_P(PngButtonFrameTest, PicksTheFrameOfItsState) {
    const FrameCase& c = GetParam();
    QWidget parent;
    parent.resize(100, 100);
    PngButton button(&parent);
    button.SetImage(Strip(18, 18));
    button.SetSelectable(c.selectable);
    button.SetSelected(c.selected);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    // Start from the mouse being elsewhere, wherever the platform put the cursor.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    if (c.hover) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), button.mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(&button, &enter);
    }
    if (c.pressed) {
        button.setDown(true);
    }
    EXPECT_EQ(button.CurrentFrame(), c.frame);
    EXPECT_EQ(PaintedFrame(button), c.frame);
}

INSTANTIATE_TEST_SUITE_P(
    States, PngButtonFrameTest,
    testing::Values(FrameCase{"Normal", false, false, false, false, 0},
                    FrameCase{"Hover", false, true, false, false, 1},
                    FrameCase{"Pressed", true, false, false, false, 2},
                    FrameCase{"PressedWhileHovered", true, true, false, false, 2},
                    FrameCase{"PressedSelectedTab", true, true, true, true, 2},
                    FrameCase{"Selected", false, false, true, true, 2},
                    FrameCase{"SelectedStaysSelectedWhenHovered", false, true, true, true, 2},
                    FrameCase{"SelectableNotSelectedHover", false, true, true, false, 1},
                    FrameCase{"SelectableNotSelected", false, false, true, false, 0},
                    // The selected look belongs to selectable buttons only; and hover does not
                    // apply to a selected button.
                    FrameCase{"SelectedButNotSelectable", false, false, false, true, 0},
                    FrameCase{"SelectedButNotSelectableHovered", false, true, false, true, 0}),
    [](const testing::TestParamInfo<FrameCase>& info) { return info.param.name; });

TEST(PngButtonTest, LeavingClearsHoverAlsoWhenSelected) {
    QWidget parent;
    PngButton button(&parent);
    button.SetImage(Strip(24, 24));
    button.SetSelectable(true);
    button.SetSelected(true);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), button.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&button, &enter);
    ASSERT_TRUE(button.IsHovered());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.IsHovered());
    button.SetSelected(false);
    EXPECT_EQ(button.CurrentFrame(), 0);
}

TEST(PngButtonTest, PressAndReleaseShowPressedFrameThenClick) {
    QWidget parent;
    PngButton button(&parent);
    button.SetImage(Strip(18, 18));
    QSignalSpy clicks(&button, &PngButton::clicked);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(9, 9));
    EXPECT_EQ(PaintedFrame(button), 2);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(9, 9));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_NE(button.CurrentFrame(), 2);
}

TEST(PngButtonTest, DoubleClickCountsAsTwoClicks) {
    QWidget parent;
    PngButton button(&parent);
    button.SetImage(Strip(24, 24));
    QSignalSpy clicks(&button, &PngButton::clicked);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    // What the window system delivers for a quick double click: press, release, double
    // click, release.
    const QPointF at(12, 12);
    const QPointF global = button.mapToGlobal(at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, global, Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&button, &event);
    }
    EXPECT_EQ(clicks.count(), 2);
}

struct SizeCase {
    const char* name;
    int width;
    int height;
    int frameWidth;
};

class PngButtonSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(PngButtonSizeTest, SetImageKeepsPositionAndSizesToOneFrame) {
    const SizeCase& c = GetParam();
    QWidget parent;
    PngButton button(&parent);
    button.setGeometry(30, 40, 110, 41);
    QImage strip(c.width, c.height, QImage::Format_ARGB32);
    strip.fill(Qt::gray);
    button.SetImage(strip);
    EXPECT_EQ(button.FrameWidth(), c.frameWidth);
    EXPECT_EQ(button.geometry(), QRect(30, 40, c.frameWidth, c.height));
}

INSTANTIATE_TEST_SUITE_P(Strips, PngButtonSizeTest,
                         testing::Values(SizeCase{"TitleBar", 72, 18, 18},
                                         SizeCase{"Tab", 408, 36, 102},
                                         SizeCase{"OneKeyDelete", 272, 17, 68},
                                         // Integer quotient: the rightmost columns never show.
                                         SizeCase{"NotMultipleOfFour", 75, 20, 18}),
                         [](const testing::TestParamInfo<SizeCase>& info) {
                             return info.param.name;
                         });

TEST(PngButtonTest, StripWidthNotMultipleOfFourNeverShowsRightmostColumns) {
    QWidget parent;
    PngButton button(&parent);
    button.SetImage(Strip(18, 18, 3));
    button.resize(40, 18);  // larger than a frame: the frame sits at the top-left
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    button.setDown(true);
    const QImage shot = Shot(button);
    EXPECT_EQ(shot.pixelColor(17, 9), kFrameColours[2]);
    EXPECT_EQ(shot.pixelColor(18, 9).alpha(), 0);
    EXPECT_EQ(shot.pixelColor(39, 9).alpha(), 0);
}

TEST(PngButtonTest, WithoutImageDrawsNothing) {
    PngButton button;
    button.resize(20, 20);
    EXPECT_EQ(button.CurrentFrame(), -1);
    EXPECT_EQ(Shot(button).pixelColor(10, 10).alpha(), 0);
}

}  // namespace
