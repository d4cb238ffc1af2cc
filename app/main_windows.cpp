// Vornmark on Windows: the Win32 window, Direct3D 11 and Dear ImGui around the shared panels.
// One GUI thread; the benchmark and the leaderboard requests run on threads owned by the AppState.
#include <windows.h>

#include <d3d11.h>
#include <dxgi.h>

#include <backends/imgui_impl_dx11.h>
#include <backends/imgui_impl_win32.h>
#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "app/dx11_gpu_backend.h"
#include "app/fonts.h"
#include "app/frame_pacing.h"
#include "app/program_configuration.h"
#include "app/start_up.h"
#include "app/style.h"
#include "engine/steady_clock.h"
#include "ui/app_state.h"
#include "ui/main_layout.h"
#include "vornmark_version.h"

extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND window, UINT message, WPARAM w, LPARAM l);

namespace {

constexpr wchar_t window_class_name[] = L"VornmarkWindowClass";
constexpr wchar_t window_title[] = L"Vornmark v" VORNMARK_VERSION " - CPU Benchmark";
constexpr int window_width = 1600;
constexpr int window_height = 900;
constexpr int icon_resource = 107;
constexpr int small_icon_resource = 108;

// The device objects and the preview texture, for the whole process.
Dx11GpuBackend dx11;

// Written by the window procedure, applied by the frame loop (both on the GUI thread).
struct ResizeRequest {
    bool resize_pending = false;
    UINT resize_width = 0;
    UINT resize_height = 0;
} resize;

// The smallest window (frame included) in which the layout keeps its content; none until the first
// frame has measured it.
SIZE minimum_window{0, 0};

// Keeps the client area at least `client` pixels large, as far as the monitor's work area allows,
// and grows the window now when it is smaller.
void keep_minimum_client_size(HWND window, SIZE client) {
    RECT frame{0, 0, client.cx, client.cy};
    ::AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0, ::GetDpiForWindow(window));
    SIZE outer{frame.right - frame.left, frame.bottom - frame.top};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        outer.cx = std::min(outer.cx, monitor.rcWork.right - monitor.rcWork.left);
        outer.cy = std::min(outer.cy, monitor.rcWork.bottom - monitor.rcWork.top);
    }
    minimum_window = outer;
    RECT now{};
    if (::IsIconic(window) || !::GetWindowRect(window, &now)) return;
    const LONG width = now.right - now.left;
    const LONG height = now.bottom - now.top;
    if (width < outer.cx || height < outer.cy)
        ::SetWindowPos(window, nullptr, 0, 0, std::max(width, outer.cx), std::max(height, outer.cy),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (ImGui::GetCurrentContext() != nullptr && ImGui_ImplWin32_WndProcHandler(window, message, w, l))
        return 1;
    switch (message) {
    case WM_SIZE:
        if (w == SIZE_MINIMIZED) return 0;
        resize.resize_width = LOWORD(l);
        resize.resize_height = HIWORD(l);
        resize.resize_pending = true;
        return 0;
    case WM_GETMINMAXINFO:
        if (minimum_window.cx <= 0) break;
        reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = POINT{minimum_window.cx, minimum_window.cy};
        return 0;
    case WM_SYSCOMMAND:
        if ((w & 0xFFF0) == SC_KEYMENU) return 0;  // Alt alone does not open the window menu
        break;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, w, l);
}

bool create_device(HWND window) {
    DXGI_SWAP_CHAIN_DESC description{};
    description.BufferCount = 2;
    description.BufferDesc.Width = 0;
    description.BufferDesc.Height = 0;
    description.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    description.BufferDesc.RefreshRate.Numerator = 60;
    description.BufferDesc.RefreshRate.Denominator = 1;
    description.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;
    description.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    description.OutputWindow = window;
    description.SampleDesc.Count = 1;
    description.SampleDesc.Quality = 0;
    description.Windowed = TRUE;
    description.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0};
    const HRESULT result = ::D3D11CreateDeviceAndSwapChain(
        nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, levels, 1, D3D11_SDK_VERSION, &description,
        &dx11.swap_chain, &dx11.device, nullptr, &dx11.context);
    if (FAILED(result) || !dx11.device || !dx11.swap_chain || !dx11.context) {
        dx11.release_device_objects();
        return false;
    }
    dx11.create_render_target();
    return true;
}

void apply_pending_resize() {
    if (!resize.resize_pending) return;
    resize.resize_pending = false;
    if (dx11.render_target_view) {
        dx11.render_target_view->Release();
        dx11.render_target_view = nullptr;
    }
    dx11.swap_chain->ResizeBuffers(0, resize.resize_width, resize.resize_height, DXGI_FORMAT_UNKNOWN, 0);
    dx11.create_render_target();
}

// Drains the message queue; false once WM_QUIT was among the messages.
bool pump_messages() {
    bool quit = false;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0U, 0U, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
        if (message.message == WM_QUIT) quit = true;
    }
    return !quit;
}

// Sleeps until a message arrives or `seconds` have passed; true when a message came.
bool wait_for_message(double seconds) {
    const DWORD milliseconds = static_cast<DWORD>(seconds * 1000.0);
    return ::MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
           WAIT_OBJECT_0;
}

// The primary display's refresh rate, 0 when Windows does not say (0 or 1 mean "the default").
double refresh_rate_hz() {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!::EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) || mode.dmDisplayFrequency <= 1)
        return 0.0;
    return static_cast<double>(mode.dmDisplayFrequency);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    // 1-3. DPI awareness (the manifest declares it too), window class, centred window.
    ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance;
    window_class.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(icon_resource));
    window_class.hIconSm = ::LoadIconW(instance, MAKEINTRESOURCEW(small_icon_resource));
    window_class.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = window_class_name;
    ::RegisterClassExW(&window_class);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - window_width) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - window_height) / 2;
    HWND window = ::CreateWindowExW(0, window_class_name, window_title, WS_OVERLAPPEDWINDOW, x, y,
                                    window_width, window_height, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;

    // 4-6. Device, swap chain and render target; then the window is shown.
    if (!create_device(window)) return 1;
    ::ShowWindow(window, show_command);
    ::UpdateWindow(window);

    // 7. GUI context, style and backends ("imgui.ini" keeps its default name).
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    apply_vornmark_style();
    ImGui_ImplWin32_Init(window);
    ImGui_ImplDX11_Init(dx11.device, dx11.context);

    // 8. Application state (the test build: a tiny run and the test's leaderboard server).
    std::unique_ptr<AppState> app = make_app_state();
    app->gpu = &dx11;

    // 9-11. Fonts and sizes at the window's scale, fixed from here on.
    const float scale = static_cast<float>(::GetDpiForWindow(window)) * 0.010416667f;
    const WindowFonts fonts = load_fonts(scale);
    app->font_ui = fonts.ui;
    app->font_mono = fonts.mono;
    app->font_mono_large = fonts.mono_large;
    app->font_heading = fonts.heading;
    ImGui::GetStyle().ScaleAllSizes(scale);
    app->dpi_scale = scale;

    // 12-15. The machine, the history, the scores shown first, both standings in the background.
    prepare_app_state(*app, {});

    // 16. The frame loop. Present waits for the vertical blank where the display honours it;
    // where it does not (virtual machines, remote desktops), the loop waits out the refresh
    // interval itself, and without a run it sleeps until a message comes or the CPU graph's
    // next sample is due.
    const float clear[4] = {0.051f, 0.051f, 0.051f, 1.0f};
    FramePacer pacer(refresh_rate_hz());
    ImVec2 kept_minimum_size(0.0f, 0.0f);
    while (pump_messages()) {
        bool woke_by_message = false;
        if (!pacer.draws_continuously(app->engine.running.load())) {
            woke_by_message = wait_for_message(FramePacer::idle_wait_seconds);
            // Nothing new to show: no frame, the cheapest idle there is.
            if (!pacer.idle_frame_due(woke_by_message, app->leaderboard_client.pending_request_count(),
                                      steady_now_seconds()))
                continue;
            // The messages that woke the loop belong to this frame.
            if (!pump_messages()) break;
        }
        const double frame_start = steady_now_seconds();
        apply_pending_resize();
        ImGui_ImplDX11_NewFrame();
        ImGui_ImplWin32_NewFrame();
        ImGui::NewFrame();
        if (app->font_ui) ImGui::PushFont(app->font_ui);
        draw_main_layout(*app);
        if (app->font_ui) ImGui::PopFont();
        if (app->minimum_window_size.x != kept_minimum_size.x ||
            app->minimum_window_size.y != kept_minimum_size.y) {
            kept_minimum_size = app->minimum_window_size;
            keep_minimum_client_size(
                window, SIZE{static_cast<LONG>(kept_minimum_size.x), static_cast<LONG>(kept_minimum_size.y)});
        }
        ImGui::Render();
        dx11.context->OMSetRenderTargets(1, &dx11.render_target_view, nullptr);
        if (dx11.render_target_view) dx11.context->ClearRenderTargetView(dx11.render_target_view, clear);
        ImGui_ImplDX11_RenderDrawData(ImGui::GetDrawData());
        dx11.swap_chain->Present(1, 0);
        pacer.frame_drawn(woke_by_message, steady_now_seconds());
        const double rest = pacer.rest_of_interval(frame_start, steady_now_seconds());
        if (rest > 0.0) std::this_thread::sleep_for(std::chrono::duration<double>(rest));
    }

    // Shutdown: background requests, then the benchmark is told to stop; GUI; device objects;
    // window and class; the state last (client, history, engine joining its run, system info).
    app->leaderboard_client.shutdown();
    app->engine.cancel_requested.exchange(true);
    ImGui_ImplDX11_Shutdown();
    ImGui_ImplWin32_Shutdown();
    ImGui::DestroyContext();
    dx11.release_device_objects();
    ::DestroyWindow(window);
    ::UnregisterClassW(window_class_name, instance);
    app.reset();
    return 0;
}
