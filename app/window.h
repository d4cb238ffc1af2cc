#pragma once

#include <cstdint>
#include <string>

#include "vornmark_version.h"

struct GLFWwindow;

// A resize seen by the framebuffer-size callback, applied by the next frame.
// Written and read on the GUI thread only.
struct ResizeRequest {
    bool resize_pending = false;
    std::uint32_t resize_width = 0;
    std::uint32_t resize_height = 0;
};

inline constexpr int window_width = 1600;
inline constexpr int window_height = 900;
inline constexpr const char* window_title = "Vornmark v" VORNMARK_VERSION " - CPU Benchmark";

// Initialises GLFW and opens the program's window, centred on the primary monitor,
// with an OpenGL 3.3 core context made current and swap interval 1. The framebuffer
// callback fills `resize` (kept by pointer: it must outlive the window). On failure
// returns null with a one-line reason in `error`; GLFW is then terminated again.
GLFWwindow* create_main_window(ResizeRequest& resize, std::string& error);

// The window's scale relative to 96 DPI, from its content scale.
float window_dpi_scale(GLFWwindow* window);

// Keeps the window's content at least width x height pixels (as far as the primary monitor's work
// area allows), growing it now when it is smaller.
void keep_minimum_window_size(GLFWwindow* window, int width, int height);

// Destroys the window and terminates GLFW.
void destroy_main_window(GLFWwindow* window);
