#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <string>

#include "catalog/ToolRecord.h"
#include "install/DownloadInstallJob.h"
#include "job/Result.h"
#include "ui/SkinnedWindow.h"

class QLabel;

namespace ui {

class PngButton;

// The download window of one tool: it follows the tool's download-and-install job, shows
// the tool's title, the speed, the share done, the sizes and a progress bar as the job's
// figures arrive, and offers "取消" (a button in its lower right corner, and the × in its
// caption). The speed line is empty while nothing is being transferred. It closes itself and
// goes away when the tool was installed (after trying to start it) or when the user cancels;
// a failed download or install keeps it open with what failed shown until the user cancels.
// Enter and Escape do nothing. Several can be open at once, one per download.
//
// It knows nothing of threads: whoever runs the job (app::DownloadTool) feeds it the job's
// progress, events and end on the UI thread, and stops the job on cancelRequested.
class DownloadDialog : public SkinnedWindow {
    Q_OBJECT
  public:
    // The progress bar, in window coordinates.
    static constexpr QRect kBarRect{25, 70, 308, 23};

    // The window is centred over `parent` (the main window), or on the screen without one.
    explicit DownloadDialog(QWidget* parent = nullptr);

    // The job has started: shows its title line ("正在下载：   " and the tool's title).
    void Begin(const QString& titleLine);
    // The job's latest figures.
    void ShowCounters(const install::DownloadCounters& counters);
    // The tool was installed: the catalogs should record it (toolInstalled).
    void AnnounceInstalled(const catalog::ToolRecord& tool);
    // The program start was attempted; a failure is told in a box of its own.
    void ShowProgramStart(bool started);
    // The job has ended.
    void Finish(const job::Result& result);

    // What the window says about a failed job, by the kind of failure and the step it failed
    // in: a network failure, a bad address, a damaged archive, an archive that may not be
    // installed, or a folder or file that could not be written (with its path and the
    // system's reason).
    static QString FailureText(const job::Result& result, install::DownloadCounters::Phase phase);

    // "速度： %4d KB/S  已完成 %2d ％" with the speed and per-mille / 10.
    static QString SpeedLine(std::uint32_t speedKBps, std::uint32_t perMille);
    // "文件大小：%6d KB，已下载 %6d KB".
    static QString SizeLine(std::uint32_t totalKB, std::uint32_t receivedKB);
    // The bar as drawn: a grey trough, and over the share done (308 x perMille / 1000 pixels
    // from the left, at most the whole bar) two blue gradients, the upper half lighter.
    static QImage ProgressBar(std::uint32_t perMille);

    QLabel* TitleLabel() const { return title_; }
    QLabel* SpeedLabel() const { return speed_; }
    QLabel* SizeLabel() const { return size_; }
    // Empty while all goes well; says what failed otherwise, a long path cut in its middle
    // (the tool tip has the whole text).
    QLabel* StatusLabel() const { return status_; }
    // "取消" and the caption's ×; both cancel.
    PngButton* CancelButton() const { return cancel_; }
    PngButton* CloseButton() const { return close_; }
    // The counters last shown.
    const install::DownloadCounters& Shown() const { return shown_; }
    // True while the figures follow the job: from Begin until the whole file is there or
    // the job has ended.
    bool IsRefreshing() const { return refreshing_; }

  public slots:
    // What "取消" does: asks for the job to stop (cooperatively; what was downloaded stays
    // for the next try) and closes the window, which goes away as soon as the job has ended.
    void CancelDownload();

  signals:
    // The tool's archive was extracted completely: the catalogs should record it installed.
    void toolInstalled(const catalog::ToolRecord& tool);
    // The user cancelled: stop the job.
    void cancelRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Leave();
    // `text` as the status line can show it, with `path` in it shortened where needed.
    QString Fitted(const QString& text, const QString& path) const;

    install::DownloadCounters shown_;
    install::DownloadCounters::Phase phase_ = install::DownloadCounters::Phase::Waiting;
    bool begun_ = false;
    bool refreshing_ = false;
    bool finished_ = false;
    bool leaving_ = false;
    QLabel* title_;
    QLabel* speed_;
    QLabel* size_;
    QLabel* status_;
    PngButton* close_;
    PngButton* cancel_;
};

}  // namespace ui
