#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

#include "DialogTestSupport.h"
#include "app/JobRunner.h"
#include "server/Frame.h"
#include "ui/FeedbackForm.h"

namespace {

using dialogtest::MessageBoxAnswerer;
using dialogtest::WaitFor;
using ui::FeedbackForm;

TEST(FeedbackReasonTest, ReasonsInOrderWithFullWidthCommas) {
    const struct {
        bool cannotRun, needsUpdate, virusAlarm;
        const char* text;
    } cases[] = {
        {false, false, false, ""},
        {true, false, false, "无法运行"},
        {false, true, false, "需要更新"},
        {false, false, true, "杀软报毒"},
        {true, true, false, "无法运行，需要更新"},
        {true, false, true, "无法运行，杀软报毒"},
        {false, true, true, "需要更新，杀软报毒"},
        {true, true, true, "无法运行，需要更新，杀软报毒"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FeedbackForm::ReasonText(c.cannotRun, c.needsUpdate, c.virusAlarm),
                  QString::fromUtf8(c.text));
    }
    // The comma is U+FF0C, not an ASCII comma.
    EXPECT_EQ(FeedbackForm::ReasonText(true, true, false).at(4), QChar(0xFF0C));
}

// Ticks the given boxes of the form that is about to run modally, then submits it or
// closes it without submitting. A form still open after submitting (nothing was ticked) is
// then closed, as by a user who gives up.
void FillInWhenShown(std::vector<bool> ticks, bool submit, bool screenshot = false) {
    QTimer::singleShot(0, [ticks, submit, screenshot] {
        auto* form = qobject_cast<FeedbackForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        QCheckBox* boxes[] = {form->CannotRunBox(), form->NeedsUpdateBox(), form->VirusAlarmBox()};
        for (int i = 0; i < 3; ++i) {
            boxes[i]->setChecked(ticks[i]);
        }
        if (screenshot) {
            dialogtest::SaveScreenshot(form, QStringLiteral("feedback"));
        }
        if (submit) {
            form->SubmitButton()->click();
        }
        if (form->isVisible()) {
            form->close();
        }
    });
}

TEST(FeedbackFormTest, SubmitClosesOnlyWithAReasonAndOtherwiseSaysWhatIsMissing) {
    const struct {
        const char* name;
        std::vector<bool> ticks;
        bool submit;
        bool staysOpen;
        const char* hint;
        const char* reason;
    } cases[] = {
        {"two reasons", {false, true, true}, true, false, "", "需要更新，杀软报毒"},
        {"nothing ticked", {false, false, false}, true, true, "请至少选择一项反馈内容", ""},
        {"closed without submitting", {true, true, true}, false, false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The form thanks nobody: nothing has been sent while it is open.
        MessageBoxAnswerer boxes(QMessageBox::Ok);
        FeedbackForm form;
        EXPECT_EQ(form.windowTitle(), QStringLiteral("意见反馈"));
        form.show();
        QCheckBox* ticks[] = {form.CannotRunBox(), form.NeedsUpdateBox(), form.VirusAlarmBox()};
        for (int i = 0; i < 3; ++i) {
            ticks[i]->setChecked(c.ticks[i]);
        }
        if (c.submit) {
            QTest::mouseClick(form.SubmitButton(), Qt::LeftButton);
        } else {
            form.close();
        }
        EXPECT_EQ(form.isVisible(), c.staysOpen);
        EXPECT_EQ(form.HintLabel()->text(), QString::fromUtf8(c.hint));
        EXPECT_EQ(form.Reason(), QString::fromUtf8(c.reason));
        EXPECT_TRUE(boxes.SeenBoxes().empty());
    }
}

TEST(FeedbackFormTest, TheUserIsThankedAfterTheReportWasHandedOver) {
    MessageBoxAnswerer boxes(QMessageBox::Ok);
    std::vector<std::size_t> boxesBeforeSending;
    const FeedbackForm::JobStarter start = [&](std::unique_ptr<job::Job>, std::string) {
        boxesBeforeSending.push_back(boxes.SeenBoxes().size());
    };
    catalog::ToolRecord tool;
    tool.id = 77;
    FillInWhenShown({true, false, false}, true);
    EXPECT_EQ(FeedbackForm::AskAndSend(tool, server::ClientConfig(), start),
              QStringLiteral("无法运行"));
    EXPECT_EQ(boxesBeforeSending, std::vector<std::size_t>{0});
    ASSERT_EQ(boxes.SeenBoxes().size(), 1u);
    EXPECT_EQ(boxes.SeenBoxes()[0].text, QStringLiteral("感谢您的反馈，我们将及时更新数据"));
    EXPECT_EQ(boxes.SeenBoxes()[0].buttons, QMessageBox::Ok);
}

// A stand-in for the data server on the UI thread: it collects what each connection sends
// and answers only when told to.
class FeedbackListener {
  public:
    FeedbackListener() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                sockets_.push_back(socket);
                received_.emplace_back();
                const std::size_t index = received_.size() - 1;
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket, index] {
                    received_[index] += socket->readAll().toStdString();
                });
            }
        });
    }
    server::ClientConfig Config() const {
        server::ClientConfig config;
        config.host = "127.0.0.1";
        config.port = server_.serverPort();
        return config;
    }
    // The frames received so far, decoded; a frame counts once its end mark is in.
    std::vector<std::string> Frames() const {
        std::vector<std::string> frames;
        for (const std::string& bytes : received_) {
            if (bytes.find(server::kEndMark) != std::string::npos) {
                frames.push_back(server::DecodeReply(bytes));
            }
        }
        return frames;
    }
    // How many connections the server has taken. It takes them in the order they came.
    std::size_t Connections() const { return sockets_.size(); }
    bool AllConnected() const {
        for (const QTcpSocket* socket : sockets_) {
            if (socket->state() != QAbstractSocket::ConnectedState) {
                return false;
            }
        }
        return true;
    }
    void AnswerAll() {
        for (QTcpSocket* socket : sockets_) {
            socket->write("ok", 3);
            socket->disconnectFromHost();
        }
    }

  private:
    QTcpServer server_;
    std::vector<QTcpSocket*> sockets_;
    std::vector<std::string> received_;
};

TEST(FeedbackFormTest, SubmittedReasonReachesTheServerOffTheUiThread) {
    FeedbackListener listener;
    MessageBoxAnswerer boxes(QMessageBox::Ok);
    catalog::ToolRecord tool;
    tool.id = 1234511;
    tool.gameId = 12345;

    FillInWhenShown({true, true, true}, true, true);
    app::JobRunner jobs;
    const QString reason = FeedbackForm::AskAndSend(tool, listener.Config(), jobs.Starter());
    EXPECT_EQ(reason, QStringLiteral("无法运行，需要更新，杀软报毒"));

    // The frame arrives while the sender still waits for the answer, which the UI thread has
    // not given yet: the sending runs on another thread.
    ASSERT_TRUE(WaitFor([&] { return listener.Frames().size() == 1; }));
    EXPECT_TRUE(listener.AllConnected());
    const std::string frame = listener.Frames()[0];
    const std::vector<std::string> fields = server::SplitFields(frame, server::kFieldSeparator);
    ASSERT_EQ(fields.size(), 9u) << frame;
    EXPECT_EQ(fields[0], "^4");
    EXPECT_EQ(fields[5], "12345");
    EXPECT_EQ(fields[6], "1234511");
    EXPECT_EQ(fields[7], "无法运行，需要更新，杀软报毒");
    EXPECT_EQ(fields[8], "~");
    listener.AnswerAll();
}

TEST(FeedbackFormTest, NothingIsSentWithoutAReason) {
    FeedbackListener listener;
    app::JobRunner jobs;
    catalog::ToolRecord tool;
    tool.id = 77;
    for (bool submit : {true, false}) {
        FillInWhenShown({!submit, !submit, false}, submit);
        EXPECT_TRUE(FeedbackForm::AskAndSend(tool, listener.Config(), jobs.Starter()).isEmpty());
    }
    // Reports are jobs on the runner. Once it has nothing left running, a report those two
    // had sent would have connected already (and given up waiting for an answer).
    ASSERT_TRUE(WaitFor([&] { return jobs.Running() == 0; }, 120000));
    // A last report with a reason shows that the server was there. Its connection came last,
    // so once it is in, any earlier one would be in too: there must be none.
    MessageBoxAnswerer boxes(QMessageBox::Ok);
    FillInWhenShown({false, false, true}, true);
    FeedbackForm::AskAndSend(tool, listener.Config(), jobs.Starter());
    ASSERT_TRUE(WaitFor([&] {
        for (const std::string& frame : listener.Frames()) {
            if (frame.find("杀软报毒") != std::string::npos) {
                return true;
            }
        }
        return false;
    }));
    EXPECT_EQ(listener.Connections(), 1u);
    EXPECT_EQ(listener.Frames().size(), 1u);
    listener.AnswerAll();
}

}  // namespace
