#include "ui/QtUserPrompt.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QThread>

namespace ui {

QtUserPrompt::QtUserPrompt(QWidget* window, QObject* parent) : QObject(parent), window_(window) {}

bool QtUserPrompt::Confirm(const std::string& text) {
    return Ask(QString::fromStdString(text), true);
}

void QtUserPrompt::Tell(const std::string& text) {
    Ask(QString::fromStdString(text), false);
}

bool QtUserPrompt::Ask(const QString& text, bool withCancel) {
    if (QThread::currentThread() != thread()) {
        bool answer = false;
        QMetaObject::invokeMethod(
            this, [this, text, withCancel] { return Ask(text, withCancel); },
            Qt::BlockingQueuedConnection, &answer);
        return answer;
    }
    const QMessageBox::StandardButtons buttons =
        withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
    QMessageBox box(withCancel ? QMessageBox::Question : QMessageBox::Information,
                    QGuiApplication::applicationDisplayName(), text, buttons, window_.data());
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace ui
