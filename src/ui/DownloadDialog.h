#pragma once

#include <QBasicTimer>
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "catalog/ToolRecord.h"
#include "install/DownloadInstallTask.h"
#include "ui/SkinnedWindow.h"

class QLabel;

namespace ui {

class PngButton;

// The download window of one tool: it runs the tool's download-and-install task, shows the
// tool's title, the speed, the share done, the sizes and a progress bar refreshed from the
// task's counters every kRefreshMs, and offers "取消下载". It closes itself and goes away
// when the tool was installed (after trying to start it) or when the user cancels; a failed
// download or install keeps it open with the failure shown until the user cancels. Enter
// and Escape do nothing. Several can be open at once, one per download.
//
// The task's events reach the window only as queued calls with copied values; the window
// never waits for the task on the UI thread except when it is destroyed with its parent.
class DownloadDialog : public SkinnedWindow, private install::DownloadInstallTask::Listener {
    Q_OBJECT
  public:
    static constexpr int kRefreshMs = 300;
    // The progress bar, in window coordinates.
    static constexpr QRect kBarRect{25, 70, 308, 23};

    // `programDir` (with a trailing separator) is where the archive and the tool go. The
    // window is centred over `parent` (the main window), or on the screen without one.
    explicit DownloadDialog(std::string programDir, QWidget* parent = nullptr);
    ~DownloadDialog() override;

    // Starts downloading and installing `tool` (its id, TITLE, URL and EXENAME) on a worker
    // thread. Call it once, after show().
    void StartDownload(const catalog::ToolRecord& tool);

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
    // Empty while all goes well; says what failed otherwise (the reason in its tool tip).
    QLabel* StatusLabel() const { return status_; }
    PngButton* CancelButton() const { return cancel_; }
    // The counters last shown.
    const install::DownloadCounters& Shown() const { return shown_; }
    // True while the counters are refreshed every kRefreshMs.
    bool IsRefreshing() const { return timer_.isActive(); }

  public slots:
    // What "取消下载" does: stops the task (cooperatively; what was downloaded stays) and
    // closes the window, which goes away as soon as the task has stopped.
    void CancelDownload();

  signals:
    // The tool's archive was extracted completely: the catalogs should record it installed.
    void toolInstalled(const catalog::ToolRecord& tool);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Worker thread.
    void OnInstalled(const catalog::ToolRecord& tool) override;
    void OnStartResult(bool started) override;
    void OnFinished(const job::Result& result) override;

    // UI thread.
    void Refresh();
    void Finished(const job::Result& result);
    void ShowCannotRun();
    void Leave();

    std::string programDir_;
    std::unique_ptr<install::DownloadInstallTask> task_;
    install::DownloadCounters shown_;
    QBasicTimer timer_;
    bool finished_ = false;
    bool leaving_ = false;
    QLabel* title_;
    QLabel* speed_;
    QLabel* size_;
    QLabel* status_;
    PngButton* cancel_;
};

}  // namespace ui
