#include "DemoToolWindow.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kBandHeight = 96;

// Programs with an icon of their own (191, 192) and plain programs (187) get their own
// colours, as their tiles do in the launcher.
QColor AccentFor(int type) {
    switch (type) {
        case 191:
            return QColor(0x2f, 0x7f, 0xd8);
        case 192:
            return QColor(0x8e, 0x4f, 0xc8);
        default:
            return QColor(0x1f, 0x9a, 0x6e);
    }
}

QString Text(const QJsonObject& entry, const char* key) {
    return entry.value(QLatin1String(key)).toString();
}

}  // namespace

DemoToolWindow::DemoToolWindow(const QJsonObject& entry, const QString& folder, QWidget* parent)
    : QWidget(parent), accent_(AccentFor(entry.value(QStringLiteral("TYPE")).toInt())) {
    title_ = Text(entry, "TITLE");
    if (title_.isEmpty()) {
        title_ = QStringLiteral("演示工具");
    }
    QStringList facts;
    if (!Text(entry, "VERSION").isEmpty()) {
        facts << QStringLiteral("版本 %1").arg(Text(entry, "VERSION"));
    }
    facts << (Text(entry, "GAME").isEmpty()
                  ? QStringLiteral("通用工具")
                  : QStringLiteral("所属游戏：%1").arg(Text(entry, "GAME")));
    subtitle_ = facts.join(QStringLiteral("  ·  "));
    setWindowTitle(title_);
    setMinimumSize(480, 320);

    auto* info = new QLabel(Text(entry, "INFO"), this);
    info->setWordWrap(true);
    info->setStyleSheet(QStringLiteral("font-size: 15px; color: #1d2a36;"));
    auto* origin = new QLabel(
        QStringLiteral("这是 Ravik游戏桌面 的演示工具：启动器从数据服务器下载了它的压缩包，"
                       "解压到下面的文件夹并启动了它。"),
        this);
    origin->setWordWrap(true);
    origin->setStyleSheet(QStringLiteral("color: #4b5b6b;"));
    auto* where = new QLabel(QStringLiteral("安装位置：%1").arg(folder), this);
    where->setWordWrap(true);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    where->setStyleSheet(QStringLiteral("color: #4b5b6b; font-size: 12px;"));
    running_ = new QLabel(this);
    running_->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(accent_.name()));
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(running_);
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, kBandHeight + 18, 24, 18);
    layout->setSpacing(10);
    layout->addWidget(info);
    layout->addWidget(origin);
    layout->addWidget(where);
    layout->addStretch();
    layout->addLayout(bottom);

    clock_.start();
    ShowRunningTime();
    connect(&tick_, &QTimer::timeout, this, &DemoToolWindow::ShowRunningTime);
    tick_.start(1000);
}

void DemoToolWindow::ShowRunningTime() {
    const qint64 seconds = clock_.elapsed() / 1000;
    running_->setText(QStringLiteral("已运行 %1:%2")
                          .arg(seconds / 60, 2, 10, QLatin1Char('0'))
                          .arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void DemoToolWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(0xf4, 0xf7, 0xfa));
    const QRect band(0, 0, width(), kBandHeight);
    QLinearGradient gradient(band.topLeft(), band.bottomRight());
    gradient.setColorAt(0, accent_.lighter(125));
    gradient.setColorAt(1, accent_.darker(150));
    painter.fillRect(band, gradient);

    painter.setPen(Qt::white);
    QFont heading = font();
    heading.setPixelSize(26);
    heading.setBold(true);
    painter.setFont(heading);
    painter.drawText(QRect(24, 14, width() - 48, 40), Qt::AlignLeft | Qt::AlignVCenter, title_);
    QFont small = font();
    small.setPixelSize(13);
    painter.setFont(small);
    painter.setPen(QColor(255, 255, 255, 220));
    painter.drawText(QRect(24, 56, width() - 48, 24), Qt::AlignLeft | Qt::AlignVCenter, subtitle_);
}
