#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <fstream>

#include "TempDir.h"
#include "UrlRecorder.h"
#include "catalog/LauncherConfig.h"
#include "catalog/UserSettings.h"
#include "platform/Shell.h"
#include "ui/AboutBox.h"
#include "ui/BusyBox.h"
#include "ui/PngButton.h"
#include "ui/SkinImages.h"
#include "ui/UpgradeReport.h"

namespace {

using ui::AboutBox;
using ui::BusyBox;
using ui::UpgradeReport;

// Pixels of `rect` in `image` that satisfy `test`.
template <typename Test>
int CountPixels(const QImage& image, const QRect& rect, Test test) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            count += test(image.pixelColor(x, y)) ? 1 : 0;
        }
    }
    return count;
}

bool IsTextBlack(const QColor& c) {
    return c.red() < 60 && c.green() < 60 && c.blue() < 60;
}

TEST(AboutBoxTest, ShowsVersionAndLinkAtItsSize) {
    auto* about = new AboutBox(QStringLiteral("2.3.1"), QStringLiteral("http://ravik.test/desk/"));
    QPointer<AboutBox> guard(about);
    about->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    EXPECT_EQ(about->size(), QSize(360, 200));
    EXPECT_EQ(about->VersionLabel()->text(), QStringLiteral("2.3.1"));
    EXPECT_EQ(about->LinkLabel()->text(), QStringLiteral("http://ravik.test/desk/"));
    EXPECT_EQ(about->CloseButton()->geometry(), QRect(335, 8, 20, 20));
    EXPECT_FALSE(about->mask().isEmpty());
    about->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST(AboutBoxTest, CloseButtonClosesAndDeletesTheBox) {
    auto* about = new AboutBox(QString(), QStringLiteral("http://ravik.test/desk/"));
    QPointer<AboutBox> guard(about);
    about->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    QTest::mouseClick(about->CloseButton(), Qt::LeftButton, {}, QPoint(9, 9));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

// The boxes that only tell something close on Enter and on Escape.
TEST(SmallDialogKeysTest, EnterAndEscapeCloseTheTellingBoxes) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        AboutBox about(QString(), QStringLiteral("http://ravik.test/desk/"));
        about.setAttribute(Qt::WA_DeleteOnClose, false);
        UpgradeReport report(QStringLiteral("程序已升级。"));
        for (QDialog* box : std::initializer_list<QDialog*>{&about, &report}) {
            box->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
            QTest::keyClick(box, key);
            EXPECT_FALSE(box->isVisible()) << box->windowTitle().toStdString();
        }
    }
}

TEST(AboutBoxTest, MissingVersionShowsEmptyText) {
    AboutBox about(QString(), QStringLiteral("http://ravik.test/desk/"));
    about.setAttribute(Qt::WA_DeleteOnClose, false);
    EXPECT_TRUE(about.VersionLabel()->text().isEmpty());
}

TEST(AboutBoxTest, VersionFromTheSettingsFileAndSiteFromTheConfiguration) {
    struct {
        const char* name;
        const char* usercfg;  // nullptr: no file
        const char* version;
    } const cases[] = {
        {"Present", "[ravikver]\r\nversion=3.2.1\r\n", "3.2.1"},
        {"MissingKey", "[system]\r\nexit=1\r\n", ""},
        {"MissingFile", nullptr, ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string programDir = dir.path().string() + "/";
        if (c.usercfg != nullptr) {
            std::ofstream(programDir + "usercfg.dat", std::ios::binary) << c.usercfg;
        }
        catalog::LauncherConfig config;
        config.productUrl = "http://site.test";
        AboutBox about(catalog::UserSettings(programDir), config);
        about.setAttribute(Qt::WA_DeleteOnClose, false);
        EXPECT_EQ(about.VersionLabel()->text(), QString::fromUtf8(c.version)) << c.name;
        EXPECT_EQ(about.SiteUrl(), QStringLiteral("http://site.test/desk/")) << c.name;
    }
}

TEST(AboutBoxTest, PressOnTheLinkOpensTheSiteWithHandCursor) {
    UrlRecorder recorder;
    AboutBox about(QStringLiteral("1.0"), QStringLiteral("http://ravik.test/desk/"));
    about.setAttribute(Qt::WA_DeleteOnClose, false);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    const QPoint link = about.LinkLabel()->geometry().center();

    QTest::mouseMove(&about, link);
    EXPECT_EQ(about.cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(&about, Qt::LeftButton, {}, link);
    QTest::mouseRelease(&about, Qt::LeftButton, {}, link);
    ASSERT_EQ(recorder.urls.size(), 1u);
    EXPECT_EQ(recorder.urls[0], "http://ravik.test/desk/");

    const QPoint elsewhere(20, 150);
    QTest::mouseMove(&about, elsewhere);
    EXPECT_EQ(about.cursor().shape(), Qt::IBeamCursor);
    QTest::mouseClick(&about, Qt::LeftButton, {}, elsewhere);
    EXPECT_EQ(recorder.urls.size(), 1u);
}

struct UpgradeCase {
    const char* name;
    const char* oldVersion;
    const char* newVersion;
    const char* message;
};

class UpgradeMessageTest : public testing::TestWithParam<UpgradeCase> {};

TEST_P(UpgradeMessageTest, FillsOldThenNewVersion) {
    const UpgradeCase& c = GetParam();
    EXPECT_EQ(UpgradeReport::UpgradeMessage(QString::fromUtf8(c.oldVersion),
                                            QString::fromUtf8(c.newVersion)),
              QString::fromUtf8(c.message));
}

INSTANTIATE_TEST_SUITE_P(
    Versions, UpgradeMessageTest,
    testing::Values(UpgradeCase{"Plain", "1.0.2", "1.1.0", "程序已从1.0.2版本 升级到1.1.0版本。"},
                    UpgradeCase{"Empty", "", "2.0", "程序已从版本 升级到2.0版本。"},
                    // Placeholders in a version text are shown, never expanded.
                    UpgradeCase{"PercentSigns", "%1", "%s%2", "程序已从%1版本 升级到%s%2版本。"}),
    [](const testing::TestParamInfo<UpgradeCase>& info) { return info.param.name; });

TEST(UpgradeReportTest, LayoutAndBothButtonsClose) {
    for (int which = 0; which < 2; ++which) {
        UpgradeReport report(
            UpgradeReport::UpgradeMessage(QStringLiteral("1.0"), QStringLiteral("1.1")));
        report.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&report));
        EXPECT_EQ(report.size(), QSize(360, 200));
        EXPECT_EQ(report.windowTitle(), QStringLiteral("Ravik升级报告"));
        EXPECT_EQ(report.CloseButton()->geometry(), QRect(335, 8, 20, 20));
        EXPECT_EQ(report.OkButton()->geometry(), QRect(280, 165, 100, 20));
        // The message and the thanks are drawn in black on their two lines, nothing below.
        const QImage shot = report.grab().toImage();
        EXPECT_GT(CountPixels(shot, QRect(30, 110, 300, 16), IsTextBlack), 20);
        EXPECT_GT(CountPixels(shot, QRect(30, 130, 300, 16), IsTextBlack), 20);
        EXPECT_EQ(CountPixels(shot, QRect(30, 148, 240, 40), IsTextBlack), 0);
        QSignalSpy rejected(&report, &QDialog::rejected);
        ui::PngButton* button = which == 0 ? report.OkButton() : report.CloseButton();
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_EQ(rejected.count(), 1) << (which == 0 ? "OK" : "close");
        EXPECT_FALSE(report.isVisible());
    }
}

// Writes the busy box's two images into `dir` (either may be left out).
void WriteBusyImages(const std::string& dir, bool strip, bool background) {
    if (strip) {
        QImage image(500, 50, QImage::Format_RGB32);
        for (int n = 0; n < 10; ++n) {
            for (int x = 0; x < 50; ++x) {
                for (int y = 0; y < 50; ++y) {
                    image.setPixelColor(n * 50 + x, y, QColor(n * 25, 255 - n * 25, 0));
                }
            }
        }
        ASSERT_TRUE(image.save(QString::fromStdString(dir + "/waiticon.jpg"), "JPEG", 100));
    }
    if (background) {
        QImage image(230, 98, QImage::Format_RGB32);
        image.fill(QColor(0, 0, 128));
        ASSERT_TRUE(image.save(QString::fromStdString(dir + "/waitbg.jpg"), "JPEG", 100));
    }
}

TEST(BusyBoxTest, FrameSequenceWrapsAfterTheTenth) {
    TempDir dir;
    WriteBusyImages(dir.path().string(), true, true);
    BusyBox box(QString::fromStdString(dir.path().string() + "/"));
    EXPECT_EQ(box.size(), QSize(230, 98));
    std::vector<int> frames{box.Frame()};
    for (int i = 0; i < 12; ++i) {
        box.Advance();
        frames.push_back(box.Frame());
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2}));
}

TEST(BusyBoxTest, DrawsTheCurrentFrameAtItsPlace) {
    TempDir dir;
    WriteBusyImages(dir.path().string(), true, true);
    BusyBox box(QString::fromStdString(dir.path().string() + "/"));
    for (int i = 0; i < 3; ++i) {
        box.Advance();
    }
    const QImage shot = box.grab().toImage();
    const QColor frame3(75, 180, 0);
    const QColor centre = shot.pixelColor(17 + 25, 18 + 25);
    EXPECT_NEAR(centre.red(), frame3.red(), 8);
    EXPECT_NEAR(centre.green(), frame3.green(), 8);
    EXPECT_NEAR(shot.pixelColor(5, 90).blue(), 128, 8);
}

TEST(BusyBoxTest, MissingImagesLeaveThemOutButKeepTheText) {
    for (int missing = 0; missing < 2; ++missing) {
        TempDir dir;
        WriteBusyImages(dir.path().string(), missing != 0, missing == 0);
        BusyBox box(QString::fromStdString(dir.path().string() + "/"));
        EXPECT_EQ(box.Strip().isNull(), missing == 0);
        EXPECT_EQ(box.Background().isNull(), missing != 0);
        box.Advance();
        // Painting without one of the images still draws the text in its place.
        const QImage shot = box.grab().toImage();
        ASSERT_EQ(shot.size(), QSize(230, 98));
        const QColor ground = shot.pixelColor(220, 90);
        const auto inked = [&ground](const QColor& c) {
            return std::abs(c.red() - ground.red()) + std::abs(c.green() - ground.green()) +
                       std::abs(c.blue() - ground.blue()) >
                   24;
        };
        EXPECT_GT(CountPixels(shot, QRect(70, 36, 140, 16), inked), 20) << missing;
        EXPECT_EQ(CountPixels(shot, QRect(70, 60, 140, 38), inked), 0) << missing;
    }
}

TEST(SkinImagesTest, EveryImageHasItsSize) {
    using ui::Png;
    const struct {
        Png id;
        QSize size;
    } images[] = {
        {Png::MainBackground, {310, 528}},
        {Png::MinimiseButton, {72, 18}},
        {Png::CloseButton, {72, 18}},
        {Png::ToolsTab, {408, 36}},
        {Png::OnlineTab, {408, 36}},
        {Png::MyTab, {408, 36}},
        {Png::DeleteMark, {88, 22}},
        {Png::ManageButton, {176, 17}},
        {Png::BackButton, {176, 18}},
        {Png::TileFrame, {176, 44}},
        {Png::SmallWebBoxBackground, {575, 438}},
        {Png::SettingsBackground, {340, 330}},
        {Png::OkButton, {240, 20}},
        {Png::CancelButton, {240, 20}},
        {Png::SettingsButton, {72, 18}},
        {Png::DownloadBar, {294, 23}},
        {Png::DownloadBackground, {360, 200}},
        {Png::ForumButton, {288, 20}},
        {Png::BigWebBoxBackground, {1017, 730}},
        {Png::AboutBackground, {360, 200}},
        {Png::PageDot, {96, 24}},
        {Png::FirstPageButton, {96, 24}},
        {Png::PreviousPageButton, {96, 24}},
        {Png::NextPageButton, {96, 24}},
        {Png::LastPageButton, {96, 24}},
        {Png::ListMarker, {10, 12}},
        {Png::DeleteAllButton, {272, 17}},
        {Png::HelpButton, {72, 18}},
    };
    for (const auto& image : images) {
        EXPECT_EQ(ui::LoadPngResource(image.id).size(), image.size) << static_cast<int>(image.id);
    }
    EXPECT_FALSE(ui::AppIcon().pixmap(16, 16).isNull());
    EXPECT_FALSE(ui::AppIcon().pixmap(256, 256).isNull());
}

}  // namespace
