#pragma once

#include <QObject>
#include <array>

#include "grid/GridView.h"

class QWidget;

namespace ui {
class PngButton;
}

namespace app {

// The paging row at the bottom of the main window: seven page dots, of which exactly one
// shows its selected look, and the first, previous, next and last buttons. It only reports
// clicks; the window pages the view on show.
class PageBar : public QObject {
    Q_OBJECT
  public:
    static constexpr int kDots = 7;

    explicit PageBar(QWidget* window);

    // Selects dot `page` for pages 2 to 7 and the first dot for any other page.
    void HighlightPageDot(unsigned page);
    // The dot selected now, 1 to 7.
    int SelectedDot() const;

    ui::PngButton* Dot(int number) const { return dots_.at(number - 1); }
    ui::PngButton* Button(grid::PageCommand command) const;

  signals:
    void dotClicked(int number);
    void commandClicked(grid::PageCommand command);

  private:
    std::array<ui::PngButton*, kDots> dots_{};
    std::array<ui::PngButton*, 4> buttons_{};
};

}  // namespace app
