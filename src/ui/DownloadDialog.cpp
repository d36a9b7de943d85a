#include "ui/DownloadDialog.h"

#include <QCloseEvent>
#include <QDir>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <algorithm>

#include "ui/FailureText.h"
#include "ui/PngButton.h"
#include "ui/SkinImages.h"
#include "ui/UiFont.h"
#include "ui/WindowPlacement.h"

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

DownloadDialog::DownloadDialog(QWidget* parent)
    : SkinnedWindow(LoadPngResource(Png::DownloadBackground), Draggable, parent),
      // The title line reaches over the caption band up to the cancel button, so that long
      // titles are not cut short.
      title_(MakeLine(this, QRect(28, 8, 300, 20), Qt::white, false)),
      speed_(MakeLine(this, QRect(28, 120, 260, 20), QColor(10, 10, 10), true)),
      size_(MakeLine(this, QRect(28, 142, 260, 20), QColor(10, 10, 10), true)),
      // Two lines: a failure may name a long path. The speed line below is empty by then.
      status_(MakeLine(this, QRect(28, 97, 305, 40), QColor(190, 30, 30), false)),
      close_(new PngButton(this)),
      cancel_(new PngButton(this)) {
    setWindowIcon(AppIcon());
    setWindowTitle(QStringLiteral("正在下载"));
    WindowPlacement::SizeAndPlace(this, QSize(360, 200));

    title_->hide();
    // The failure line shows its reason as a tool tip, so it takes the mouse itself.
    status_->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    status_->setWordWrap(true);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    size_->setText(SizeLine(0, 0));

    close_->SetImage(LoadPngResource(Png::CloseButton));
    close_->setGeometry(335, 8, 20, 20);
    close_->setToolTip(QStringLiteral("取消下载"));
    cancel_->SetImage(LoadPngResource(Png::CancelButton));
    cancel_->move(285, 174);
    cancel_->setToolTip(QStringLiteral("取消下载"));
    for (PngButton* button : {close_, cancel_}) {
        connect(button, &PngButton::clicked, this, &DownloadDialog::CancelDownload);
    }
}

void DownloadDialog::Begin(const QString& titleLine) {
    begun_ = true;
    refreshing_ = true;
    title_->setText(titleLine);
    title_->show();
    setWindowTitle(titleLine);
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
    emit cancelRequested();
    Leave();
}

void DownloadDialog::ShowCounters(const install::DownloadCounters& counters) {
    if (!begun_ || finished_ || leaving_) {
        return;
    }
    if (counters.phase != phase_) {
        phase_ = counters.phase;
        // A transfer (again, after a damaged archive) is followed from its start; once it has
        // stopped there is no speed to show.
        refreshing_ = phase_ == install::DownloadCounters::Phase::Downloading;
        if (!refreshing_) {
            speed_->clear();
        }
    }
    if (!refreshing_) {
        return;
    }
    shown_ = counters;
    speed_->setText(SpeedLine(shown_.speedKBps, shown_.perMille));
    size_->setText(SizeLine(shown_.totalKB, shown_.receivedKB));
    update(kBarRect);
    // The whole file is here: the figures stay as they are until the window goes away.
    if (shown_.totalKB == shown_.receivedKB && shown_.totalKB != 0) {
        refreshing_ = false;
    }
}

void DownloadDialog::AnnounceInstalled(const catalog::ToolRecord& tool) {
    emit toolInstalled(tool);
}

void DownloadDialog::ShowProgramStart(bool started) {
    if (started) {
        return;
    }
    // The box stands on its own: this window closes right after it appears.
    auto* box = new QMessageBox(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                                QStringLiteral("程序无法运行，请检查文件是否完整"), QMessageBox::Ok,
                                parentWidget());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

QString DownloadDialog::FailureText(const job::Result& result,
                                    install::DownloadCounters::Phase phase) {
    const bool installing = phase == install::DownloadCounters::Phase::Installing;
    switch (result.code) {
        case job::Code::WriteFailed:
            return WriteFailureText(QStringLiteral("无法写入程序目录"), result);
        case job::Code::Network:
            return QStringLiteral("下载失败：网络不通或服务器没有这个文件，请稍后重试");
        case job::Code::BadData:
            return installing ? QStringLiteral("安装包已损坏，请稍后重新下载")
                              : QStringLiteral("下载失败：下载地址无效");
        case job::Code::Refused:
            return QStringLiteral("无法解压：安装包中有不安全或加密的文件");
        case job::Code::Untrusted:
            return QString::fromUtf8(install::kSignatureRefusedText);
        case job::Code::NotFound:
            return QStringLiteral("安装失败：找不到下载的安装包");
        default:
            break;
    }
    return installing ? QStringLiteral("安装失败，请取消后重试")
                      : QStringLiteral("下载失败，请取消后重试");
}

void DownloadDialog::Finish(const job::Result& result) {
    finished_ = true;
    refreshing_ = false;
    speed_->clear();
    if (leaving_ || result.Ok() || result.Is(job::Code::Cancelled)) {
        Leave();
        return;
    }
    // A failed download or install stays on screen with its last figures until the user
    // cancels, and says what went wrong; the job's last phase names the step that failed.
    const QString text = FailureText(result, phase_);
    status_->setText(Fitted(text, QDir::toNativeSeparators(QString::fromStdString(result.path))));
    status_->setToolTip(text);
}

QString DownloadDialog::Fitted(const QString& text, const QString& path) const {
    // A long path is cut in its middle until the text fits the status line's two lines; the
    // ends of a path tell the most. The tool tip keeps the whole text.
    const QFontMetrics metrics(status_->font());
    const QRect room(0, 0, status_->width(), status_->height());
    auto fits = [&](const QString& candidate) {
        return metrics.boundingRect(room, Qt::TextWordWrap, candidate).height() <= room.height();
    };
    if (fits(text) || path.isEmpty() || !text.contains(path)) {
        return text;
    }
    QString fitted = text;
    for (int width = 2 * room.width(); width > 0 && !fits(fitted);
         width -= metrics.averageCharWidth()) {
        fitted = QString(text).replace(path, metrics.elidedText(path, Qt::ElideMiddle, width));
    }
    return fitted;
}

void DownloadDialog::Leave() {
    leaving_ = true;
    refreshing_ = false;
    hide();
    // While the job still runs the window waits, hidden, for its end.
    if (!begun_ || finished_) {
        deleteLater();
    }
}

void DownloadDialog::paintEvent(QPaintEvent* event) {
    SkinnedWindow::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(kBarRect.topLeft(), ProgressBar(shown_.perMille));
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
