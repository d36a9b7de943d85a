#pragma once

#include <QLineEdit>
#include <QPointer>
#include <functional>

class QKeyEvent;

namespace grid {
class GridView;
}

namespace app {

// The search field of the main window. It lies over the list label (the band under the tabs)
// in the label's colours and stays hidden until a search starts: a printable key typed in the
// window, or Ctrl+F. What is typed filters the grid of the tab on show (GridView::Search);
// Escape, or clearing the field, ends the search and the tab is back as it was.
class SearchBar : public QLineEdit {
    Q_OBJECT
  public:
    using ViewOnShow = std::function<grid::GridView*()>;

    SearchBar(QWidget* window, const QRect& band, ViewOnShow viewOnShow);

    // A key the window did not use: printable text without Ctrl, Alt or Meta (and not a lone
    // space) opens the field with that text, or adds it to an open one. True when taken.
    bool TakeKey(const QKeyEvent& event);
    // Opens the field with nothing typed (Ctrl+F), or selects what an open one holds.
    void Open();
    // Ends the search and hides the field; false when it was not open.
    bool Close();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    // Shows the field with the focus; false when there is no tab to search.
    bool Show();
    void Follow(const QString& text);
    void Dismiss();

    ViewOnShow viewOnShow_;
    QPointer<grid::GridView> view_;  // the view searched, once something is typed
};

}  // namespace app
