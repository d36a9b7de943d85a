#pragma once

#include <string>

namespace server {

// The few moments where server communication needs the user. The window implements it on
// its own thread (a worker's call blocks until the user has answered); ravikctl implements it
// on the terminal. Texts are UTF-8.
class UserPrompt {
  public:
    virtual ~UserPrompt() = default;
    // A question with OK and Cancel; true only for OK.
    virtual bool Confirm(const std::string& text) = 0;
    // A message with an OK button.
    virtual void Tell(const std::string& text) = 0;
};

}  // namespace server
