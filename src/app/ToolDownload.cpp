#include "app/ToolDownload.h"

#include <QPointer>

#include "app/JobRunner.h"
#include "install/DownloadInstallJob.h"
#include "ui/DownloadDialog.h"

namespace app {

ui::DownloadDialog* DownloadTool(JobRunner& jobs, const std::string& programDir,
                                 const catalog::ToolRecord& tool, QWidget* parent) {
    auto* dialog = new ui::DownloadDialog(parent);
    auto job = std::make_unique<install::DownloadInstallJob>(programDir, tool);
    const QString titleLine = QString::fromStdString(job->TitleLine());
    dialog->show();
    QPointer<RunningJob> running = jobs.Start(std::move(job), "installing " + tool.title);
    if (running.isNull()) {
        dialog->deleteLater();
        return dialog;
    }
    dialog->Begin(titleLine);
    running->OnProgress<install::DownloadCounters>(
        dialog, [dialog](const auto& counters) { dialog->ShowCounters(counters); });
    running->On<install::ToolInstalled>(
        dialog, [dialog](const auto& event) { dialog->AnnounceInstalled(event.tool); });
    running->On<install::ProgramStart>(
        dialog, [dialog](const auto& event) { dialog->ShowProgramStart(event.started); });
    QObject::connect(running, &RunningJob::finished, dialog, &ui::DownloadDialog::Finish);
    QObject::connect(dialog, &ui::DownloadDialog::cancelRequested, running, &RunningJob::Cancel);
    QObject::connect(dialog, &QObject::destroyed, running, &RunningJob::Cancel);
    return dialog;
}

}  // namespace app
