#include "app/make_app_state.h"
#include "app/test_build.h"
#include "ui/app_state.h"

std::unique_ptr<AppState> make_app_state() {
    return make_test_build_app_state();
}
