#include "ui/WebPageBoxHost.h"

#include <QCoreApplication>
#include <QProcess>
#include <algorithm>

#include "job/Log.h"
#include "platform/Shell.h"
#include "ui/WebAddress.h"
#include "ui/WebBoxRegister.h"
#include "ui/WebPageBoxMessage.h"
#include "ui/WindowPlacement.h"

namespace ui {

WebPageBoxHost& WebPageBoxHost::Process() {
    static QPointer<WebPageBoxHost> host;
    if (host.isNull()) {
        host = new WebPageBoxHost(QCoreApplication::instance());
    }
    return *host;
}

WebPageBoxHost::WebPageBoxHost(QObject* parent)
    : QObject(parent),
      program_(QCoreApplication::applicationDirPath() + QStringLiteral("/ravik-webbox")) {
    // The boxes go with the launcher: at the end of its input the helper closes them and ends.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (!helper_.isNull()) {
            helper_->closeWriteChannel();
            helper_->waitForFinished(5000);
        }
    });
}

void WebPageBoxHost::Open(WebPageSize size, std::uint32_t itemId, const QString& title,
                          const QString& target, const QString& productUrl, WebBoxRegister* reg) {
    Box box;
    box.key = ++lastKey_;
    box.size = size;
    box.itemId = itemId;
    box.title = title;
    box.target = target;
    box.productUrl = productUrl;
    box.reg = reg;
    boxes_.push_back(box);

    WebPageBoxMessage message;
    message.kind = WebPageBoxMessage::Kind::Open;
    message.key = box.key;
    message.size = size;
    message.itemId = itemId;
    message.title = title;
    message.target = target;
    message.productUrl = productUrl;
    message.anchor = WindowPlacement::MainWindowFrame();
    if (helper_.isNull()) {
        StartHelper();
    }
    // A helper that could not start has already sent the page to the browser. Until the
    // helper runs, the line waits in the process's buffer.
    if (!helper_.isNull()) {
        helper_->write(message.ToLine());
    }
}

void WebPageBoxHost::Close(std::uint32_t key) {
    if (helper_.isNull()) {
        return;
    }
    WebPageBoxMessage message;
    message.kind = WebPageBoxMessage::Kind::Close;
    message.key = key;
    helper_->write(message.ToLine());
}

qint64 WebPageBoxHost::HelperProcessId() const {
    return helper_.isNull() ? 0 : helper_->processId();
}

void WebPageBoxHost::StartHelper() {
    auto* helper = new QProcess(this);
    // The web engine's own messages go where the launcher's go.
    helper->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(helper, &QProcess::readyReadStandardOutput, this, [this, helper] { Read(helper); });
    connect(helper, &QProcess::finished, this,
            [this, helper](int status, QProcess::ExitStatus exit) {
                if (helper == helper_ && !boxes_.empty()) {
                    job::Log::Write(
                        job::Log::Level::Warning,
                        exit == QProcess::CrashExit
                            ? "the web box helper crashed"
                            : "the web box helper ended with status " + std::to_string(status));
                }
                HelperGone(helper, false);
                helper->deleteLater();
            });
    connect(helper, &QProcess::errorOccurred, this, [this, helper](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) {
            return;
        }
        job::Log::Write(job::Log::Level::Warning, "cannot start the web box helper " +
                                                      program_.toStdString() + " (" +
                                                      helper->errorString().toStdString() +
                                                      "); web pages open in the default browser");
        HelperGone(helper, true);
        helper->deleteLater();
    });
    helper_ = helper;
    helper->start(program_, {});
}

void WebPageBoxHost::Read(QProcess* helper) {
    while (helper->canReadLine()) {
        const WebPageBoxMessage message = WebPageBoxMessage::FromLine(helper->readLine());
        if (helper == helper_) {
            Handle(message);
        }
    }
}

void WebPageBoxHost::Handle(const WebPageBoxMessage& message) {
    auto box = std::find_if(boxes_.begin(), boxes_.end(),
                            [&message](const Box& open) { return open.key == message.key; });
    if (box == boxes_.end()) {
        return;
    }
    switch (message.kind) {
        case WebPageBoxMessage::Kind::Shown:
            box->frame = message.frame;
            box->page = message.page;
            emit webBoxShown(message.key);
            break;
        case WebPageBoxMessage::Kind::Closed:
            Closed(message.key);
            break;
        case WebPageBoxMessage::Kind::Invalid:
        case WebPageBoxMessage::Kind::Open:
        case WebPageBoxMessage::Kind::Close:
            break;
    }
}

void WebPageBoxHost::Closed(std::uint32_t key) {
    auto box = std::find_if(boxes_.begin(), boxes_.end(),
                            [key](const Box& open) { return open.key == key; });
    if (box == boxes_.end()) {
        return;
    }
    const Box closed = *box;
    boxes_.erase(box);
    if (boxes_.empty() && !helper_.isNull()) {
        // The next box starts a new helper; this one ends with its input.
        helper_->closeWriteChannel();
        helper_ = nullptr;
    }
    if (closed.reg != nullptr) {
        closed.reg->MarkClosed(closed.itemId);
    }
    emit webBoxClosed(closed.itemId, closed.key);
}

void WebPageBoxHost::HelperGone(QProcess* helper, bool inBrowser) {
    if (helper != helper_) {
        return;  // a helper whose boxes had all closed
    }
    helper_ = nullptr;
    const std::vector<Box> gone = std::move(boxes_);
    boxes_.clear();
    for (const Box& box : gone) {
        if (inBrowser) {
            const QString address = LoadingPageBrowserAddress(box.productUrl, box.target);
            if (!address.isEmpty()) {
                platform::OpenUrl(address.toStdString());
            }
        }
        if (box.reg != nullptr) {
            box.reg->MarkClosed(box.itemId);
        }
        emit webBoxClosed(box.itemId, box.key);
    }
}

}  // namespace ui
