// Vornmark: the window program. One GUI thread; the benchmark and the leaderboard
// requests run on threads owned by the AppState.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GLFW/glfw3.h>

#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include "app/fonts.h"
#include "app/frame_pacing.h"
#include "app/gl_adapter.h"
#include "app/gl_gpu_backend.h"
#include "app/program_configuration.h"
#include "app/start_up.h"
#include "app/style.h"
#include "app/window.h"
#include "session/stop_signal.h"
#include "ui/app_state.h"
#include "ui/main_layout.h"

namespace {

// The primary monitor's refresh rate, 0 when the window system does not say.
double refresh_rate_hz() {
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
    return mode != nullptr ? static_cast<double>(mode->refreshRate) : 0.0;
}

// The preview texture lives as long as the process; its GL object is released
// explicitly at shutdown, while the context still exists.
GlGpuBackend gl_backend;

}  // namespace

// Exit code 1 means only that the window could not open (no usable display or OpenGL 3.3);
// scripts/run.sh then starts the headless runner instead.
int main() {
    // ---- Set-up ------------------------------------------------------------

    // Ctrl-C and SIGTERM close the window like its close button.
    install_stop_signals();

    // Window, OpenGL context, swap interval 1.
    ResizeRequest resize;
    std::string window_error;
    GLFWwindow* window = create_main_window(resize, window_error);
    if (window == nullptr) {
        std::fprintf(stderr, "vornmark: %s\n", window_error.c_str());
        return 1;
    }

    // GUI context, style and backends ("imgui.ini" keeps its default name).
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    apply_vornmark_style();
    ImGui_ImplGlfw_InitForOpenGL(window, true);
    if (!ImGui_ImplOpenGL3_Init("#version 330 core")) {
        std::fprintf(stderr, "vornmark: the OpenGL 3.3 renderer could not be initialised\n");
        ImGui_ImplGlfw_Shutdown();
        ImGui::DestroyContext();
        destroy_main_window(window);
        return 1;
    }

    // Application state.
    std::unique_ptr<AppState> app = make_app_state();
    app->gpu = &gl_backend;

    // Fonts and sizes at the window's scale, fixed from here on.
    const float scale = window_dpi_scale(window);
    const WindowFonts fonts = load_fonts(scale);
    app->font_ui = fonts.ui;
    app->font_mono = fonts.mono;
    app->font_mono_large = fonts.mono_large;
    app->font_heading = fonts.heading;
    ImGui::GetStyle().ScaleAllSizes(scale);
    app->dpi_scale = scale;

    // The machine, the history and the scores shown at first, then both
    // standings in the background.
    prepare_app_state(*app, gl_graphics_adapters());

    // ---- Frame loop ---------------------------------------------------------

    // The swap interval of 1 is not relied on: where the swap does not wait for
    // the display, the loop waits out the refresh interval itself, and without a
    // run it sleeps until an event comes or the CPU graph's next sample is due.
    FramePacer pacer(refresh_rate_hz());
    ImVec2 kept_minimum_size(0.0f, 0.0f);
    while (!glfwWindowShouldClose(window)) {
        // 1. Window events; a close request ends the loop once they are handled.
        bool woke_by_event = false;
        if (pacer.draws_continuously(app->engine.running.load())) {
            glfwPollEvents();
        } else {
            const double wait_start = glfwGetTime();
            glfwWaitEventsTimeout(FramePacer::idle_wait_seconds);
            woke_by_event = glfwGetTime() - wait_start < FramePacer::idle_wait_seconds * 0.95;
            // Nothing new to show: no frame, the cheapest idle there is.
            if (!pacer.idle_frame_due(woke_by_event, app->leaderboard_client.pending_request_count(),
                                      glfwGetTime()) &&
                !stop_requested()) {
                continue;
            }
        }
        const double frame_start = glfwGetTime();
        if (stop_requested()) {
            glfwSetWindowShouldClose(window, GLFW_TRUE);
        }
        if (glfwWindowShouldClose(window)) {
            break;
        }

        // 2. A resize since the last frame.
        const bool resized = resize.resize_pending;
        if (resize.resize_pending) {
            resize.resize_pending = false;
            glViewport(0, 0, static_cast<GLsizei>(resize.resize_width),
                       static_cast<GLsizei>(resize.resize_height));
        }

        // 3. New GUI frame.
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplGlfw_NewFrame();
        ImGui::NewFrame();

        // 4. Every panel.
        if (app->font_ui != nullptr) {
            ImGui::PushFont(app->font_ui);
        }
        draw_main_layout(*app);
        if (app->font_ui != nullptr) {
            ImGui::PopFont();
        }
        // Also after a resize: without a window manager nothing else holds the limit.
        if (resized || app->minimum_window_size.x != kept_minimum_size.x ||
            app->minimum_window_size.y != kept_minimum_size.y) {
            kept_minimum_size = app->minimum_window_size;
            keep_minimum_window_size(window, static_cast<int>(kept_minimum_size.x),
                                     static_cast<int>(kept_minimum_size.y));
        }

        // 5-6. Render into the cleared back buffer.
        ImGui::Render();
        glClearColor(0.051f, 0.051f, 0.051f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());

        // 7. Present, then the rest of the refresh interval if the swap did not wait.
        glfwSwapBuffers(window);
        pacer.frame_drawn(woke_by_event, glfwGetTime());
        if (app->engine.running.load()) {
            // During a run: few frames where drawing is costly; an input event ends the pause.
            const double rest = pacer.rest_of_run_interval(frame_start, glfwGetTime());
            if (rest > 0.0) {
                glfwWaitEventsTimeout(rest);
            }
        } else {
            const double rest = pacer.rest_of_interval(frame_start, glfwGetTime());
            if (rest > 0.0) {
                std::this_thread::sleep_for(std::chrono::duration<double>(rest));
            }
        }
    }

    // ---- Clean-up, in reverse ------------------------------------------------

    // Background requests first, then the benchmark is told to stop.
    app->leaderboard_client.shutdown();
    app->engine.cancel_requested.exchange(true);

    // GUI backends and context (the fonts go with it).
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();

    // GL objects, then the window and the window system.
    gl_backend.release();
    destroy_main_window(window);

    // The state last: client, history, engine (joins a cancelled run), system info.
    app.reset();
    return 0;
}
