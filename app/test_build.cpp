#include "app/test_build.h"

#include <cstdlib>
#include <string>

#include "ui/app_state.h"

namespace {

std::string environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

std::unique_ptr<AppState> make_test_build_app_state() {
    HttpEndpoint endpoint;
    endpoint.host = environment("VORNMARK_TEST_LEADERBOARD_HOST", "127.0.0.1");
    endpoint.port = std::atoi(environment("VORNMARK_TEST_LEADERBOARD_PORT", "1").c_str());
    endpoint.ca_file = environment("VORNMARK_TEST_LEADERBOARD_CA", "");

    auto app = std::make_unique<AppState>(endpoint, default_history_path());
    // A run of a fraction of a second; the score stays far below what the server
    // still accepts as plausible.
    app->run_settings.width = 64;
    app->run_settings.height = 36;
    app->run_settings.samples = 4;
    return app;
}
