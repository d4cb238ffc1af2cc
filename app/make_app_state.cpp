#include "app/make_app_state.h"

#include "ui/app_state.h"

std::unique_ptr<AppState> make_app_state() {
    return std::make_unique<AppState>();
}
