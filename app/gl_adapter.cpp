#include "app/gl_adapter.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>
#include <GL/glxext.h>

namespace vornmark::app {

namespace {

bool has_gl_extension(std::string_view name) {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const auto* ext = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (ext != nullptr && name == ext) {
            return true;
        }
    }
    return false;
}

bool has_glx_extension(std::string_view name) {
    Display* display = glXGetCurrentDisplay();
    if (display == nullptr) {
        return false;
    }
    const char* list = glXQueryExtensionsString(display, DefaultScreen(display));
    if (list == nullptr) {
        return false;
    }
    std::string_view rest(list);
    while (!rest.empty()) {
        const std::size_t space = rest.find(' ');
        if (rest.substr(0, space) == name) {
            return true;
        }
        if (space == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(space + 1);
    }
    return false;
}

std::uint64_t dedicated_video_bytes() {
    if (has_gl_extension("GL_NVX_gpu_memory_info")) {
        GLint kib = 0;
        glGetIntegerv(GL_GPU_MEMORY_INFO_DEDICATED_VIDMEM_NVX, &kib);
        return kib > 0 ? static_cast<std::uint64_t>(kib) * 1024u : 0u;
    }
    if (has_glx_extension("GLX_MESA_query_renderer")) {
        using QueryInteger = Bool (*)(int, unsigned int*);
        auto query = reinterpret_cast<QueryInteger>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXQueryCurrentRendererIntegerMESA")));
        if (query == nullptr) {
            return 0;
        }
        unsigned int unified = 1;
        unsigned int mib = 0;
        // Shared system memory (integrated and software renderers) is not dedicated.
        if (query(GLX_RENDERER_UNIFIED_MEMORY_ARCHITECTURE_MESA, &unified) && !unified &&
            query(GLX_RENDERER_VIDEO_MEMORY_MESA, &mib)) {
            return static_cast<std::uint64_t>(mib) * 1024u * 1024u;
        }
    }
    return 0;
}

}  // namespace

std::vector<GraphicsAdapter> gl_graphics_adapters() {
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (renderer == nullptr || *renderer == '\0') {
        return {};
    }
    return {GraphicsAdapter{renderer, dedicated_video_bytes()}};
}

}  // namespace vornmark::app
