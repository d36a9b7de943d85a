#include "app/UiPrompt.h"

#include <QMessageBox>

namespace app {
namespace {

const QString kCaption = QStringLiteral("Ravik游戏桌面");

}  // namespace

bool UiPrompt::Confirm(const std::string& text) {
    return QMessageBox::question(nullptr, kCaption, QString::fromStdString(text),
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

void UiPrompt::Tell(const std::string& text) {
    QMessageBox::information(nullptr, kCaption, QString::fromStdString(text), QMessageBox::Ok);
}

}  // namespace app
