#include "app/shell_windows.h"

#include <d3d11.h>
#include <dxgi.h>
#include <mmsystem.h>

#include <backends/imgui_impl_dx11.h>
#include <backends/imgui_impl_win32.h>
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "app/gui_set_up.h"
#include "app/window_placement.h"
#include "vornmark_version.h"

extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND window, UINT message, WPARAM w, LPARAM l);

namespace vornmark::app {

namespace {

constexpr wchar_t window_class_name[] = L"VornmarkWindowClass";
constexpr wchar_t window_title[] = L"Vornmark v" VORNMARK_VERSION " - CPU Benchmark";
constexpr int window_width = 1600;
constexpr int window_height = 900;
constexpr int icon_resource = 107;
constexpr int small_icon_resource = 108;
// Windows 10 1803 and later; older systems refuse the flag.
constexpr DWORD high_resolution_timer = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(l);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* shell = reinterpret_cast<Win32Shell*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return shell != nullptr ? shell->handle_message(window, message, w, l)
                            : ::DefWindowProcW(window, message, w, l);
}

// The latched input (InputLatch) a press or release message is about, -1 for any other message.
int latched_input_of(UINT message, WPARAM w) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return 1;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return 2;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        return GET_XBUTTON_WPARAM(w) == XBUTTON1 ? 3 : 4;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        // The GUI backend keeps the state of the virtual keys below 256 only.
        return w < 256 ? InputLatch::key_input(static_cast<int>(w)) : -1;
    default:
        return -1;
    }
}

bool is_release(UINT message) {
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP ||
           message == WM_XBUTTONUP || message == WM_KEYUP || message == WM_SYSKEYUP;
}

// What a message tells the frame loop; system timers, cursor queries and the like are no input.
InputSeen input_of(UINT message) {
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
        return InputSeen::pointer;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_SIZE:
    case WM_PAINT:
        return InputSeen::action;
    default:
        return InputSeen::none;
    }
}

WindowArea area_of(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// The work area (the screen less the taskbar) of the monitor `monitor`.
WindowArea work_area_of(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info))
        return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return area_of(info.rcWork);
}

}  // namespace

Win32Shell::~Win32Shell() {
    close();
}

bool Win32Shell::open(int show_command, std::string& error) {
    // The manifest declares the DPI awareness too.
    ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance_;
    window_class.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(icon_resource));
    window_class.hIconSm = ::LoadIconW(instance_, MAKEINTRESOURCEW(small_icon_resource));
    window_class.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = window_class_name;
    class_registered_ = ::RegisterClassExW(&window_class) != 0;
    // 1600 x 900 (the frame included) centred in the primary monitor's work area, or as large as
    // fits there.
    const WindowArea placed = fitted_window(
        work_area_of(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY)), window_width, window_height);
    window_ = ::CreateWindowExW(0, window_class_name, window_title, WS_OVERLAPPEDWINDOW, placed.x, placed.y,
                                placed.width, placed.height, nullptr, nullptr, instance_, this);
    if (window_ == nullptr) {
        error = "cannot create the window";
        close();
        return false;
    }
    if (!create_device()) {
        error = "cannot create the Direct3D 11 device";
        close();
        return false;
    }
    ::ShowWindow(window_, show_command);
    ::UpdateWindow(window_);

    create_gui_context();
    gui_ready_ = true;
    ImGui_ImplWin32_Init(window_);
    ImGui_ImplDX11_Init(gpu_.device, gpu_.context);
    create_timer();
    return true;
}

bool Win32Shell::create_device() {
    DXGI_SWAP_CHAIN_DESC description{};
    description.BufferCount = 2;
    description.BufferDesc.Width = 0;
    description.BufferDesc.Height = 0;
    description.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    description.BufferDesc.RefreshRate.Numerator = 60;
    description.BufferDesc.RefreshRate.Denominator = 1;
    description.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;
    description.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    description.OutputWindow = window_;
    description.SampleDesc.Count = 1;
    description.SampleDesc.Quality = 0;
    description.Windowed = TRUE;
    description.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0};
    const HRESULT result = ::D3D11CreateDeviceAndSwapChain(
        nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, levels, 1, D3D11_SDK_VERSION, &description,
        &gpu_.swap_chain, &gpu_.device, nullptr, &gpu_.context);
    if (FAILED(result) || !gpu_.device || !gpu_.swap_chain || !gpu_.context) {
        gpu_.release_device_objects();
        return false;
    }
    gpu_.create_render_target();
    return true;
}

void Win32Shell::create_timer() {
    timer_ = ::CreateWaitableTimerExW(nullptr, nullptr, high_resolution_timer, TIMER_ALL_ACCESS);
    if (timer_ != nullptr) return;
    // Without it, waits are rounded to the system tick (about 15.6 ms) unless the program
    // asks for a finer one, for its whole life.
    timer_ = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    coarse_timer_raised_ = ::timeBeginPeriod(1) == TIMERR_NOERROR;
}

void Win32Shell::close() {
    if (gui_ready_) {
        ImGui_ImplDX11_Shutdown();
        ImGui_ImplWin32_Shutdown();
        ImGui::DestroyContext();
        gui_ready_ = false;
    }
    gpu_.release_device_objects();
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
        window_ = nullptr;
    }
    if (class_registered_) {
        ::UnregisterClassW(window_class_name, instance_);
        class_registered_ = false;
    }
    if (timer_ != nullptr) {
        ::CloseHandle(timer_);
        timer_ = nullptr;
    }
    if (coarse_timer_raised_) {
        ::timeEndPeriod(1);
        coarse_timer_raised_ = false;
    }
}

LRESULT Win32Shell::handle_message(HWND window, UINT message, WPARAM w, LPARAM l) {
    input_ = std::max(input_, input_of(message));
    // A release held back reaches the GUI with the next frame; Windows' own handling of it
    // (DefWindowProc) goes on now.
    const int latched = latched_input_of(message, w);
    bool held = false;
    if (latched >= 0 && is_release(message)) {
        held = latch_.hold_release(latched);
        if (held) held_releases_[latched] = MSG{window, message, w, l, 0, {}};
    } else if (latched >= 0) {
        latch_.pressed(latched);
    }
    if (!held && ImGui::GetCurrentContext() != nullptr &&
        ImGui_ImplWin32_WndProcHandler(window, message, w, l))
        return 1;
    switch (message) {
    case WM_SIZE:
        if (w == SIZE_MINIMIZED) return 0;  // the swap chain keeps its size
        resize_width_ = LOWORD(l);
        resize_height_ = HIWORD(l);
        resize_pending_ = true;
        return 0;
    case WM_GETMINMAXINFO:
        if (minimum_window_.cx <= 0) break;
        reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = POINT{minimum_window_.cx, minimum_window_.cy};
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

bool Win32Shell::handle_events() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0U, 0U, PM_REMOVE)) {
        if (message.message == WM_QUIT) return false;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}

void Win32Shell::wait_for_events(double seconds) {
    // Relative due times are negative, in 100 ns units.
    LARGE_INTEGER due;
    due.QuadPart = -std::max<LONGLONG>(1, static_cast<LONGLONG>(seconds * 1e7));
    if (timer_ != nullptr && ::SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
        ::MsgWaitForMultipleObjectsEx(1, &timer_, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        return;
    }
    const auto milliseconds = static_cast<DWORD>(std::ceil(seconds * 1000.0));
    ::MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

InputSeen Win32Shell::take_input() {
    // A release held back is handed over by the next frame, which must come at once.
    if (latch_.holding()) input_ = InputSeen::action;
    return std::exchange(input_, InputSeen::none);
}

double Win32Shell::refresh_rate_hz() const {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    // 0 and 1 mean "the hardware's default".
    if (!::EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) || mode.dmDisplayFrequency <= 1)
        return 0.0;
    return static_cast<double>(mode.dmDisplayFrequency);
}

float Win32Shell::dpi_scale() const {
    return static_cast<float>(::GetDpiForWindow(window_)) / 96.0f;
}

void Win32Shell::apply_pending_resize() {
    if (!resize_pending_) return;
    resize_pending_ = false;
    if (gpu_.render_target_view) {
        gpu_.render_target_view->Release();
        gpu_.render_target_view = nullptr;
    }
    gpu_.swap_chain->ResizeBuffers(0, resize_width_, resize_height_, DXGI_FORMAT_UNKNOWN, 0);
    gpu_.create_render_target();
    ++resizes_;
}

void Win32Shell::new_frame() {
    const InputLatch::Inputs due = latch_.releases_due();
    for (int input = 0; due.any() && input < InputLatch::inputs; ++input) {
        const MSG& release = held_releases_[input];
        if (due.test(static_cast<std::size_t>(input)))
            ImGui_ImplWin32_WndProcHandler(window_, release.message, release.wParam, release.lParam);
    }
    apply_pending_resize();
    ImGui_ImplDX11_NewFrame();
    ImGui_ImplWin32_NewFrame();
}

void Win32Shell::present_frame() {
    const float clear[4] = {0.051f, 0.051f, 0.051f, 1.0f};
    gpu_.context->OMSetRenderTargets(1, &gpu_.render_target_view, nullptr);
    if (gpu_.render_target_view) gpu_.context->ClearRenderTargetView(gpu_.render_target_view, clear);
    ImGui_ImplDX11_RenderDrawData(ImGui::GetDrawData());
    gpu_.swap_chain->Present(1, 0);
}

void Win32Shell::keep_minimum_size(int width, int height) {
    if (width == kept_client_.cx && height == kept_client_.cy) return;
    kept_client_ = SIZE{width, height};
    RECT frame{0, 0, width, height};
    ::AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0, ::GetDpiForWindow(window_));
    const WindowArea work = work_area_of(::MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST));
    const SIZE outer{std::min<LONG>(frame.right - frame.left, work.width),
                     std::min<LONG>(frame.bottom - frame.top, work.height)};
    minimum_window_ = outer;
    RECT now{};
    if (::IsIconic(window_) || ::IsZoomed(window_) || !::GetWindowRect(window_, &now)) return;
    WindowArea window = area_of(now);
    if (window.width >= outer.cx && window.height >= outer.cy) return;
    // Grown to the minimum, and moved back into the work area if that pushed it over an edge.
    window.width = std::max<int>(window.width, outer.cx);
    window.height = std::max<int>(window.height, outer.cy);
    window = kept_in_area(work, window);
    ::SetWindowPos(window_, nullptr, window.x, window.y, window.width, window.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

Shell::Buffer Win32Shell::back_buffer() const {
    DXGI_SWAP_CHAIN_DESC description{};
    if (gpu_.swap_chain == nullptr || FAILED(gpu_.swap_chain->GetDesc(&description))) return {0, 0, resizes_};
    return {static_cast<int>(description.BufferDesc.Width), static_cast<int>(description.BufferDesc.Height),
            resizes_};
}

}  // namespace vornmark::app
