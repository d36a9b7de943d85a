#include "grid/ItemTile.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QImageReader>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>

#include "catalog/Catalog.h"
#include "grid/ExecutablePicker.h"
#include "grid/GridContext.h"
#include "grid/TileAccessible.h"
#include "platform/Shell.h"
#include "ui/CutCorners.h"
#include "ui/PngButton.h"
#include "ui/SkinImages.h"
#include "ui/UiFont.h"

namespace grid {
namespace {

const QColor kBackground(26, 119, 188);
const QColor kTitleColour(250, 250, 250);
constexpr int kFrameSize = 44;
const QPoint kFramePosition(16, 8);
const QPoint kIconPosition(22, 14);
const QRect kTitleRect(QPoint(2, 56), QPoint(76, 69));  // (2, 56) to (77, 70), exclusive
const QRect kDeleteMarkRect(44, 3, 24, 24);
constexpr int kCornerCut = 2;
constexpr int kTipWidth = 150;

// Every tile draws the same frame strip and has the same delete mark; one decoded copy of
// each serves them all.
const QImage& FrameStrip() {
    static const QImage strip = ui::LoadPngResource(ui::Png::TileFrame);
    return strip;
}
const QImage& DeleteMarkStrip() {
    static const QImage strip = ui::LoadPngResource(ui::Png::DeleteMark);
    return strip;
}

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

QImage ReadImage(const QString& file) {
    if (file.isEmpty()) {
        return {};
    }
    QImageReader reader(file);
    return reader.read();
}

// The default picture of a tile's kind: the one a tool of its type shows when not installed;
// games and programs with icons of their own fall back to the program picture.
catalog::DefaultIcon FallbackIcon(bool isTool, uint32_t type) {
    return isTool && !catalog::HasOwnIcon(type) ? catalog::DefaultIcon::Plain
                                                : catalog::DefaultIcon::Program;
}

// The tooltip breaks its text into lines at most kTipWidth pixels wide. Each line of the
// text (a whole title, then the description) is broken on its own: laid out together, a
// line break would count as a character and cut the next line short.
QString WrapToWidth(const QString& text, const QFont& font, int width) {
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << paragraph.mid(line.textStart(), line.textLength());
        }
        layout.endLayout();
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

ItemTile::ItemTile(const GridContext& context, QWidget* parent)
    : QWidget(parent), context_(context), deleteButton_(new ui::PngButton(this)) {
    TileAccessible::Register();
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kWidth, kHeight);
    deleteButton_->SetImage(DeleteMarkStrip());
    deleteButton_->setGeometry(kDeleteMarkRect);
    deleteButton_->setAccessibleName(TileCommandText(TileCommand::Delete));
    deleteButton_->hide();
    connect(deleteButton_, &ui::PngButton::clicked, this, [this] { emit deleteRequested(this); });
}

ItemTile::ItemTile(const catalog::GameRecord& game, const GridContext& context, QWidget* parent)
    : ItemTile(context, parent) {
    game_ = game;
    id_ = game.id;
    iconFile_ = FromUtf8(game.icon);
    TakeTexts(game.title, game.info);
}

ItemTile::ItemTile(const catalog::ToolRecord& tool, const GridContext& context, QWidget* parent)
    : ItemTile(context, parent) {
    isTool_ = true;
    TakeRecord(tool);
}

ItemTile::~ItemTile() = default;

void ItemTile::TakeRecord(const catalog::ToolRecord& tool) {
    tool_ = tool;
    id_ = tool.id;
    iconFile_ = FromUtf8(tool.icon);
    TakeTexts(tool.title, tool.info);
    icon_.reset();
    update();
}

void ItemTile::TakeTexts(const std::string& title, const std::string& info) {
    title_ = FromUtf8(title);
    tip_ = FromUtf8(info);
    // The whole name must be readable somewhere when the tile shows only its start.
    QString name;
    if (!gameName_.isEmpty()) {
        name = gameName_ + QStringLiteral(" · ") + title_;
    } else if (ShownTitle() != title_) {
        name = title_;
    }
    if (!name.isEmpty()) {
        tip_ = tip_.isEmpty() ? name : name + QLatin1Char('\n') + tip_;
    }
    setToolTip(tip_);
}

void ItemTile::SetGameName(const QString& game) {
    gameName_ = game;
    TakeTexts(isTool_ ? tool_.title : game_.title, isTool_ ? tool_.info : game_.info);
}

QString ItemTile::ShownTitle() const {
    return QFontMetrics(ui::UiFont(12)).elidedText(title_, Qt::ElideRight, kTitleRect.width());
}

void ItemTile::SetDeleteMark(bool on) {
    deleteMark_ = on;
    deleteButton_->setVisible(on);
}

const QImage& ItemTile::Icon() {
    if (!icon_) {
        // Read the file completely and let go of it at once, so that an installer may
        // replace it while the tile lives.
        QImage image = ReadImage(iconFile_);
        if (image.isNull() && context_.catalog != nullptr) {
            // An installed tool's icon path names its own picture even when none was ever
            // fetched (tools without an icon of their own, a failed icon download): the tile
            // then shows the default picture of its kind instead of an empty square.
            image = ReadImage(
                FromUtf8(context_.catalog->DefaultIconPath(FallbackIcon(isTool_, tool_.type))));
        }
        icon_ =
            image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return *icon_;
}

void ItemTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const QImage& frames = FrameStrip();
    if (!frames.isNull()) {
        const int column = CurrentFrame() * kFrameSize;
        painter.drawImage(QRect(kFramePosition, QSize(kFrameSize, kFrameSize)), frames,
                          QRect(column, 0, kFrameSize, kFrameSize));
    }
    const QImage& icon = Icon();
    if (!icon.isNull()) {
        painter.drawImage(kIconPosition, icon);
    }
    // One line, centred.
    painter.setClipRect(kTitleRect);
    painter.setFont(ui::UiFont(12));
    painter.setPen(kTitleColour);
    painter.drawText(kTitleRect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
                     ShownTitle());
}

int ItemTile::CurrentFrame() const {
    // The focus frame wins over the hover frame: the keyboard's place must stay visible
    // while the mouse passes over it.
    if (hasFocus()) {
        return 2;
    }
    return hovered_ ? 1 : 0;
}

void ItemTile::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setMask(ui::CutCornerMask(rect(), kCornerCut));
}

bool ItemTile::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (tip_.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), WrapToWidth(tip_, QToolTip::font(), kTipWidth),
                               this, rect());
        }
        return true;
    }
    return QWidget::event(event);
}

void ItemTile::enterEvent(QEnterEvent* event) {
    if (!hovered_) {
        hovered_ = true;
        update();
    }
    QWidget::enterEvent(event);
}

void ItemTile::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QWidget::leaveEvent(event);
}

void ItemTile::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    Activate();
}

void ItemTile::Activate() {
    // The view hears of the activation first, then of what the tile asks for.
    emit activated(id_);
    if (isTool_) {
        emit runRequested(this);
    } else {
        emit enterRequested(id_);
    }
}

std::vector<TileCommand> ItemTile::MenuEntries() const {
    return TileMenuEntries(isTool_, id_, tool_.type);
}

void ItemTile::contextMenuEvent(QContextMenuEvent* event) {
    PopupMenu(event->globalPos());
}

void ItemTile::PopupMenu(QPoint globalPos) {
    const std::vector<TileCommand> entries = MenuEntries();
    if (entries.empty()) {
        return;
    }
    if (menu_ != nullptr) {
        menu_->close();
    }
    menu_ = new QMenu(this);
    menu_->setAttribute(Qt::WA_DeleteOnClose);
    for (TileCommand command : entries) {
        QAction* action = menu_->addAction(TileCommandText(command));
        // Queued: the command may replace this tile's view while the menu still closes.
        connect(
            action, &QAction::triggered, this, [this, command] { RunCommand(command); },
            Qt::QueuedConnection);
    }
    menu_->popup(globalPos);
}

void ItemTile::RunCommand(TileCommand command) {
    switch (command) {
        case TileCommand::Run:
            emit runRequested(this);
            break;
        case TileCommand::Describe:
            if (isTool_) {
                emit describeRequested(this, context_.downloadUrl +
                                                 QStringLiteral("/rv_intro.php?aid=") +
                                                 QString::number(id_));
            }
            break;
        case TileCommand::OpenDirectory:
            if (isTool_) {
                OpenDirectory();
            }
            break;
        case TileCommand::SetDirectory:
            ChooseGameDirectory();
            break;
        case TileCommand::Delete:
            emit deleteRequested(this);
            break;
        case TileCommand::Feedback:
            emit feedbackRequested(this);
            break;
    }
}

void ItemTile::OpenDirectory() const {
    if (!tool_.dir.empty()) {
        if (tool_.installed == 0) {
            // The folder is made by the install; opening it before would only fail. The box
            // does not wait: the tile may be rebuilt away while it is open.
            auto* box =
                new QMessageBox(QMessageBox::Information, QGuiApplication::applicationDisplayName(),
                                QStringLiteral("该工具尚未安装"), QMessageBox::Ok, window());
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->show();
            return;
        }
        platform::OpenUrl(tool_.dir);
        return;
    }
    // The fixed entries have no folder of their own: a start entry opens the folder of the
    // game's program, when one was chosen.
    if (context_.catalog == nullptr) {
        return;
    }
    const std::string folder = ProgramFolder(context_.catalog->GameDirectoryForOpen(tool_.gameId));
    if (!folder.empty()) {
        platform::OpenUrl(folder);
    }
}

bool ItemTile::ChooseGameDirectory() {
    if (context_.catalog == nullptr) {
        return false;
    }
    const QString chosen = PickExecutable();
    if (chosen.isEmpty()) {
        return false;
    }
    const std::string path = QDir::toNativeSeparators(chosen).toStdString();
    // Only a path that reached gamecfg.dat is announced; otherwise the tile would show the
    // game as set up while the next start still asks for its program.
    if (!context_.catalog->SetGameDirectory(tool_.gameId, path).ok()) {
        return false;
    }
    emit gameDirectorySet(this);
    return true;
}

}  // namespace grid
