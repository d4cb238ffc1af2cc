#pragma once

#include <string>
#include <string_view>

namespace vornmark::app {

// Where the window keeps its layout, the GUI library's "imgui.ini": beside the history when the
// history lies in the user's data folder (an installed program, which may not write its own
// folder, and whose uninstall must leave nothing there); otherwise empty, for the library's own
// default, imgui.ini in the working directory (the portable and build-tree programs).
std::string layout_file_path(std::string_view history_path, std::string_view executable_path);

// Keeps the GUI's layout in `path`, a UTF-8 path, in place of the library's own file handling:
// read when made (before the first frame), written when the library asks and at the end, its
// folder made when missing. An empty path leaves the library's default as it is. A layout that
// cannot be written is not kept, and nothing else changes: it is a convenience.
class LayoutFile {
public:
    explicit LayoutFile(std::string path);
    LayoutFile(const LayoutFile&) = delete;
    LayoutFile& operator=(const LayoutFile&) = delete;

    // After each frame.
    void save_when_asked();
    // Before the GUI context goes.
    void save();

private:
    std::string path_;
};

}  // namespace vornmark::app
