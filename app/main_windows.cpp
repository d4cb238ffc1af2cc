// Vornmark on Windows: the window program. One GUI thread; the benchmark and the leaderboard
// requests run on threads owned by the AppState.
#include <windows.h>

#include <memory>
#include <string>

#include "app/frame_loop.h"
#include "app/gui_set_up.h"
#include "app/program_configuration.h"
#include "app/shell_windows.h"
#include "app/start_up.h"
#include "ui/app_state.h"

using namespace vornmark;
using namespace vornmark::app;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    // Set-up: the window with its Direct3D 11 device and the GUI; the state, its fonts at the
    // window's scale, the machine, the history, the scores shown first and both standings in
    // the background.
    Win32Shell shell(instance);
    std::string error;
    if (!shell.open(show_command, error)) return 1;
    std::unique_ptr<AppState> app = make_app_state();
    app->gpu = &shell.gpu();
    scale_gui(*app, shell.dpi_scale());
    prepare_app_state(*app, {});

    run_frame_loop(*app, shell, frame_drawn);

    // Clean-up: the background work, then the GUI, the device objects and the window, the
    // state last (client, history, the engine joining a cancelled run, system info).
    stop_background_work(*app);
    shell.close();
    app.reset();
    return 0;
}
