#include "app/click_latch.h"

namespace {

std::uint32_t bit(int button) {
    return button >= 0 && button < ClickLatch::buttons ? 1u << button : 0u;
}

}  // namespace

void ClickLatch::pressed(int button) {
    unseen_presses_ |= bit(button);
}

bool ClickLatch::hold_release(int button) {
    const std::uint32_t b = bit(button);
    if ((unseen_presses_ & b) == 0 && (held_ & b) == 0) return false;
    held_ |= b;
    return true;
}

std::uint32_t ClickLatch::releases_due() {
    const std::uint32_t due = ready_;
    ready_ = held_;
    held_ = 0;
    unseen_presses_ = 0;
    return due;
}
