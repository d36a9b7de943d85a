#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEngineView>

#include "DialogTestSupport.h"
#include "UrlRecorder.h"
#include "app/ChineseLocale.h"
#include "catalog/ToolRecord.h"
#include "platform/Shell.h"
#include "ui/LargeWebPageBox.h"
#include "ui/PngButton.h"
#include "ui/SmallWebPageBox.h"
#include "ui/WindowPlacement.h"

namespace {

using dialogtest::WaitFor;
using ui::LargeWebPageBox;
using ui::SmallWebPageBox;
using ui::WebPageBox;

// The launcher's start-up, before the first web view of the run starts the web engine.
class LauncherStartUp : public testing::Environment {
  public:
    void SetUp() override { app::ChineseLocale::Install(*qApp); }
};
const testing::Environment* const kStartUp = testing::AddGlobalTestEnvironment(new LauncherStartUp);

// A small web server on the UI thread for the web views: one request per connection. It
// takes request targets as browsers send them, also with a second '?' in the query (the
// loading page gets the target's own query inside its query), which stricter server
// libraries refuse.
class PageServer {
  public:
    PageServer() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { Read(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    void Put(const std::string& path, const std::string& html) { pages_[path] = html; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(Port()); }
    std::string Url(const std::string& path) const { return Base() + path; }
    int Port() const { return server_.serverPort(); }
    const std::vector<std::string>& Requests() const { return requests_; }

  private:
    void Read(QTcpSocket* socket) {
        QByteArray& head = heads_[socket];
        head += socket->readAll();
        if (!head.contains("\r\n\r\n")) {
            return;
        }
        const QList<QByteArray> line = head.left(head.indexOf("\r\n")).split(' ');
        heads_.erase(socket);
        const std::string target = line.size() > 1 ? line[1].toStdString() : std::string();
        requests_.push_back(target);
        auto page = pages_.find(target.substr(0, target.find('?')));
        const bool found = page != pages_.end();
        const std::string body = found ? page->second : "<html>not found</html>";
        const std::string reply =
            std::string(found ? "HTTP/1.0 200 OK" : "HTTP/1.0 404 Not Found") +
            "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        socket->write(reply.data(), static_cast<qint64>(reply.size()));
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    std::map<std::string, std::string> pages_;
    std::map<QTcpSocket*, QByteArray> heads_;
    std::vector<std::string> requests_;
};

// The product web server's loading page as the tests serve it: it opens the address it was
// given, as the real one does.
const char* const kLoadingPage = R"(<html><head><meta charset="utf-8"><script>
var q = decodeURIComponent(location.search.substring(3));
location.replace(q.indexOf("://") < 0 ? "http://" + q : q);
</script></head><body>Loading</body></html>)";

const char* const kTargetPage = R"(<html><head><meta charset="utf-8"><title>攻略</title></head>
<body style="font-family: 'WenQuanYi Micro Hei'; margin: 24px; background: #f4f8fc">
<h2 style="color: #114470">仙境传说 新手攻略</h2>
<p>第一章：选择职业。剑士、法师、弓箭手各有所长。</p>
<p>第二章：组队与副本。</p></body></html>)";

class WebBoxTest : public testing::Test {
  protected:
    WebBoxTest() {
        server_.Put("/load/LoadingPage.htm", kLoadingPage);
        server_.Put("/guide.htm", kTargetPage);
        server_.Put("/rv_intro.php", kTargetPage);
    }

    catalog::ToolRecord Item(std::uint32_t id, std::uint32_t type) const {
        catalog::ToolRecord item;
        item.id = id;
        item.title = "新手攻略";
        item.type = type;
        item.url = server_.Url("/guide.htm");
        return item;
    }
    QString Product() const { return QString::fromStdString(server_.Base()); }

    // Shows item `item`'s page in a box of type Box titled `caption`, as the web box helper
    // does.
    template <typename Box>
    QPointer<Box> Show(const catalog::ToolRecord& item, const QString& caption) const {
        auto* box = new Box(caption, QString::fromStdString(item.url), item.id, Product());
        box->show();
        return box;
    }

    // Waits until the box shows the target page, behind the loading page.
    static bool ShowsTarget(WebPageBox* box) {
        return WaitFor([box] { return box->View()->url().path() == QStringLiteral("/guide.htm"); });
    }

    // Whether the box's picture shows the target page's background near the view's corner.
    static bool PaintsTargetPage(WebPageBox* box) {
        const QPoint corner = box->View()->geometry().bottomRight() - QPoint(8, 8);
        return box->grab().toImage().pixelColor(corner) == QColor(0xf4, 0xf8, 0xfc);
    }

    ~WebBoxTest() override {
        // Boxes closed by a test go away before the next one starts.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    PageServer server_;
};

TEST_F(WebBoxTest, SmallBoxOpensThePageThroughTheLoadingPage) {
    QPointer<SmallWebPageBox> box = Show<SmallWebPageBox>(Item(301, catalog::kTypeSmallWebBox),
                                                          QStringLiteral("仙境传说： 新手攻略"));
    ASSERT_FALSE(box.isNull());
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->size(), QSize(575, 438));
    EXPECT_EQ(box->View()->geometry(), QRect(2, 30, 570, 400));
    EXPECT_EQ(box->TitleLabel()->text(), QStringLiteral("仙境传说： 新手攻略"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("仙境传说： 新手攻略"));
    EXPECT_FALSE(box->mask().isEmpty());

    const std::string query =
        "/load/LoadingPage.htm?q=127.0.0.1:" + std::to_string(server_.Port()) + "/guide.htm";
    EXPECT_EQ(box->PageUrl().toString(), Product() + QString::fromStdString(query));
    ASSERT_TRUE(ShowsTarget(box));
    const std::vector<std::string> requests = server_.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0], query);
    EXPECT_EQ(requests[1], "/guide.htm");
    // The page is painted, not only loaded: its background shows inside the box.
    ASSERT_TRUE(WaitFor([&] { return PaintsTargetPage(box); }));
    dialogtest::SaveScreenshot(box, QStringLiteral("webbox"));
    box->close();
}

TEST_F(WebBoxTest, BigBoxLayout) {
    QPointer<LargeWebPageBox> box =
        Show<LargeWebPageBox>(Item(302, catalog::kTypeLargeWebBox), QStringLiteral("新手攻略"));
    ASSERT_FALSE(box.isNull());
    EXPECT_EQ(box->size(), QSize(1017, 730));
    EXPECT_EQ(box->View()->geometry(), QRect(2, 30, 1012, 693));
    EXPECT_EQ(box->MinimiseButton()->pos(), QPoint(970, 8));
    EXPECT_EQ(box->CloseButton()->pos(), QPoint(990, 8));
    EXPECT_EQ(box->TitleLabel()->palette().color(QPalette::WindowText), QColor(250, 250, 250));
    ASSERT_TRUE(ShowsTarget(box));
    box->close();
}

TEST_F(WebBoxTest, EveryWayOfClosingTellsOnceAndDeletesTheBox) {
    const struct {
        const char* name;
        std::function<void(WebPageBox*)> close;
    } ways[] = {
        {"close button",
         [](WebPageBox* box) {
             QTest::mouseClick(box->CloseButton(), Qt::LeftButton, {}, QPoint(9, 9));
         }},
        {"Escape", [](WebPageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }},
        {"window system", [](WebPageBox* box) { box->close(); }},
    };
    const catalog::ToolRecord item = Item(303, catalog::kTypeSmallWebBox);
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        QPointer<SmallWebPageBox> box = Show<SmallWebPageBox>(item, "a");
        QSignalSpy closed(box.data(), &WebPageBox::webBoxClosed);
        way.close(box);
        ASSERT_TRUE(WaitFor([&] { return box.isNull(); }));
        ASSERT_EQ(closed.count(), 1);
        EXPECT_EQ(closed[0][0].toUInt(), 303u);
    }
}

TEST_F(WebBoxTest, EscapeClosesTheBoxWhileThePageHasTheKeyboard) {
    // A page that keeps every key for itself, as games' pages and players do, and says in its
    // title which key it had last.
    server_.Put("/keys.htm",
                "<html><body><input autofocus><script>document.addEventListener('keydown', e => "
                "{ e.preventDefault(); document.title = 'got ' + e.key; }, true);</script>"
                "</body></html>");
    catalog::ToolRecord item = Item(308, catalog::kTypeSmallWebBox);
    item.url = server_.Url("/keys.htm");
    const struct {
        const char* name;
        std::function<WebPageBox*()> open;
    } boxes[] = {
        {"small", [&] { return Show<SmallWebPageBox>(item, "a").data(); }},
        {"large", [&] { return Show<LargeWebPageBox>(item, "a").data(); }},
    };
    for (const auto& kind : boxes) {
        SCOPED_TRACE(kind.name);
        QPointer<WebPageBox> box = kind.open();
        ASSERT_FALSE(box.isNull());
        box->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        ASSERT_TRUE(WaitFor([&] { return box->View()->url().path() == "/keys.htm"; }));
        ASSERT_TRUE(WaitFor([&] { return box->View()->focusProxy() != nullptr; }));
        QWidget* page = box->View()->focusProxy();
        page->setFocus();
        // Keys reach the page only once it is ready for them.
        ASSERT_TRUE(WaitFor([&] {
            QTest::keyClick(page, Qt::Key_A);
            return box->View()->title().startsWith(QStringLiteral("got "));
        }));
        QTest::keyClick(page, Qt::Key_Escape);
        ASSERT_TRUE(WaitFor([&] { return box.isNull(); }));
    }
}

TEST_F(WebBoxTest, APageThatCannotBeLoadedIsExplainedInChinese) {
    // A port nobody listens on any more: the connection is refused.
    QTcpServer gone;
    ASSERT_TRUE(gone.listen(QHostAddress::LocalHost));
    const QString product = QStringLiteral("http://127.0.0.1:%1").arg(gone.serverPort());
    gone.close();
    auto* box =
        new SmallWebPageBox("a", QString::fromStdString(server_.Url("/guide.htm")), 309, product);
    box->show();
    // The page answers later, possibly only when it goes: the text outlives the test.
    auto text = std::make_shared<QString>();
    ASSERT_TRUE(WaitFor([&] {
        box->View()->page()->toPlainText([text](const QString& shown) { *text = shown; });
        return text->contains(QStringLiteral("无法访问此网站"));
    })) << text->toStdString();
    box->close();
}

TEST_F(WebBoxTest, BoxesOpenCentredOnTheMainWindowAndOnItsScreen) {
    QWidget mainWindow;
    mainWindow.setGeometry(300, 60, 310, 528);
    ui::WindowPlacement::SetMainWindow(&mainWindow);
    const QRect screen = mainWindow.screen()->availableGeometry();
    ASSERT_GE(screen.height(), 600);
    QPointer<SmallWebPageBox> small =
        Show<SmallWebPageBox>(Item(310, catalog::kTypeSmallWebBox), "a");
    QPointer<LargeWebPageBox> large =
        Show<LargeWebPageBox>(Item(311, catalog::kTypeLargeWebBox), "a");
    ui::WindowPlacement::SetMainWindow(nullptr);
    ASSERT_FALSE(small.isNull());
    ASSERT_FALSE(large.isNull());
    EXPECT_LE(std::abs(small->geometry().center().x() - mainWindow.geometry().center().x()), 1);
    EXPECT_LE(std::abs(small->geometry().center().y() - mainWindow.geometry().center().y()), 1);
    EXPECT_TRUE(screen.contains(small->geometry()));
    // Larger than the test's screen: its caption band stays on it.
    EXPECT_EQ(large->pos(), screen.topLeft());
    small->close();
    large->close();
}

TEST_F(WebBoxTest, MinimiseButtonMinimises) {
    QPointer<SmallWebPageBox> box =
        Show<SmallWebPageBox>(Item(304, catalog::kTypeSmallWebBox), "a");
    QSignalSpy closed(box.data(), &WebPageBox::webBoxClosed);
    QTest::mouseClick(box->MinimiseButton(), Qt::LeftButton, {}, QPoint(9, 9));
    EXPECT_TRUE(box->isMinimized());
    EXPECT_EQ(closed.count(), 0);
    box->close();
}

TEST_F(WebBoxTest, LinksThatWantANewWindowGoToTheDefaultBrowser) {
    UrlRecorder browser;
    server_.Put("/links.htm",
                "<html><body style='margin:0'><a target='_blank' href='/guide.htm' "
                "style='display:block;width:300px;height:200px'>x</a></body></html>");
    catalog::ToolRecord item = Item(307, catalog::kTypeSmallWebBox);
    item.url = server_.Url("/links.htm");
    QPointer<SmallWebPageBox> box = Show<SmallWebPageBox>(item, "a");
    // The user clicks the link once its page is there.
    bool linksShown = false;
    QObject::connect(box->View(), &QWebEngineView::loadFinished, [&linksShown, &box](bool ok) {
        linksShown = ok && box->View()->url().path() == QStringLiteral("/links.htm");
    });
    ASSERT_TRUE(WaitFor([&] { return linksShown; }));
    QWidget* input = box->View()->focusProxy();
    ASSERT_NE(input, nullptr);
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(50, 50));
    ASSERT_TRUE(WaitFor([&] { return !browser.urls.empty(); }));
    EXPECT_EQ(browser.urls, std::vector<std::string>{server_.Url("/guide.htm")});
    box->close();
}

}  // namespace
