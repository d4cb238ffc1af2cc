#include "app/window.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <vector>

#include "app/window_icon.h"

namespace {

std::string last_glfw_error;

void record_glfw_error(int /*code*/, const char* description) {
    last_glfw_error = description != nullptr ? description : "unknown GLFW error";
}

void on_framebuffer_size(GLFWwindow* window, int width, int height) {
    // A minimised window reports 0 x 0; the swap chain keeps its size then.
    if (width <= 0 || height <= 0) {
        return;
    }
    auto* resize = static_cast<ResizeRequest*>(glfwGetWindowUserPointer(window));
    resize->resize_width = static_cast<std::uint32_t>(width);
    resize->resize_height = static_cast<std::uint32_t>(height);
    resize->resize_pending = true;
}

void set_window_icon(GLFWwindow* window) {
    std::vector<std::uint8_t> large = draw_window_icon(48);
    std::vector<std::uint8_t> small = draw_window_icon(16);
    GLFWimage images[2] = {{48, 48, large.data()}, {16, 16, small.data()}};
    glfwSetWindowIcon(window, 2, images);
}

}  // namespace

GLFWwindow* create_main_window(ResizeRequest& resize, std::string& error) {
    glfwSetErrorCallback(record_glfw_error);
    if (!glfwInit()) {
        error = "cannot open the window system: " + last_glfw_error;
        return nullptr;
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    // Shown only once it stands where it belongs.
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(window_width, window_height, window_title, nullptr, nullptr);
    if (window == nullptr) {
        error = "cannot create the window: " + last_glfw_error;
        glfwTerminate();
        return nullptr;
    }

    if (GLFWmonitor* monitor = glfwGetPrimaryMonitor()) {
        if (const GLFWvidmode* mode = glfwGetVideoMode(monitor)) {
            int mx = 0;
            int my = 0;
            glfwGetMonitorPos(monitor, &mx, &my);
            glfwSetWindowPos(window, mx + (mode->width - window_width) / 2,
                             my + (mode->height - window_height) / 2);
        }
    }
    set_window_icon(window);

    glfwSetWindowUserPointer(window, &resize);
    glfwSetFramebufferSizeCallback(window, on_framebuffer_size);
    glfwMakeContextCurrent(window);
    glfwSwapInterval(1);

    glfwShowWindow(window);
    // The first frame sets its viewport from the framebuffer, which may differ from
    // the window size on a scaled display.
    int fb_width = 0;
    int fb_height = 0;
    glfwGetFramebufferSize(window, &fb_width, &fb_height);
    on_framebuffer_size(window, fb_width, fb_height);
    return window;
}

float window_dpi_scale(GLFWwindow* window) {
    float x = 1.0f;
    float y = 1.0f;
    glfwGetWindowContentScale(window, &x, &y);
    return x > 0.0f ? x : 1.0f;
}

void keep_minimum_window_size(GLFWwindow* window, int width, int height) {
    if (GLFWmonitor* monitor = glfwGetPrimaryMonitor()) {
        int area_x = 0;
        int area_y = 0;
        int area_width = 0;
        int area_height = 0;
        glfwGetMonitorWorkarea(monitor, &area_x, &area_y, &area_width, &area_height);
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        glfwGetWindowFrameSize(window, &left, &top, &right, &bottom);
        if (area_width > 0 && area_height > 0) {
            width = std::min(width, area_width - left - right);
            height = std::min(height, area_height - top - bottom);
        }
    }
    glfwSetWindowSizeLimits(window, width, height, GLFW_DONT_CARE, GLFW_DONT_CARE);
    int current_width = 0;
    int current_height = 0;
    glfwGetWindowSize(window, &current_width, &current_height);
    if (current_width < width || current_height < height)
        glfwSetWindowSize(window, std::max(current_width, width), std::max(current_height, height));
}

void destroy_main_window(GLFWwindow* window) {
    glfwDestroyWindow(window);
    glfwTerminate();
}
