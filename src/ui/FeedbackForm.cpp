#include "ui/FeedbackForm.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "server/ReportJob.h"
#include "ui/SkinImages.h"
#include "ui/UiFont.h"
#include "ui/WindowPlacement.h"

namespace ui {
namespace {

const QSize kSize(280, 172);

}  // namespace

FeedbackForm::FeedbackForm(QWidget* parent)
    : QDialog(parent),
      cannotRun_(new QCheckBox(QStringLiteral("工具无法运行"), this)),
      needsUpdate_(new QCheckBox(QStringLiteral("工具需要更新"), this)),
      virusAlarm_(new QCheckBox(QStringLiteral("杀毒软件报毒"), this)),
      hint_(new QLabel(this)),
      submit_(new QPushButton(QStringLiteral("提交反馈"), this)) {
    setWindowTitle(QStringLiteral("意见反馈"));
    setWindowIcon(AppIcon());
    setFont(UiFont(12));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* reasons = new QVBoxLayout;
    reasons->setSpacing(8);
    reasons->addWidget(cannotRun_);
    reasons->addWidget(needsUpdate_);
    reasons->addWidget(virusAlarm_);
    QPalette palette = hint_->palette();
    palette.setColor(QPalette::WindowText, QColor(190, 30, 30));
    hint_->setPalette(palette);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(submit_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(36, 18, 18, 14);
    layout->addLayout(reasons);
    layout->addSpacing(4);
    layout->addWidget(hint_);
    layout->addStretch();
    layout->addLayout(row);
    setFixedSize(kSize);
    WindowPlacement::SizeAndPlace(this, kSize);

    submit_->setDefault(true);
    connect(submit_, &QPushButton::clicked, this, &FeedbackForm::Submit);
}

QString FeedbackForm::ReasonText(bool cannotRun, bool needsUpdate, bool virusAlarm) {
    QString text;
    auto add = [&text](const QString& reason) {
        if (!text.isEmpty()) {
            text += QStringLiteral("，");
        }
        text += reason;
    };
    if (cannotRun) {
        add(QStringLiteral("无法运行"));
    }
    if (needsUpdate) {
        add(QStringLiteral("需要更新"));
    }
    if (virusAlarm) {
        add(QStringLiteral("杀软报毒"));
    }
    return text;
}

void FeedbackForm::Submit() {
    reason_ =
        ReasonText(cannotRun_->isChecked(), needsUpdate_->isChecked(), virusAlarm_->isChecked());
    if (reason_.isEmpty()) {
        hint_->setText(QStringLiteral("请至少选择一项反馈内容"));
        return;
    }
    accept();
}

QString FeedbackForm::AskAndSend(const catalog::ToolRecord& tool,
                                 const server::ClientConfig& config, const JobStarter& start,
                                 QWidget* parent) {
    FeedbackForm form(parent);
    form.exec();
    const QString reason = form.Reason();
    if (!reason.isEmpty()) {
        start(server::ReportJob::Feedback(config, tool.gameId, tool.id, reason.toStdString()),
              "the feedback report");
        QMessageBox::information(parent, QGuiApplication::applicationDisplayName(),
                                 QStringLiteral("感谢您的反馈，我们将及时更新数据"));
    }
    return reason;
}

}  // namespace ui
