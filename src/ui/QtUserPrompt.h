#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <string>

#include "server/UserPrompt.h"

namespace ui {

// The user prompt of server communication as message boxes with the application's name as
// their caption: Confirm asks with OK and Cancel, Tell informs with OK. It may be called
// from any thread: the box always appears on the thread this object lives on (the UI
// thread), and a worker's call waits there until the user has answered. That thread must
// keep running its event loop while a worker may ask.
class QtUserPrompt : public QObject, public server::UserPrompt {
    Q_OBJECT
  public:
    // The boxes are centred over `window` (the main window) while it exists.
    explicit QtUserPrompt(QWidget* window = nullptr, QObject* parent = nullptr);

    bool Confirm(const std::string& text) override;
    void Tell(const std::string& text) override;

  private:
    bool Ask(const QString& text, bool withCancel);

    QPointer<QWidget> window_;
};

}  // namespace ui
