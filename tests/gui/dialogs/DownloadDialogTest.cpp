#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <filesystem>
#include <fstream>
#include <random>

#include "DialogTestSupport.h"
#include "LoopbackWebServer.h"
#include "TempDir.h"
#include "ZipBuilder.h"
#include "app/JobRunner.h"
#include "app/ToolDownload.h"
#include "ui/DownloadDialog.h"
#include "ui/PngButton.h"

namespace {

using dialogtest::LoopbackWebServer;
using dialogtest::MessageBoxAnswerer;
using dialogtest::WaitFor;
using ui::DownloadDialog;

struct LineCase {
    std::uint32_t first;
    std::uint32_t second;
    const char* speedLine;
    const char* sizeLine;
};

TEST(DownloadDialogTextTest, LinesAreFormattedExactly) {
    const LineCase cases[] = {
        {0, 0, "速度：    0 KB/S  已完成  0 ％", "文件大小：     0 KB，已下载      0 KB"},
        {7, 159, "速度：    7 KB/S  已完成 15 ％", "文件大小：     7 KB，已下载    159 KB"},
        {1234, 999, "速度： 1234 KB/S  已完成 99 ％", "文件大小：  1234 KB，已下载    999 KB"},
        // Wider numbers push the text along instead of being cut.
        {12345, 1000, "速度： 12345 KB/S  已完成 100 ％", "文件大小： 12345 KB，已下载   1000 KB"},
        {25345, 3567, "速度： 25345 KB/S  已完成 356 ％", "文件大小： 25345 KB，已下载   3567 KB"},
        {1048576, 1048575, "速度： 1048576 KB/S  已完成 104857 ％",
         "文件大小：1048576 KB，已下载 1048575 KB"},
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(DownloadDialog::SpeedLine(c.first, c.second), QString::fromUtf8(c.speedLine));
        EXPECT_EQ(DownloadDialog::SizeLine(c.first, c.second), QString::fromUtf8(c.sizeLine));
    }
}

bool IsBlue(QColor c) {
    return c.blue() > c.red() + 40;
}
bool IsGrey(QColor c) {
    return c.red() == c.green() && c.green() == c.blue();
}

TEST(DownloadDialogTextTest, ProgressBarFillsItsShare) {
    const struct {
        std::uint32_t perMille;
        int filled;  // pixels from the left
    } cases[] = {{0, 0}, {1, 0}, {4, 1}, {500, 154}, {999, 307}, {1000, 308}, {1500, 308}};
    for (const auto& c : cases) {
        const QImage bar = DownloadDialog::ProgressBar(c.perMille);
        ASSERT_EQ(bar.size(), QSize(308, 23));
        for (int y : {2, 10, 11, 21}) {
            if (c.filled > 0) {
                EXPECT_TRUE(IsBlue(bar.pixelColor(c.filled - 1, y))) << c.perMille << " y " << y;
            }
            if (c.filled < 308) {
                EXPECT_TRUE(IsGrey(bar.pixelColor(c.filled, y))) << c.perMille << " y " << y;
            }
        }
    }
    // The upper half is the lighter blue, the trough runs from light to dark grey.
    const QImage full = DownloadDialog::ProgressBar(1000);
    EXPECT_GT(full.pixelColor(100, 3).lightness(), full.pixelColor(100, 18).lightness());
    const QImage empty = DownloadDialog::ProgressBar(0);
    EXPECT_GT(empty.pixelColor(100, 1).red(), empty.pixelColor(100, 21).red());
}

// A program directory, a loopback web server and a stand-in for the main window.
class DownloadDialogTest : public testing::Test {
  protected:
    catalog::ToolRecord Tool(std::uint32_t id, const std::string& path, const std::string& exe) {
        catalog::ToolRecord tool;
        tool.id = id;
        tool.title = "测试工具" + std::to_string(id);
        tool.type = catalog::kTypeProgram;
        tool.url = server_.Url(path);
        tool.exeName = exe;
        return tool;
    }

    // Opens a download window over the main window and starts its job.
    QPointer<DownloadDialog> Start(const catalog::ToolRecord& tool) {
        return app::DownloadTool(jobs_, dir_.dir(), tool, &mainWindow_);
    }

    std::filesystem::path InstallDir(std::uint32_t id) const {
        return dir_.path() / "LocalGameTool" / std::to_string(id);
    }
    std::filesystem::path Archive(std::uint32_t id) const {
        return dir_.path() / "ToolDownload" / (std::to_string(id) + ".zip");
    }

    TempDir dir_;
    LoopbackWebServer server_;
    app::JobRunner jobs_;
    QWidget mainWindow_;
};

std::string ToolArchive() {
    ziptest::Item script = ziptest::File("Tool/run.sh", "#!/bin/sh\necho started > started.txt\n");
    script.external = 0100755u << 16;
    return ziptest::Build({ziptest::Dir("Tool/"), script, ziptest::File("Tool/readme.txt", "hi")});
}

// Random bytes, so that nothing along the way can shrink them.
std::string Noise(std::size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        b = static_cast<char>(random());
    }
    return bytes;
}

TEST_F(DownloadDialogTest, TwoDownloadsAtOnceInstallStartAndClose) {
    server_.Put("/tool.zip", ToolArchive());
    MessageBoxAnswerer boxes(QMessageBox::Ok);
    // One tool whose program starts, one whose program is missing from its archive.
    const catalog::ToolRecord runs = Tool(501, "/tool.zip", "run.sh");
    const catalog::ToolRecord missing = Tool(502, "/tool.zip", "absent.exe");
    QPointer<DownloadDialog> first = Start(runs);
    QPointer<DownloadDialog> second = Start(missing);
    EXPECT_EQ(first->TitleLabel()->text(), QStringLiteral("正在下载：   测试工具501"));
    EXPECT_TRUE(first->TitleLabel()->isVisible());
    EXPECT_EQ(first->size(), QSize(360, 200));
    EXPECT_EQ(first->CloseButton()->geometry(), QRect(335, 8, 20, 20));
    // "取消" in the lower right corner, one frame of its strip.
    EXPECT_EQ(first->CancelButton()->geometry(), QRect(285, 174, 60, 20));
    EXPECT_TRUE(first->CancelButton()->isVisible());
    QSignalSpy installedFirst(first.data(), &DownloadDialog::toolInstalled);
    QSignalSpy installedSecond(second.data(), &DownloadDialog::toolInstalled);

    ASSERT_TRUE(WaitFor([&] { return first.isNull() && second.isNull(); }));

    ASSERT_EQ(installedFirst.count(), 1);
    EXPECT_EQ(installedFirst[0][0].value<catalog::ToolRecord>(), runs);
    ASSERT_EQ(installedSecond.count(), 1);
    EXPECT_EQ(installedSecond[0][0].value<catalog::ToolRecord>(), missing);
    for (std::uint32_t id : {501u, 502u}) {
        EXPECT_TRUE(std::filesystem::exists(InstallDir(id) / "run.sh")) << id;
        EXPECT_TRUE(std::filesystem::exists(InstallDir(id) / "readme.txt")) << id;
        // Installed: the archive is not needed any more.
        EXPECT_FALSE(std::filesystem::exists(Archive(id))) << id;
    }
    // The program ran in its own directory.
    EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(InstallDir(501) / "started.txt"); }));
    // Only the tool whose program is missing says so.
    ASSERT_TRUE(WaitFor([&] { return !boxes.SeenBoxes().empty(); }));
    ASSERT_EQ(boxes.SeenBoxes().size(), 1u);
    EXPECT_EQ(boxes.SeenBoxes()[0].text, QStringLiteral("程序无法运行，请检查文件是否完整"));
    EXPECT_EQ(boxes.SeenBoxes()[0].buttons, QMessageBox::Ok);
}

TEST_F(DownloadDialogTest, CancelKeepsWhatArrivedAndTheNextTryTakesItUp) {
    // A tool archive well beyond the part a slow download sends at once.
    ziptest::Item payload = ziptest::File("Tool/data.bin", Noise(1024 * 1024), 0);
    const std::string bytes = ziptest::Build({ziptest::Dir("Tool/"), payload});
    server_.Put("/big.zip", bytes, LoopbackWebServer::Mode::Slow);
    const catalog::ToolRecord tool = Tool(503, "/big.zip", "run.sh");
    QPointer<DownloadDialog> dialog = Start(tool);
    QSignalSpy installed(dialog.data(), &DownloadDialog::toolInstalled);

    // The first part has arrived and is on screen; the rest is held back by the server.
    ASSERT_TRUE(WaitFor([&] { return dialog->Shown().receivedKB >= 64; }));
    EXPECT_EQ(dialog->Shown().totalKB, bytes.size() >> 10);
    EXPECT_TRUE(dialog->IsRefreshing());
    EXPECT_EQ(dialog->SizeLabel()->text(),
              DownloadDialog::SizeLine(bytes.size() >> 10, dialog->Shown().receivedKB));
    EXPECT_EQ(dialog->SpeedLabel()->text(),
              DownloadDialog::SpeedLine(dialog->Shown().speedKBps, dialog->Shown().perMille));
    dialogtest::SaveScreenshot(dialog, QStringLiteral("download"));

    QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton, {}, QPoint(9, 9));
    // It is gone from the screen at once and goes away as soon as the worker has stopped.
    EXPECT_FALSE(dialog.isNull() ? false : dialog->isVisible());
    ASSERT_TRUE(WaitFor([&] { return dialog.isNull(); }));
    server_.Release();

    EXPECT_EQ(installed.count(), 0);
    EXPECT_FALSE(std::filesystem::exists(InstallDir(503)));
    // What had arrived stays in the download directory for the next try.
    const std::filesystem::path partial = Archive(503).string() + ".part";
    ASSERT_TRUE(std::filesystem::exists(partial));
    const auto kept = std::filesystem::file_size(partial);
    EXPECT_LT(kept, bytes.size());

    dialog = Start(tool);
    QSignalSpy installedNow(dialog.data(), &DownloadDialog::toolInstalled);
    ASSERT_TRUE(WaitFor([&] { return dialog.isNull(); }));
    EXPECT_EQ(installedNow.count(), 1);
    EXPECT_EQ(server_.RangeHeaders(),
              (std::vector<std::string>{"", "bytes=" + std::to_string(kept) + "-"}));
    std::ifstream data(InstallDir(503) / "data.bin", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(data), {}), payload.data);
    EXPECT_FALSE(std::filesystem::exists(partial));
    EXPECT_FALSE(std::filesystem::exists(Archive(503)));
}

TEST_F(DownloadDialogTest, FailureStaysOnScreenUntilCancelled) {
    const std::string archive = ToolArchive();
    server_.Put("/broken.zip", Noise(256 * 1024), LoopbackWebServer::Mode::Broken);
    server_.Put("/page.zip", "<html>sorry</html>", LoopbackWebServer::Mode::Whole, "text/html");
    // A page that is not an archive, but long enough to fill the figures completely.
    server_.Put("/long-page.zip", Noise(8 * 1024), LoopbackWebServer::Mode::Whole, "text/html");
    const char* network = "下载失败：网络不通或服务器没有这个文件，请稍后重试";
    const char* damaged = "安装包已损坏，请稍后重新下载";
    const struct {
        const char* name;
        std::string path;
        const char* status;
        bool byCross;  // cancelled with the caption's ×, else with "取消"
    } cases[] = {
        {"not found", "/missing.zip", network, false},
        {"connection breaks off", "/broken.zip", network, true},
        {"not an archive", "/page.zip", damaged, false},
        {"not an archive, all of it shown", "/long-page.zip", damaged, false},
    };
    std::uint32_t id = 510;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QPointer<DownloadDialog> dialog = Start(Tool(++id, c.path, "run.sh"));
        QSignalSpy installed(dialog.data(), &DownloadDialog::toolInstalled);
        ASSERT_TRUE(WaitFor([&] { return !dialog->StatusLabel()->text().isEmpty(); }));
        EXPECT_EQ(dialog->StatusLabel()->text(), QString::fromUtf8(c.status));
        EXPECT_EQ(dialog->StatusLabel()->toolTip(), QString::fromUtf8(c.status));
        EXPECT_FALSE(dialog->IsRefreshing());
        // Nothing is being transferred any more, so no speed is shown.
        EXPECT_EQ(dialog->SpeedLabel()->text(), QString());

        // Enter, Escape and the window system's close leave it where it is, and do not have
        // it deleted later either.
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTest::keyClick(dialog, Qt::Key_Return);
        dialog->close();
        ASSERT_TRUE(dialogtest::PendingDeletesDone());
        ASSERT_FALSE(dialog.isNull());
        EXPECT_TRUE(dialog->isVisible());

        QTest::mouseClick(c.byCross ? dialog->CloseButton() : dialog->CancelButton(),
                          Qt::LeftButton, {}, QPoint(9, 9));
        ASSERT_TRUE(WaitFor([&] { return dialog.isNull(); }));
        EXPECT_EQ(installed.count(), 0);
        EXPECT_FALSE(std::filesystem::exists(InstallDir(id) / "run.sh"));
    }
}

TEST(DownloadDialogTextTest, EachKindOfFailureIsToldInItsOwnWords) {
    using Phase = install::DownloadCounters::Phase;
    auto cannotWrite = [](std::string path, std::errc error) {
        return job::Result::CannotWrite("cannot write", std::move(path),
                                        std::make_error_code(error));
    };
    const struct {
        const char* what;
        job::Result result;
        Phase phase;
        const char* text;
    } cases[] = {
        {"no permission", cannotWrite("/opt/ravik/ToolDownload", std::errc::permission_denied),
         Phase::Downloading, "无法写入程序目录：/opt/ravik/ToolDownload（权限不足）"},
        {"read-only disk",
         cannotWrite("/media/ravik/ToolDownload/7.zip.part", std::errc::read_only_file_system),
         Phase::Downloading, "无法写入程序目录：/media/ravik/ToolDownload/7.zip.part（磁盘只读）"},
        {"disk full while extracting",
         cannotWrite("/p/LocalGameTool/7/data.bin", std::errc::no_space_on_device),
         Phase::Installing, "无法写入程序目录：/p/LocalGameTool/7/data.bin（磁盘空间不足）"},
        {"a file in the way", cannotWrite("/p/file/ToolDownload", std::errc::not_a_directory),
         Phase::Downloading, "无法写入程序目录：/p/file/ToolDownload（路径中有同名的文件）"},
        {"no path known", job::Result::Failed(job::Code::WriteFailed, "cannot write"),
         Phase::Downloading, "无法写入程序目录"},
        {"network", job::Result::Failed(job::Code::Network, "the server answered HTTP 404"),
         Phase::Downloading, "下载失败：网络不通或服务器没有这个文件，请稍后重试"},
        {"bad address", job::Result::Failed(job::Code::BadData, "not an http or https address"),
         Phase::Downloading, "下载失败：下载地址无效"},
        {"damaged archive", job::Result::Failed(job::Code::BadData, "entry data damaged"),
         Phase::Installing, "安装包已损坏，请稍后重新下载"},
        {"unsafe entry", job::Result::Failed(job::Code::Refused, "entry would leave"),
         Phase::Installing, "无法解压：安装包中有不安全或加密的文件"},
        {"refused signature", job::Result::Failed(job::Code::Untrusted, "no signature"),
         Phase::Installing, "签名无效，已拒绝安装"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DownloadDialog::FailureText(c.result, c.phase), QString::fromUtf8(c.text))
            << c.what;
    }
}

TEST_F(DownloadDialogTest, AProgramDirectoryThatCannotBeWrittenIsNamed) {
    server_.Put("/tool.zip", ToolArchive());
    dir_.Write("file", "a plain file where a folder would be needed");
    std::filesystem::create_directory(dir_.path() / "locked");
    std::filesystem::permissions(dir_.path() / "locked", std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_exec);
    // Root writes into a read-only folder all the same; a file in the way stops everybody.
    const bool lockedHolds = !std::ofstream(dir_.path() / "locked" / "probe");
    const struct {
        const char* what;
        std::string programDir;
        const char* reason;
        bool applies;
    } cases[] = {
        {"below a file", dir_ / "file/program/", "路径中有同名的文件", true},
        {"read-only folder", dir_ / "locked/", "权限不足", lockedHolds},
    };
    std::uint32_t id = 530;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.applies) {
            continue;
        }
        QPointer<DownloadDialog> dialog =
            app::DownloadTool(jobs_, c.programDir, Tool(++id, "/tool.zip", "run.sh"), &mainWindow_);
        ASSERT_TRUE(WaitFor([&] { return !dialog->StatusLabel()->text().isEmpty(); }));
        const QString reason =
            QStringLiteral("（") + QString::fromUtf8(c.reason) + QStringLiteral("）");
        EXPECT_EQ(dialog->StatusLabel()->toolTip(),
                  QStringLiteral("无法写入程序目录：") +
                      QString::fromStdString(c.programDir + "ToolDownload") + reason);
        // On the window itself a long path is cut in its middle, so that all of it shows.
        const QString shown = dialog->StatusLabel()->text();
        EXPECT_TRUE(shown.startsWith(QStringLiteral("无法写入程序目录：/"))) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(QStringLiteral("ToolDownload") + reason)) << shown.toStdString();
        EXPECT_LE(dialog->StatusLabel()->heightForWidth(dialog->StatusLabel()->width()),
                  dialog->StatusLabel()->height())
            << shown.toStdString();
        dialog->CancelDownload();
        ASSERT_TRUE(WaitFor([&] { return dialog.isNull(); }));
    }
}

TEST_F(DownloadDialogTest, ClosingTheMainWindowStopsARunningDownload) {
    server_.Put("/big.zip", Noise(512 * 1024), LoopbackWebServer::Mode::Slow);
    auto* mainWindow = new QWidget;
    DownloadDialog* dialog =
        app::DownloadTool(jobs_, dir_.dir(), Tool(520, "/big.zip", "run.sh"), mainWindow);
    ASSERT_TRUE(WaitFor([&] { return dialog->Shown().receivedKB > 0; }));
    // The window goes with its parent and cancels its job.
    delete mainWindow;
    jobs_.Shutdown();
    EXPECT_EQ(jobs_.Running(), 0);
    server_.Release();
    EXPECT_FALSE(std::filesystem::exists(InstallDir(520)));
}

}  // namespace
