#include "ui/SettingsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QMessageBox>
#include <QRadioButton>
#include <algorithm>
#include <iterator>

#include "catalog/AutostartSetting.h"
#include "catalog/UserSettings.h"
#include "ui/FailureText.h"
#include "ui/PngButton.h"
#include "ui/SkinImages.h"
#include "ui/UiFont.h"
#include "ui/WindowPlacement.h"

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

SettingsDialog::SettingsDialog(catalog::UserSettings& settings, QWidget* parent)
    : SkinnedWindow(LoadPngResource(Png::SettingsBackground), Draggable | CutCorners, parent),
      settings_(settings),
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
    SetDefaultButton(ok_);

    WindowPlacement::SizeAndPlace(this, QSize(340, 330));
    Load();
}

void SettingsDialog::Load() {
    autostart_->setChecked(settings_.Autostart());
    autoMin_->setChecked(settings_.AutoMin());
    (settings_.CloseToTray() ? tray_ : exit_)->setChecked(true);
    (settings_.AutoUpdate() ? autoUpdate_ : promptUpdate_)->setChecked(true);
}

bool SettingsDialog::Save() {
    // Every key is written, changed or not; a failure of one does not keep the others from
    // being written. usercfg.dat is the UI thread's to write, and these are four small saves.
    const catalog::Outcome autostart = catalog::ApplyAutostart(settings_, autostart_->isChecked());
    const catalog::Outcome saved[] = {settings_.SetAutoMin(autoMin_->isChecked()),
                                      settings_.SetCloseToTray(tray_->isChecked()),
                                      settings_.SetAutoUpdate(autoUpdate_->isChecked())};
    const auto failed = std::find_if(std::begin(saved), std::end(saved),
                                     [](const catalog::Outcome& outcome) { return !outcome.ok(); });
    // Whatever was not saved is said, and the window stays with the choices, so that nothing
    // looks saved that is not.
    QString problem;
    if (failed != std::end(saved)) {
        problem = WriteFailureText(QStringLiteral("无法保存设置"), failed->ToResult());
    } else if (!autostart.ok()) {
        problem = QStringLiteral("无法设置开机自动运行");
    }
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), problem, QMessageBox::Ok);
        return false;
    }
    close();
    return true;
}

void SettingsDialog::reject() {
    close();
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    // Closing never saves; QDialog's own handling would route through reject() again.
    event->accept();
}

}  // namespace ui
