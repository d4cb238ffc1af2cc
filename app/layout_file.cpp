#include "app/layout_file.h"

#include <filesystem>
#include <system_error>

#include <imgui.h>

#include "history/history_path.h"
#include "history/read_whole_file.h"
#include "history/replace_file.h"
#include "history/utf8_path.h"

namespace vornmark::app {

std::string layout_file_path(std::string_view history_path, std::string_view executable_path) {
    if (history_path == history_path_beside(executable_path)) return {};
    const std::string folder = executable_directory(history_path);
    if (folder.size() >= history_path.size()) return {};
    // The folder and the separator the history's path uses.
    return std::string(history_path.substr(0, folder.size() + 1)) + "imgui.ini";
}

LayoutFile::LayoutFile(std::string path) : path_(std::move(path)) {
    if (path_.empty()) return;
    ImGui::GetIO().IniFilename = nullptr;
    std::string text;
    if (read_whole_file(path_, text)) ImGui::LoadIniSettingsFromMemory(text.data(), text.size());
}

void LayoutFile::save_when_asked() {
    if (!path_.empty() && ImGui::GetIO().WantSaveIniSettings) save();
}

void LayoutFile::save() {
    if (path_.empty()) return;
    std::size_t size = 0;
    const char* text = ImGui::SaveIniSettingsToMemory(&size);
    std::error_code error;
    std::filesystem::create_directories(path_from_utf8(path_).parent_path(), error);
    replace_file_contents(path_, std::string_view(text, size));
}

}  // namespace vornmark::app
