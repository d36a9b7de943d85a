#include "app/UiPrompt.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace app {
namespace {

const QString kCaption = QStringLiteral("Ravik游戏桌面");

}  // namespace

server::UpdateAnswer UiPrompt::AskUpdate(const std::string& text) {
    QMessageBox box(QMessageBox::Question, kCaption, QString::fromStdString(text),
                    QMessageBox::Ok | QMessageBox::Ignore | QMessageBox::Cancel);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("升级"));
    box.button(QMessageBox::Ignore)->setText(QStringLiteral("跳过此版本"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("以后再说"));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return server::UpdateAnswer::Update;
        case QMessageBox::Ignore:
            return server::UpdateAnswer::SkipRelease;
        default:
            return server::UpdateAnswer::Later;
    }
}

bool UiPrompt::ConfirmRemoval(const std::string& text) {
    return QMessageBox::question(nullptr, kCaption, QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void UiPrompt::Tell(const std::string& text) {
    QMessageBox::information(nullptr, kCaption, QString::fromStdString(text), QMessageBox::Ok);
}

}  // namespace app
