#include "app/UiPrompt.h"

#include <QMessageBox>
#include <QThread>
#include <memory>

namespace app {
namespace {

const QString kCaption = QStringLiteral("Ravik游戏桌面");

}  // namespace

UiPrompt::UiPrompt(QObject* parent) : QObject(parent) {}

UiPrompt::~UiPrompt() {
    Shutdown();
}

void UiPrompt::Shutdown() {
    {
        std::lock_guard lock(mutex_);
        shutDown_ = true;
    }
    answered_.notify_all();
}

bool UiPrompt::AskOnUiThread(std::function<bool()> ask) {
    if (QThread::currentThread() == thread()) {
        return ask();
    }
    struct Answer {
        bool given = false;
        bool value = false;
    };
    auto answer = std::make_shared<Answer>();
    {
        std::lock_guard lock(mutex_);
        if (shutDown_) {
            return false;
        }
    }
    QMetaObject::invokeMethod(
        this,
        [this, answer, ask = std::move(ask)] {
            // A question still queued when the program began to end is not put any more:
            // its worker already has its "Cancel".
            {
                std::lock_guard lock(mutex_);
                if (shutDown_) {
                    return;
                }
            }
            const bool value = ask();
            {
                std::lock_guard lock(mutex_);
                answer->value = value;
                answer->given = true;
            }
            answered_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    answered_.wait(lock, [&] { return answer->given || shutDown_; });
    return answer->given && answer->value;
}

bool UiPrompt::Confirm(const std::string& text) {
    const QString message = QString::fromStdString(text);
    return AskOnUiThread([message] {
        return QMessageBox::question(nullptr, kCaption, message,
                                     QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
    });
}

void UiPrompt::Tell(const std::string& text) {
    const QString message = QString::fromStdString(text);
    AskOnUiThread([message] {
        QMessageBox::information(nullptr, kCaption, message, QMessageBox::Ok);
        return true;
    });
}

}  // namespace app
