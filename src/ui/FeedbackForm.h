#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

#include "catalog/ToolRecord.h"
#include "server/ClientConfig.h"

class QCheckBox;
class QPushButton;

namespace ui {

// The feedback form "感谢您的反馈": three reasons to tick and "提交反馈". Run modally with
// exec(); submitting composes the reason text (thanking the user when it is not empty) and
// closes the form. Closing it any other way leaves the reason empty.
class FeedbackForm : public QDialog {
    Q_OBJECT
  public:
    explicit FeedbackForm(QWidget* parent = nullptr);

    // The reasons in their fixed order: "无法运行", "需要更新", "杀软报毒", each after the first
    // one present preceded by a full-width comma; empty when none is ticked.
    static QString ReasonText(bool cannotRun, bool needsUpdate, bool virusAlarm);

    // The reason composed by the last submit of this form; empty before.
    QString Reason() const { return reason_; }

    // Shows the form modally for `tool`; when the user submitted a reason, the feedback report
    // (the tool's GAMEID, 0 for a general tool, its id and the reason) goes to the data
    // server on a worker thread, so the UI never waits for the network. Returns the reason;
    // empty means nothing is sent.
    static QString AskAndSend(const catalog::ToolRecord& tool, const server::ClientConfig& config,
                              QWidget* parent = nullptr);

    // Sends one feedback report on a pooled worker thread. An empty reason sends nothing.
    static void SendInBackground(const server::ClientConfig& config, std::uint32_t gameId,
                                 std::uint32_t itemId, const QString& reason);

    QCheckBox* CannotRunBox() const { return cannotRun_; }
    QCheckBox* NeedsUpdateBox() const { return needsUpdate_; }
    QCheckBox* VirusAlarmBox() const { return virusAlarm_; }
    QPushButton* SubmitButton() const { return submit_; }

  private:
    void Submit();

    QString reason_;
    QCheckBox* cannotRun_;
    QCheckBox* needsUpdate_;
    QCheckBox* virusAlarm_;
    QPushButton* submit_;
};

}  // namespace ui
