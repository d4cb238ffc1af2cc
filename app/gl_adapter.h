#pragma once

#include <vector>

#include "sysinfo/graphics_adapter.h"

namespace vornmark::app {

// What the current OpenGL context says about the adapter behind it: the renderer's
// name and its dedicated video memory where the driver reports it
// (GL_NVX_gpu_memory_info, or GLX_MESA_query_renderer for a card that does not
// share system memory). A software renderer reports none. Empty without a context.
std::vector<GraphicsAdapter> gl_graphics_adapters();

}  // namespace vornmark::app
