#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "catalog/ToolRecord.h"
#include "job/Job.h"
#include "server/ClientConfig.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace ui {

// The feedback form "意见反馈": three reasons to tick and "提交反馈". Run modally with
// exec(); submitting with a reason ticked composes the reason text and closes the form;
// submitting with none ticked keeps the form open and says what is missing. Closing it any
// other way leaves the reason empty.
class FeedbackForm : public QDialog {
    Q_OBJECT
  public:
    explicit FeedbackForm(QWidget* parent = nullptr);

    // The reasons in their fixed order: "无法运行", "需要更新", "杀软报毒", each after the first
    // one present preceded by a full-width comma; empty when none is ticked.
    static QString ReasonText(bool cannotRun, bool needsUpdate, bool virusAlarm);

    // The reason composed by the last submit of this form; empty before.
    QString Reason() const { return reason_; }

    // Whoever runs jobs off the UI thread (app::JobRunner::Starter); the name is for the log.
    using JobStarter = std::function<void(std::unique_ptr<job::Job> job, std::string name)>;

    // Shows the form modally for `tool`; when the user submitted a reason, the feedback report
    // (the tool's GAMEID, 0 for a general tool, its id and the reason) is handed to `start`
    // as a job, so the UI never waits for the network, and then the user is thanked. Returns
    // the reason; empty means nothing is sent.
    static QString AskAndSend(const catalog::ToolRecord& tool, const server::ClientConfig& config,
                              const JobStarter& start, QWidget* parent = nullptr);

    QCheckBox* CannotRunBox() const { return cannotRun_; }
    QCheckBox* NeedsUpdateBox() const { return needsUpdate_; }
    QCheckBox* VirusAlarmBox() const { return virusAlarm_; }
    QPushButton* SubmitButton() const { return submit_; }
    // Empty until the user submits with nothing ticked; then it asks for a reason.
    QLabel* HintLabel() const { return hint_; }

  private:
    void Submit();

    QString reason_;
    QCheckBox* cannotRun_;
    QCheckBox* needsUpdate_;
    QCheckBox* virusAlarm_;
    QLabel* hint_;
    QPushButton* submit_;
};

}  // namespace ui
