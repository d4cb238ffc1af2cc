// Vornmark: the window program. One GUI thread; the benchmark and the leaderboard
// requests run on threads owned by the AppState.
#include <cstdio>
#include <memory>
#include <string>

#include "app/frame_loop.h"
#include "app/gl_adapter.h"
#include "app/gui_set_up.h"
#include "app/program_configuration.h"
#include "app/shell_linux.h"
#include "app/start_up.h"
#include "session/stop_signal.h"
#include "ui/app_state.h"

using namespace vornmark;
using namespace vornmark::app;

// Exit code 1 means only that the window could not open (no usable display or OpenGL 3.3);
// scripts/run.sh then starts the headless runner instead.
int main() {
    // Set-up: Ctrl-C and SIGTERM close the window like its close button; the window with its
    // OpenGL context and the GUI; the state, its fonts at the window's scale, the machine,
    // the history, the scores shown first and both standings in the background.
    install_stop_signals();
    GlfwShell shell;
    std::string error;
    if (!shell.open(error)) {
        std::fprintf(stderr, "vornmark: %s\n", error.c_str());
        return 1;
    }
    std::unique_ptr<AppState> app = make_app_state();
    app->gpu = &shell.gpu();
    scale_gui(*app, shell.dpi_scale());
    prepare_app_state(*app, gl_graphics_adapters());

    run_frame_loop(*app, shell, frame_drawn);

    // Clean-up: the background work, then the GUI and the window, the state last (client,
    // history, the engine joining a cancelled run, system info).
    stop_background_work(*app);
    shell.close();
    app.reset();
    return 0;
}
