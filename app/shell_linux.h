#pragma once

#include <cstdint>
#include <string>

#include "app/gl_gpu_backend.h"
#include "app/shell.h"
#include "app/window_placement.h"
#include "vornmark_version.h"

struct GLFWwindow;

namespace vornmark::app {

inline constexpr int window_width = 1600;
inline constexpr int window_height = 900;
inline constexpr const char* window_title = "Vornmark v" VORNMARK_VERSION " - CPU Benchmark";

// The Linux shell: a GLFW window of 1600 x 900, or as large as fits the primary monitor's work area,
// centred in that area, with an OpenGL 3.3 core
// context (swap interval 1), the GUI's GLFW and OpenGL 3 backends, the preview texture.
class GlfwShell : public Shell {
public:
    GlfwShell() = default;
    ~GlfwShell() override;
    GlfwShell(const GlfwShell&) = delete;
    GlfwShell& operator=(const GlfwShell&) = delete;

    // The window system, the window, the GUI context (create_gui_context) and its backends.
    // On failure false with a one-line reason in `error`, and nothing left open.
    bool open(std::string& error);
    // The GUI backends and context, the GL objects, the window and the window system, in
    // that order. Also done by the destructor.
    void close();

    bool handle_events() override;
    void wait_for_events(double seconds) override;
    InputSeen take_input() override;
    double refresh_rate_hz() const override;
    void new_frame() override;
    void present_frame() override;
    void keep_minimum_size(int width, int height) override;
    Buffer back_buffer() const override { return buffer_; }
    IGpuBackend& gpu() override { return gpu_; }
    float dpi_scale() const override;

    // Called by the window system's callbacks.
    void saw(InputSeen input);
    void resized(int width, int height);

private:
    void fit_to_work_area();

    bool glfw_ready_ = false;
    GLFWwindow* window_ = nullptr;
    bool gui_ready_ = false;
    GlGpuBackend gpu_;
    InputSeen input_ = InputSeen::none;
    // A framebuffer size seen by the callback, applied by the next frame.
    bool resize_pending_ = false;
    Buffer buffer_;  // the viewport last applied
    std::uint32_t resize_width_ = 0;
    std::uint32_t resize_height_ = 0;
    // The minimum size last applied, and whether a resize came since (without a window
    // manager nothing but the shell holds the limit).
    int kept_width_ = 0;
    int kept_height_ = 0;
    bool resized_since_kept_ = false;
};

}  // namespace vornmark::app
