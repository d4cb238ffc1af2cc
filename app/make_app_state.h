#pragma once

#include <memory>

struct AppState;

// The application state the Windows entry point starts with: the product's
// (make_app_state.cpp) or the end-to-end tests' (make_app_state_test_build.cpp, see
// test_build.h); each executable links one of the two.
std::unique_ptr<AppState> make_app_state();
