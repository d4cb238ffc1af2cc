#include "app/shell_linux.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GLFW/glfw3.h>

#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "app/gui_set_up.h"
#include "app/window_icon.h"

namespace vornmark::app {

namespace {

std::string last_glfw_error;

void record_glfw_error(int /*code*/, const char* description) {
    last_glfw_error = description != nullptr ? description : "unknown GLFW error";
}

GlfwShell& shell_of(GLFWwindow* window) {
    return *static_cast<GlfwShell*>(glfwGetWindowUserPointer(window));
}

// Installed before the GUI's backend, which calls them before its own.
void install_input_callbacks(GLFWwindow* window) {
    glfwSetCursorPosCallback(window,
                             [](GLFWwindow* w, double, double) { shell_of(w).saw(InputSeen::pointer); });
    glfwSetCursorEnterCallback(window, [](GLFWwindow* w, int) { shell_of(w).saw(InputSeen::pointer); });
    glfwSetMouseButtonCallback(window,
                               [](GLFWwindow* w, int, int, int) { shell_of(w).saw(InputSeen::action); });
    glfwSetScrollCallback(window, [](GLFWwindow* w, double, double) { shell_of(w).saw(InputSeen::action); });
    glfwSetKeyCallback(window, [](GLFWwindow* w, int, int, int, int) { shell_of(w).saw(InputSeen::action); });
    glfwSetCharCallback(window, [](GLFWwindow* w, unsigned int) { shell_of(w).saw(InputSeen::action); });
    glfwSetWindowFocusCallback(window, [](GLFWwindow* w, int) { shell_of(w).saw(InputSeen::action); });
    glfwSetWindowRefreshCallback(window, [](GLFWwindow* w) { shell_of(w).saw(InputSeen::action); });
    glfwSetWindowIconifyCallback(window, [](GLFWwindow* w, int) { shell_of(w).saw(InputSeen::action); });
    glfwSetFramebufferSizeCallback(
        window, [](GLFWwindow* w, int width, int height) { shell_of(w).resized(width, height); });
}

void set_window_icon(GLFWwindow* window) {
    std::vector<std::uint8_t> large = draw_window_icon(48);
    std::vector<std::uint8_t> small = draw_window_icon(16);
    GLFWimage images[2] = {{48, 48, large.data()}, {16, 16, small.data()}};
    glfwSetWindowIcon(window, 2, images);
}

// The primary monitor's work area (the screen less panels and docks), or nothing without one.
std::optional<WindowArea> primary_work_area() {
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    if (monitor == nullptr) return std::nullopt;
    WindowArea area;
    glfwGetMonitorWorkarea(monitor, &area.x, &area.y, &area.width, &area.height);
    if (area.width <= 0 || area.height <= 0) return std::nullopt;
    return area;
}

struct FrameSize {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

FrameSize frame_size(GLFWwindow* window) {
    FrameSize frame;
    glfwGetWindowFrameSize(window, &frame.left, &frame.top, &frame.right, &frame.bottom);
    return frame;
}

// GLFW places and sizes the window's content area, not its frame.
void place_window(GLFWwindow* window, const WindowArea& content) {
    glfwSetWindowSize(window, content.width, content.height);
    glfwSetWindowPos(window, content.x, content.y);
}

}  // namespace

GlfwShell::~GlfwShell() {
    close();
}

bool GlfwShell::open(std::string& error) {
    glfwSetErrorCallback(record_glfw_error);
    if (!glfwInit()) {
        error = "cannot open the window system: " + last_glfw_error;
        return false;
    }
    glfw_ready_ = true;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    // Shown only once it stands where it belongs.
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    window_ = glfwCreateWindow(window_width, window_height, window_title, nullptr, nullptr);
    if (window_ == nullptr) {
        error = "cannot create the window: " + last_glfw_error;
        close();
        return false;
    }
    fit_to_work_area();
    set_window_icon(window_);
    glfwSetWindowUserPointer(window_, this);
    install_input_callbacks(window_);
    glfwMakeContextCurrent(window_);
    glfwSwapInterval(1);
    glfwShowWindow(window_);
    // The first frame sets its viewport from the framebuffer, which may differ from the
    // window size on a scaled display.
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(window_, &width, &height);
    resized(width, height);

    create_gui_context();
    gui_ready_ = true;
    ImGui_ImplGlfw_InitForOpenGL(window_, true);
    if (!ImGui_ImplOpenGL3_Init("#version 330 core")) {
        error = "the OpenGL 3.3 renderer could not be initialised";
        ImGui_ImplGlfw_Shutdown();
        ImGui::DestroyContext();
        gui_ready_ = false;
        close();
        return false;
    }
    return true;
}

void GlfwShell::close() {
    if (gui_ready_) {
        ImGui_ImplOpenGL3_Shutdown();
        ImGui_ImplGlfw_Shutdown();
        ImGui::DestroyContext();
        gui_ready_ = false;
    }
    if (window_ != nullptr) {
        gpu_.release();
        glfwDestroyWindow(window_);
        window_ = nullptr;
    }
    if (glfw_ready_) {
        glfwTerminate();
        glfw_ready_ = false;
    }
}

bool GlfwShell::handle_events() {
    glfwPollEvents();
    return !glfwWindowShouldClose(window_);
}

void GlfwShell::wait_for_events(double seconds) {
    glfwWaitEventsTimeout(seconds);
}

InputSeen GlfwShell::take_input() {
    return std::exchange(input_, InputSeen::none);
}

void GlfwShell::saw(InputSeen input) {
    input_ = std::max(input_, input);
}

void GlfwShell::resized(int width, int height) {
    saw(InputSeen::action);
    // A minimised window reports 0 x 0; the framebuffer keeps its size then.
    if (width <= 0 || height <= 0) return;
    resize_width_ = static_cast<std::uint32_t>(width);
    resize_height_ = static_cast<std::uint32_t>(height);
    resize_pending_ = true;
    resized_since_kept_ = true;
}

double GlfwShell::refresh_rate_hz() const {
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
    return mode != nullptr ? static_cast<double>(mode->refreshRate) : 0.0;
}

float GlfwShell::dpi_scale() const {
    float x = 1.0f;
    float y = 1.0f;
    glfwGetWindowContentScale(window_, &x, &y);
    return x > 0.0f ? x : 1.0f;
}

void GlfwShell::new_frame() {
    if (resize_pending_) {
        resize_pending_ = false;
        glViewport(0, 0, static_cast<GLsizei>(resize_width_), static_cast<GLsizei>(resize_height_));
        buffer_ = {static_cast<int>(resize_width_), static_cast<int>(resize_height_), buffer_.resizes + 1};
    }
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
}

void GlfwShell::present_frame() {
    glClearColor(0.051f, 0.051f, 0.051f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    glfwSwapBuffers(window_);
}

void GlfwShell::fit_to_work_area() {
    const std::optional<WindowArea> area = primary_work_area();
    if (!area) return;
    const FrameSize frame = frame_size(window_);
    const WindowArea outer = fitted_window(*area, window_width + frame.left + frame.right,
                                           window_height + frame.top + frame.bottom);
    place_window(window_, {outer.x + frame.left, outer.y + frame.top, outer.width - frame.left - frame.right,
                           outer.height - frame.top - frame.bottom});
}

void GlfwShell::keep_minimum_size(int width, int height) {
    if (width == kept_width_ && height == kept_height_ && !resized_since_kept_) return;
    kept_width_ = width;
    kept_height_ = height;
    resized_since_kept_ = false;
    const std::optional<WindowArea> area = primary_work_area();
    const FrameSize frame = frame_size(window_);
    if (area) {
        width = std::min(width, area->width - frame.left - frame.right);
        height = std::min(height, area->height - frame.top - frame.bottom);
    }
    glfwSetWindowSizeLimits(window_, width, height, GLFW_DONT_CARE, GLFW_DONT_CARE);
    int current_width = 0;
    int current_height = 0;
    glfwGetWindowSize(window_, &current_width, &current_height);
    if (current_width >= width && current_height >= height) return;
    // Grown to the minimum, and moved back into the work area if that pushed it over an edge.
    WindowArea content{0, 0, std::max(current_width, width), std::max(current_height, height)};
    glfwGetWindowPos(window_, &content.x, &content.y);
    if (area) {
        const WindowArea outer = kept_in_area(*area, {content.x - frame.left, content.y - frame.top,
                                                      content.width + frame.left + frame.right,
                                                      content.height + frame.top + frame.bottom});
        content.x = outer.x + frame.left;
        content.y = outer.y + frame.top;
    }
    place_window(window_, content);
}

}  // namespace vornmark::app
