#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "ui/BusyBox.h"

class QWidget;

namespace app {

// The main window's busy state while the catalogs are updated: the window takes no input
// and shows the wait cursor, and (for new records or a new game order) the animated busy
// box is on screen. The box follows its flag through a posted call, so whoever changes the
// flag never creates or destroys a window on the spot. A box that was asked for is painted
// at least once before the busy state ends: changes that need no downloads (a new game
// order alone) are applied before the posted call comes, and the user must still see why
// the grid was rebuilt. The same box, with the figure in its text, shows the download of an
// update the user accepted, the one long wait before the launcher hands over to the updater.
class BusyIndicator : public QObject {
    Q_OBJECT
  public:
    BusyIndicator(QWidget* window, QString programDirectory);
    ~BusyIndicator() override;

    // The catalogs are about to change. With `busyBox` the box is wanted too.
    void Begin(bool busyBox);
    // The update is over: input back, flags cleared, the box goes; with a box wanted but not
    // yet painted, all that happens once it has been.
    void End();
    // The window waits for something the user started (the version check): no input and
    // the wait cursor, but not the busy state of a catalog update.
    void SetWaiting(bool waiting);

    // An accepted update is being downloaded, `perMille` of it so far (-1 while its size is
    // unknown): no input, and the busy box says how far it has come. EndUpdateFetch ends it.
    void ShowUpdateFetch(int perMille);
    void EndUpdateFetch();
    // "正在下载新版本 42%", or without the figure while it is unknown.
    static QString UpdateFetchText(int perMille);

    bool Busy() const { return busy_; }
    bool FetchingUpdate() const { return !fetchText_.isEmpty(); }
    bool BusyBoxWanted() const { return busyBoxWanted_; }
    bool Waiting() const { return waiting_; }
    ui::BusyBox* Box() const { return box_; }

  signals:
    // The busy box has come on screen.
    void boxShown();

  private:
    void UpdateWindow();
    void SyncBox();
    void Finish();
    bool BoxWanted() const { return busyBoxWanted_ || FetchingUpdate(); }
    QString BoxText() const { return FetchingUpdate() ? fetchText_ : ui::BusyBox::DefaultText(); }

    QWidget* window_;
    QString programDirectory_;
    bool busy_ = false;
    bool busyBoxWanted_ = false;
    bool waiting_ = false;
    bool endWhenPainted_ = false;
    QString fetchText_;  // empty unless an update is being fetched
    QPointer<ui::BusyBox> box_;
};

}  // namespace app
