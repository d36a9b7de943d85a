#include "ui/WebBoxRegister.h"

namespace ui {

WebBoxRegister& WebBoxRegister::Process() {
    static WebBoxRegister processRegister;
    return processRegister;
}

WebBoxRegister::BoxState WebBoxRegister::State(std::uint32_t itemId) const {
    auto found = states_.find(itemId);
    return found == states_.end() ? BoxState::NeverOpened : found->second;
}

}  // namespace ui
