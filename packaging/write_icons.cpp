// Build-time tool: writes the program's icon, drawn by the window's own icon code, as PNG
// files in the freedesktop icon-theme layout.
// Usage: vornmark-write-icons DIR SIZE...  writes DIR/<SIZE>x<SIZE>/apps/vornmark.png

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <stb/stb_image_write.h>

#include "app/window_icon.h"

using namespace vornmark;
using namespace vornmark::app;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIR SIZE...\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string text = argv[i];
        int size = 0;
        try {
            size = std::stoi(text);
        } catch (const std::exception&) {
        }
        if (size < 1 || size > 1024 || std::to_string(size) != text) {
            std::fprintf(stderr, "%s: bad size '%s' (1 to 1024)\n", argv[0], text.c_str());
            return 2;
        }
        const std::filesystem::path folder = root / (text + "x" + text) / "apps";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) {
            std::fprintf(stderr, "%s: cannot create %s: %s\n", argv[0], folder.c_str(),
                         error.message().c_str());
            return 1;
        }
        const std::vector<std::uint8_t> pixels = draw_window_icon(size);
        const std::filesystem::path file = folder / "vornmark.png";
        if (stbi_write_png(file.c_str(), size, size, 4, pixels.data(), size * 4) == 0) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], file.c_str());
            return 1;
        }
    }
    return 0;
}
