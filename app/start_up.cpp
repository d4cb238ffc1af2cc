#include "app/start_up.h"

#include "sysinfo/system_info.h"
#include "ui/app_state.h"

void prepare_app_state(AppState& app, const std::vector<GraphicsAdapter>& gl_adapters) {
    app.sysinfo = probe_system_info();
    probe_graphics_adapter(app.sysinfo, gl_adapters);

    app.history.load();
    app.shown_single_score = app.history.best_score("single");
    app.shown_multi_score = app.history.best_score("multi");

    app.leaderboard_client.fetch_standings("single");
    app.leaderboard_client.fetch_standings("multi");
}

void stop_background_work(AppState& app) {
    app.leaderboard_client.shutdown();
    app.engine.cancel();
}
