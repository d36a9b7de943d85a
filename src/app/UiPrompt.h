#pragma once

#include <string>

#include "server/UserPrompt.h"

namespace app {

// Puts the server layer's questions to the user with message boxes, on the calling thread,
// which must be the UI thread. Jobs reach it through the JobRunner, which carries their
// questions over to the UI thread.
class UiPrompt : public server::UserPrompt {
  public:
    bool Confirm(const std::string& text) override;
    void Tell(const std::string& text) override;
};

}  // namespace app
