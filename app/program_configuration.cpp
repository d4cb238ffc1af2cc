#include "app/program_configuration.h"

#include "ui/app_state.h"

namespace vornmark::app {

std::unique_ptr<AppState> make_app_state() {
    return std::make_unique<AppState>();
}

void frame_drawn(const AppState&, const FrameFacts&) {}

}  // namespace vornmark::app
