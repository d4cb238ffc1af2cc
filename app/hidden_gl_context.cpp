#include "app/hidden_gl_context.h"

#include <GLFW/glfw3.h>

namespace vornmark::app {

HiddenGlContext::HiddenGlContext() {
    glfw_ready = glfwInit() == GLFW_TRUE;
    if (!glfw_ready) {
        return;
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    window = glfwCreateWindow(64, 64, "vornmark-gl", nullptr, nullptr);
    if (window != nullptr) {
        glfwMakeContextCurrent(window);
    }
}

HiddenGlContext::~HiddenGlContext() {
    if (window != nullptr) {
        glfwDestroyWindow(window);
    }
    if (glfw_ready) {
        glfwTerminate();
    }
}

}  // namespace vornmark::app
