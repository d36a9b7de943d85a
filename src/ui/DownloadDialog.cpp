#include "ui/DownloadDialog.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <algorithm>

#include "job/Log.h"
#include "ui/PngButton.h"
#include "ui/SkinImages.h"
#include "ui/UiFont.h"

namespace ui {
namespace {

constexpr int kBarHalf = DownloadDialog::kBarRect.height() / 2;

QLabel* MakeLine(QWidget* parent, const QRect& rect, QColor text, bool opaque) {
    auto* label = new QLabel(parent);
    label->setGeometry(rect);
    label->setFont(UiFont(12));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Window, Qt::white);
    label->setPalette(palette);
    label->setAutoFillBackground(opaque);
    // Presses on the texts belong to the window, so the title line drags it like the band.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QLinearGradient Vertical(int y0, int y1, QColor from, QColor to) {
    QLinearGradient gradient(0, y0, 0, y1);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    gradient.setSpread(QGradient::RepeatSpread);
    return gradient;
}

}  // namespace

DownloadDialog::DownloadDialog(std::string programDir, QWidget* parent)
    : SkinnedWindow(LoadPngResource(Png::DownloadBackground), Draggable, parent),
      programDir_(std::move(programDir)),
      // The title line reaches over the caption band up to the cancel button, so that long
      // titles are not cut short.
      title_(MakeLine(this, QRect(28, 8, 300, 20), Qt::white, false)),
      speed_(MakeLine(this, QRect(28, 120, 260, 20), QColor(10, 10, 10), true)),
      size_(MakeLine(this, QRect(28, 142, 260, 20), QColor(10, 10, 10), true)),
      status_(MakeLine(this, QRect(28, 97, 305, 20), QColor(190, 30, 30), false)),
      cancel_(new PngButton(this)) {
    setWindowIcon(AppIcon());
    setWindowTitle(QStringLiteral("正在下载"));
    SizeAndCentre(QSize(360, 200));

    title_->hide();
    // The failure line shows its reason as a tool tip, so it takes the mouse itself.
    status_->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    speed_->setText(SpeedLine(0, 0));
    size_->setText(SizeLine(0, 0));

    cancel_->SetImage(LoadPngResource(Png::CloseButton));
    cancel_->setGeometry(335, 8, 20, 20);
    cancel_->setToolTip(QStringLiteral("取消下载"));
    connect(cancel_, &PngButton::clicked, this, &DownloadDialog::CancelDownload);
}

DownloadDialog::~DownloadDialog() {
    // Stops and joins the worker while this object can still take its (now pointless)
    // queued calls; they are dropped with the object.
    task_.reset();
}

void DownloadDialog::StartDownload(const catalog::ToolRecord& tool) {
    if (task_) {
        return;
    }
    Listener* listener = this;
    task_ = std::make_unique<install::DownloadInstallTask>(programDir_, tool, listener);
    const QString titleLine = QString::fromStdString(task_->TitleLine());
    title_->setText(titleLine);
    title_->show();
    setWindowTitle(titleLine);
    task_->Start();
    Refresh();
    timer_.start(kRefreshMs, this);
}

QString DownloadDialog::SpeedLine(std::uint32_t speedKBps, std::uint32_t perMille) {
    return QString::asprintf("速度： %4d KB/S  已完成 %2d ％", static_cast<int>(speedKBps),
                             static_cast<int>(perMille / 10));
}

QString DownloadDialog::SizeLine(std::uint32_t totalKB, std::uint32_t receivedKB) {
    return QString::asprintf("文件大小：%6d KB，已下载 %6d KB", static_cast<int>(totalKB),
                             static_cast<int>(receivedKB));
}

QImage DownloadDialog::ProgressBar(std::uint32_t perMille) {
    const int width = kBarRect.width();
    const int height = kBarRect.height();
    QImage bar(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&bar);
    painter.fillRect(bar.rect(), Vertical(0, height, QColor(220, 220, 220), QColor(100, 100, 100)));
    const int done = static_cast<int>(static_cast<std::uint32_t>(width) *
                                      std::min<std::uint32_t>(perMille, 1000) / 1000);
    painter.fillRect(QRect(0, 0, done, kBarHalf),
                     Vertical(0, kBarHalf, QColor(121, 183, 224), QColor(61, 145, 213)));
    painter.fillRect(QRect(0, kBarHalf, done, height - kBarHalf),
                     Vertical(kBarHalf - 1, height, QColor(58, 138, 209), QColor(30, 90, 140)));
    return bar;
}

void DownloadDialog::CancelDownload() {
    if (task_) {
        task_->Cancel();
    }
    Leave();
}

void DownloadDialog::Refresh() {
    if (!task_) {
        return;
    }
    shown_ = task_->Counters();
    speed_->setText(SpeedLine(shown_.speedKBps, shown_.perMille));
    size_->setText(SizeLine(shown_.totalKB, shown_.receivedKB));
    update(kBarRect);
    // The whole file is here: the figures stay as they are until the window goes away.
    if (shown_.totalKB == shown_.receivedKB && shown_.totalKB != 0) {
        timer_.stop();
    }
}

void DownloadDialog::OnInstalled(const catalog::ToolRecord& tool) {
    QMetaObject::invokeMethod(
        this, [this, tool] { emit toolInstalled(tool); }, Qt::QueuedConnection);
}

void DownloadDialog::OnStartResult(bool started) {
    if (!started) {
        QMetaObject::invokeMethod(this, &DownloadDialog::ShowCannotRun, Qt::QueuedConnection);
    }
}

void DownloadDialog::OnFinished(const job::Result& result) {
    QMetaObject::invokeMethod(
        this, [this, result] { Finished(result); }, Qt::QueuedConnection);
}

void DownloadDialog::Finished(const job::Result& result) {
    finished_ = true;
    if (leaving_ || result.Ok() || result.Is(job::Code::Cancelled)) {
        Leave();
        return;
    }
    // A failed download or install stays on screen with its last figures until the user
    // cancels, and says what went wrong.
    Refresh();
    timer_.stop();
    job::Log::Failure("installing " + task_->Tool().title, result);
    const bool download = shown_.phase != install::DownloadCounters::Phase::Installing;
    status_->setText(download ? QStringLiteral("下载失败，请取消后重试")
                              : QStringLiteral("安装失败，请取消后重试"));
    status_->setToolTip(QString::fromStdString(result.reason));
}

void DownloadDialog::ShowCannotRun() {
    // The box stands on its own: this window closes right after it appears.
    auto* box = new QMessageBox(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                                QStringLiteral("程序无法运行，请检查文件是否完整"), QMessageBox::Ok,
                                parentWidget());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void DownloadDialog::Leave() {
    leaving_ = true;
    timer_.stop();
    hide();
    // While the worker still runs the window waits, hidden, for its last call.
    if (!task_ || finished_) {
        deleteLater();
    }
}

void DownloadDialog::paintEvent(QPaintEvent* event) {
    SkinnedWindow::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(kBarRect.topLeft(), ProgressBar(shown_.perMille));
}

void DownloadDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) {
        Refresh();
        return;
    }
    SkinnedWindow::timerEvent(event);
}

void DownloadDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            SkinnedWindow::keyPressEvent(event);
    }
}

void DownloadDialog::closeEvent(QCloseEvent* event) {
    // Only "取消下载" ends a download; the window system's close does nothing, like Escape.
    event->ignore();
}

}  // namespace ui
