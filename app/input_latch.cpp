#include "app/input_latch.h"

namespace vornmark::app {

namespace {

bool known(int input) {
    return input >= 0 && input < InputLatch::inputs;
}

}  // namespace

void InputLatch::pressed(int input) {
    if (known(input)) unseen_presses_.set(static_cast<std::size_t>(input));
}

bool InputLatch::hold_release(int input) {
    if (!known(input)) return false;
    const auto i = static_cast<std::size_t>(input);
    if (!unseen_presses_.test(i) && !held_.test(i)) return false;
    held_.set(i);
    return true;
}

InputLatch::Inputs InputLatch::releases_due() {
    const Inputs due = ready_;
    ready_ = held_;
    held_.reset();
    unseen_presses_.reset();
    return due;
}

}  // namespace vornmark::app
