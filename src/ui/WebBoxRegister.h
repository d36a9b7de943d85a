#pragma once

#include <cstdint>
#include <unordered_map>

namespace ui {

// Which catalog items have a web page box open, so that running an item twice does not open
// a second box. The process keeps one register (Process()), used on the UI thread only; tests
// make their own.
class WebBoxRegister {
  public:
    enum class BoxState { NeverOpened, Open, Closed };

    static WebBoxRegister& Process();

    BoxState State(std::uint32_t itemId) const;
    // True only while the item's box is open.
    bool IsOpen(std::uint32_t itemId) const { return State(itemId) == BoxState::Open; }

    void MarkOpen(std::uint32_t itemId) { states_[itemId] = BoxState::Open; }
    void MarkClosed(std::uint32_t itemId) { states_[itemId] = BoxState::Closed; }

  private:
    std::unordered_map<std::uint32_t, BoxState> states_;
};

}  // namespace ui
