#include "app/window_placement.h"

#include <algorithm>

namespace vornmark::app {

WindowArea fitted_window(const WindowArea& work_area, int width, int height) {
    WindowArea window;
    window.width = std::min(width, work_area.width);
    window.height = std::min(height, work_area.height);
    window.x = work_area.x + (work_area.width - window.width) / 2;
    window.y = work_area.y + (work_area.height - window.height) / 2;
    return window;
}

WindowArea kept_in_area(const WindowArea& work_area, const WindowArea& window) {
    WindowArea kept = window;
    kept.x = std::max(work_area.x, std::min(window.x, work_area.x + work_area.width - window.width));
    kept.y = std::max(work_area.y, std::min(window.y, work_area.y + work_area.height - window.height));
    return kept;
}

}  // namespace vornmark::app
