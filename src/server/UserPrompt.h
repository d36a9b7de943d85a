#pragma once

#include <string>

namespace server {

// The answers to the update question.
enum class UpdateAnswer {
    Update,       // 升级
    SkipRelease,  // 跳过此版本: not offered again at start-up
    Later,        // 以后再说, also closing the question
};

// The few moments where server communication needs the user. The window implements it on
// its own thread (a worker's call blocks until the user has answered); ravikctl implements it
// on the terminal. Texts are UTF-8.
class UserPrompt {
  public:
    virtual ~UserPrompt() = default;
    // The update question, with the buttons 升级, 跳过此版本 and 以后再说.
    virtual UpdateAnswer AskUpdate(const std::string& text) = 0;
    // A message with an OK button.
    virtual void Tell(const std::string& text) = 0;
};

}  // namespace server
