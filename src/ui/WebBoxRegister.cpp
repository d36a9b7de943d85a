#include "ui/WebBoxRegister.h"

namespace ui {

WebBoxRegister& WebBoxRegister::Process() {
    static WebBoxRegister processRegister;
    return processRegister;
}

std::uint32_t WebBoxRegister::State(std::uint32_t itemId) {
    if (states_.empty()) {
        states_[1] = 3;
    }
    auto found = states_.find(itemId);
    return found == states_.end() ? 0 : found->second;
}

bool WebBoxRegister::IsOpen(std::uint32_t itemId) {
    return State(itemId) == kOpen;
}

}  // namespace ui
