#pragma once

#include <string>

#include "server/UserPrompt.h"

namespace app {

// Puts the server layer's questions to the user with message boxes, on the calling thread,
// which must be the UI thread. Jobs reach it through the JobRunner, which carries their
// questions over to the UI thread.
class UiPrompt : public server::UserPrompt {
  public:
    // The update question's buttons are the standard OK (升级), Ignore (跳过此版本) and Cancel
    // (以后再说), so Escape and closing the box mean 以后再说.
    server::UpdateAnswer AskUpdate(const std::string& text) override;
    void Tell(const std::string& text) override;

    // The question before something is removed for good: Yes and No, with No the default so
    // that a hasty Enter keeps everything; true only for Yes.
    bool ConfirmRemoval(const std::string& text);
};

}  // namespace app
