#pragma once

struct GLFWwindow;

namespace vornmark::app {

// An OpenGL 3.3 core context on a hidden 64 x 64 window, current on the creating
// thread: for measuring and testing the GL code without the program's window.
// Needs a display; ok() is false without one.
class HiddenGlContext {
public:
    HiddenGlContext();
    ~HiddenGlContext();
    HiddenGlContext(const HiddenGlContext&) = delete;
    HiddenGlContext& operator=(const HiddenGlContext&) = delete;

    bool ok() const { return window != nullptr; }

private:
    bool glfw_ready = false;
    GLFWwindow* window = nullptr;
};

}  // namespace vornmark::app
