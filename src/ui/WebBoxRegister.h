#pragma once

#include <cstdint>
#include <unordered_map>

namespace ui {

// Which catalog items have a web page box open: item id -> kOpen while its box is open,
// kClosed after it was closed; an id never seen reads 0. The process keeps one register
// (Process()), used on the UI thread only; tests make their own.
class WebBoxRegister {
  public:
    static constexpr std::uint32_t kOpen = 8888;
    static constexpr std::uint32_t kClosed = 4444;

    static WebBoxRegister& Process();

    // The state of an item. A register that is still empty when it is first consulted gets
    // the entry 1 -> 3 first, as it always has; 3 is not kOpen, so item 1 can open a box too.
    std::uint32_t State(std::uint32_t itemId);
    // True only while the item's box is open.
    bool IsOpen(std::uint32_t itemId);

    void MarkOpen(std::uint32_t itemId) { states_[itemId] = kOpen; }
    void MarkClosed(std::uint32_t itemId) { states_[itemId] = kClosed; }

  private:
    std::unordered_map<std::uint32_t, std::uint32_t> states_;
};

}  // namespace ui
