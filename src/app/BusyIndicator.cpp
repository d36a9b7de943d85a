#include "app/BusyIndicator.h"

#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "ui/BusyBox.h"

namespace app {
namespace {

constexpr int kLongestWaitForBoxMs = 2000;

}  // namespace

BusyIndicator::BusyIndicator(QWidget* window, QString programDirectory)
    : QObject(window), window_(window), programDirectory_(std::move(programDirectory)) {}

BusyIndicator::~BusyIndicator() {
    delete box_;
}

void BusyIndicator::Begin(bool busyBox) {
    busy_ = true;
    endWhenPainted_ = false;
    UpdateWindow();
    if (busyBox && !busyBoxWanted_) {
        busyBoxWanted_ = true;
        QMetaObject::invokeMethod(this, &BusyIndicator::SyncBox, Qt::QueuedConnection);
    }
}

void BusyIndicator::End() {
    if (busyBoxWanted_ && (!box_ || !box_->Painted())) {
        endWhenPainted_ = true;
        // Should the box never be painted (a display that does not map it), the window must
        // not stay without input.
        QTimer::singleShot(kLongestWaitForBoxMs, this, [this] {
            if (endWhenPainted_) {
                Finish();
            }
        });
        return;
    }
    Finish();
}

void BusyIndicator::Finish() {
    const bool hadBox = busyBoxWanted_;
    busy_ = false;
    busyBoxWanted_ = false;
    endWhenPainted_ = false;
    UpdateWindow();
    if (hadBox || box_) {
        QMetaObject::invokeMethod(this, &BusyIndicator::SyncBox, Qt::QueuedConnection);
    }
}

QString BusyIndicator::UpdateFetchText(int perMille) {
    if (perMille < 0) {
        return QStringLiteral("正在下载新版本，请稍等");
    }
    return QStringLiteral("正在下载新版本 %1%").arg(std::min(perMille, 1000) / 10);
}

void BusyIndicator::ShowUpdateFetch(int perMille) {
    const bool started = !FetchingUpdate();
    fetchText_ = UpdateFetchText(perMille);
    if (box_) {
        box_->SetText(BoxText());
    }
    if (started) {
        UpdateWindow();
        QMetaObject::invokeMethod(this, &BusyIndicator::SyncBox, Qt::QueuedConnection);
    }
}

void BusyIndicator::EndUpdateFetch() {
    if (!FetchingUpdate()) {
        return;
    }
    fetchText_.clear();
    UpdateWindow();
    if (box_) {
        box_->SetText(BoxText());
    }
    QMetaObject::invokeMethod(this, &BusyIndicator::SyncBox, Qt::QueuedConnection);
}

void BusyIndicator::SetWaiting(bool waiting) {
    waiting_ = waiting;
    UpdateWindow();
}

void BusyIndicator::UpdateWindow() {
    const bool blocked = busy_ || waiting_ || FetchingUpdate();
    window_->setEnabled(!blocked);
    if (blocked) {
        window_->setCursor(Qt::WaitCursor);
    } else {
        window_->unsetCursor();
    }
}

void BusyIndicator::SyncBox() {
    if (BoxWanted()) {
        // One box at a time: a second request while it is up keeps the one on screen.
        if (!box_) {
            box_ = new ui::BusyBox(programDirectory_);
            box_->SetText(BoxText());
            box_->setAttribute(Qt::WA_DeleteOnClose);
            connect(box_, &ui::BusyBox::firstPainted, this, [this] {
                if (endWhenPainted_) {
                    Finish();
                }
            });
            box_->show();
            emit boxShown();
        }
    } else if (box_) {
        box_->close();
        delete box_;
    }
}

}  // namespace app
