#include "ui/SettingsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>

#include "catalog/LauncherConfig.h"
#include "catalog/UserSettings.h"
#include "platform/Autostart.h"
#include "ui/PngButton.h"
#include "ui/SkinImages.h"
#include "ui/UiFont.h"

namespace ui {
namespace {

// Check boxes and radio buttons sit on the background image with black text.
template <typename Button>
Button* AddChoice(QWidget* parent, const QString& text, QPoint at) {
    auto* button = new Button(text, parent);
    button->setFont(UiFont(12));
    QPalette palette = button->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    button->setPalette(palette);
    button->move(at);
    button->adjustSize();
    return button;
}

}  // namespace

SettingsDialog::SettingsDialog(std::string programDir, QWidget* parent)
    : SkinnedWindow(LoadPngResource(Png::SettingsBackground), Draggable | CutCorners, parent),
      programDir_(std::move(programDir)),
      autostart_(AddChoice<QCheckBox>(this, QStringLiteral("开机自动运行"), {82, 80})),
      autoMin_(AddChoice<QCheckBox>(this, QStringLiteral("运行工具时自动最小化"), {82, 108})),
      tray_(AddChoice<QRadioButton>(this, QStringLiteral("隐藏到托盘"), {82, 162})),
      exit_(AddChoice<QRadioButton>(this, QStringLiteral("退出程序"), {178, 162})),
      autoUpdate_(AddChoice<QRadioButton>(this, QStringLiteral("自动更新"), {82, 218})),
      promptUpdate_(AddChoice<QRadioButton>(this, QStringLiteral("提示更新"), {178, 218})),
      ok_(new PngButton(this)),
      cancel_(new PngButton(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(AppIcon());
    setWindowTitle(QStringLiteral("个人设置"));

    auto* closing = new QButtonGroup(this);
    closing->addButton(tray_);
    closing->addButton(exit_);
    auto* updates = new QButtonGroup(this);
    updates->addButton(autoUpdate_);
    updates->addButton(promptUpdate_);

    ok_->move(80, 264);
    ok_->SetImage(LoadPngResource(Png::OkButton));
    ok_->setToolTip(QStringLiteral("确定"));
    cancel_->move(211, 264);
    cancel_->SetImage(LoadPngResource(Png::CancelButton));
    cancel_->setToolTip(QStringLiteral("取消"));
    connect(ok_, &PngButton::clicked, this, &SettingsDialog::Save);
    connect(cancel_, &PngButton::clicked, this, &SettingsDialog::close);

    QScreen* screen = QGuiApplication::primaryScreen();
    setGeometry(QRect(screen != nullptr ? screen->availableGeometry().topLeft() : QPoint(0, 0),
                      QSize(340, 330)));
    Load();
}

void SettingsDialog::Load() {
    const catalog::UserSettings settings(programDir_);
    autostart_->setChecked(settings.Autostart() == "1");
    autoMin_->setChecked(settings.AutoMinForDialog() == "1");
    (settings.ExitForDialog() == "1" ? tray_ : exit_)->setChecked(true);
    (settings.AutoUpdate() == "1" ? autoUpdate_ : promptUpdate_)->setChecked(true);
}

void SettingsDialog::Save() {
    // Every key is written, changed or not. The autostart entry and the file are separate
    // stores; a failure of one does not keep the other from being written.
    catalog::UserSettings settings(programDir_);
    if (autostart_->isChecked()) {
        platform::SetAutostart(catalog::LauncherProgramFile(programDir_));
    } else {
        platform::RemoveAutostart();
    }
    settings.SetAutostart(autostart_->isChecked());
    settings.SetAutoMin(autoMin_->isChecked());
    settings.SetExit(tray_->isChecked());
    settings.SetAutoUpdate(autoUpdate_->isChecked());
    close();
}

void SettingsDialog::reject() {
    close();
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    // Closing never saves; QDialog's own handling would route through reject() again.
    event->accept();
}

}  // namespace ui
