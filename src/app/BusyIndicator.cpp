#include "app/BusyIndicator.h"

#include <QTimer>
#include <QWidget>

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

void BusyIndicator::SetWaiting(bool waiting) {
    waiting_ = waiting;
    UpdateWindow();
}

void BusyIndicator::UpdateWindow() {
    const bool blocked = busy_ || waiting_;
    window_->setEnabled(!blocked);
    if (blocked) {
        window_->setCursor(Qt::WaitCursor);
    } else {
        window_->unsetCursor();
    }
}

void BusyIndicator::SyncBox() {
    if (busyBoxWanted_) {
        // One box at a time: a second request while it is up keeps the one on screen.
        if (!box_) {
            box_ = new ui::BusyBox(programDirectory_);
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
