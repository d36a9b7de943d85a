#pragma once

#include <QObject>
#include <condition_variable>
#include <mutex>
#include <string>

#include "server/UserPrompt.h"

namespace app {

// Puts the server layer's questions to the user with message boxes on the UI thread. A
// worker thread's call waits until the user has answered. Once Shutdown() has run (the
// program is ending), waiting and later questions are answered "Cancel" at once, so no
// worker is left waiting for a window that is gone.
class UiPrompt : public QObject, public server::UserPrompt {
    Q_OBJECT
  public:
    explicit UiPrompt(QObject* parent = nullptr);
    ~UiPrompt() override;

    bool Confirm(const std::string& text) override;
    void Tell(const std::string& text) override;
    void Shutdown();

  private:
    // Runs `ask` on the UI thread and returns its answer, or false after Shutdown().
    bool AskOnUiThread(std::function<bool()> ask);

    std::mutex mutex_;
    std::condition_variable answered_;
    bool shutDown_ = false;
};

}  // namespace app
