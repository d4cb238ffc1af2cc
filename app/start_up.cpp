#include "app/start_up.h"

#include "base/run_kind.h"
#include "session/stop_signal.h"
#include "sysinfo/system_info.h"
#include "ui/app_state.h"

namespace vornmark::app {

void prepare_app_state(AppState& app, const std::vector<GraphicsAdapter>& gl_adapters) {
    app.sysinfo = probe_system_info();
    probe_graphics_adapter(app.sysinfo, gl_adapters);

    app.history.load();
    app.shown_single_score = app.history.best_score(RunKind::Single);
    app.shown_multi_score = app.history.best_score(RunKind::Multi);

    app.leaderboard_client.fetch_standings(RunKind::Single);
    app.leaderboard_client.fetch_standings(RunKind::Multi);
}

void stop_background_work(AppState& app) {
    // A stop signal ends the requests in flight at once; closing the window lets them finish.
    if (stop_requested()) app.leaderboard_client.abort();
    app.leaderboard_client.shutdown();
    app.runs.cancel();
}

}  // namespace vornmark::app
