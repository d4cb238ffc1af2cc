#pragma once

namespace vornmark::app {

// Where the window goes on the screen, without the window system: both shells open it at its
// preferred size or, on a smaller work area (the screen less the taskbar or panels), at the
// largest size that fits, centred in that area; and a window made larger later stays in it.

// A rectangle in the screen's pixels: its top-left corner and its size.
struct WindowArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A window of `width` x `height` (frame included) shrunk to fit `work_area` where it is larger,
// and centred in it.
WindowArea fitted_window(const WindowArea& work_area, int width, int height);

// `window` moved, not resized, so that it lies inside `work_area` as far as its size allows (a
// window larger than the area keeps its top-left corner on it).
WindowArea kept_in_area(const WindowArea& work_area, const WindowArea& window);

}  // namespace vornmark::app
