#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "platform/InstanceLock.h"

class QLocalServer;

namespace app {

// One copy of the launcher per user session. The first start owns the instance lock (which
// the system drops with the process, however it ends); once its window is up it also
// listens on a local socket named after "Ravik_desk". A later start finds the lock taken, asks the
// listener (if there is one yet) to show its window and ends without a word. A start that finds the
// lock taken but nobody listening (the first copy is still starting) simply ends.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `name` defaults to "Ravik_desk" inside the user's runtime directory.
    explicit SingleInstance(QString name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock. False when another copy holds it.
    bool Acquire();

    // First copy, once its window exists: starts answering later starts. Returns false when
    // the socket could not be created (later starts then just end).
    bool Listen();

    // Later copy: asks the first one to show its window. False when nobody listens.
    bool AskRunningInstanceToShow(int timeoutMs = 3000) const;

    // Per-user socket path: $XDG_RUNTIME_DIR/Ravik_desk, or the temporary directory with
    // the user id appended where there is no runtime directory (and a plain pipe name with
    // the user name on Windows).
    static QString DefaultName();

  signals:
    // A later start asked for the window.
    void showRequested();

  private:
    void OnNewConnection();

    QString name_;
    platform::InstanceLock lock_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace app
