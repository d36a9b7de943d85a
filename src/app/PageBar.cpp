#include "app/PageBar.h"

#include "ui/PngButton.h"
#include "ui/SkinImages.h"

namespace app {
namespace {

constexpr int kRowY = 471;
constexpr int kButtonSize = 24;
constexpr int kFirstDotX = 71;
constexpr int kDotStep = 24;

struct CommandButton {
    grid::PageCommand command;
    ui::Png image;
    int x;
    const char* name;  // for assistive technology
};
constexpr std::array<CommandButton, 4> kCommandButtons{{
    {grid::PageCommand::First, ui::Png::FirstPageButton, 22, "首页"},
    {grid::PageCommand::Previous, ui::Png::PreviousPageButton, 44, "上一页"},
    {grid::PageCommand::Next, ui::Png::NextPageButton, 243, "下一页"},
    {grid::PageCommand::Last, ui::Png::LastPageButton, 263, "末页"},
}};

}  // namespace

PageBar::PageBar(QWidget* window) : QObject(window) {
    const QImage dotImage = ui::LoadPngResource(ui::Png::PageDot);
    for (int k = 0; k < kDots; ++k) {
        auto* dot = new ui::PngButton(window);
        dot->SetImage(dotImage);
        dot->setGeometry(kFirstDotX + kDotStep * k, kRowY, kButtonSize, kButtonSize);
        dot->SetSelectable(true);
        dot->setAccessibleName(QStringLiteral("第 %1 页").arg(k + 1));
        connect(dot, &ui::PngButton::clicked, this, [this, k] { emit dotClicked(k + 1); });
        dots_[k] = dot;
    }
    for (std::size_t i = 0; i < kCommandButtons.size(); ++i) {
        const CommandButton& entry = kCommandButtons[i];
        auto* button = new ui::PngButton(window);
        button->SetImage(ui::LoadPngResource(entry.image));
        button->setGeometry(entry.x, kRowY, kButtonSize, kButtonSize);
        button->setAccessibleName(QString::fromUtf8(entry.name));
        connect(button, &ui::PngButton::clicked, this,
                [this, command = entry.command] { emit commandClicked(command); });
        buttons_[i] = button;
    }
}

ui::PngButton* PageBar::Button(grid::PageCommand command) const {
    for (std::size_t i = 0; i < kCommandButtons.size(); ++i) {
        if (kCommandButtons[i].command == command) {
            return buttons_[i];
        }
    }
    return nullptr;
}

void PageBar::HighlightPageDot(unsigned page) {
    const int selected = page >= 2 && page <= kDots ? static_cast<int>(page) : 1;
    for (int k = 0; k < kDots; ++k) {
        dots_[k]->SetSelected(k + 1 == selected);
    }
}

int PageBar::SelectedDot() const {
    for (int k = 0; k < kDots; ++k) {
        if (dots_[k]->IsSelected()) {
            return k + 1;
        }
    }
    return 0;
}

}  // namespace app
