// Build tool, run on the build machine: writes the window icon as a Windows .ico file (PNG-free
// 32-bit images of the given sizes), from the same drawing the Linux window uses.
// Usage: make_icon OUT.ico SIZE [SIZE...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/window_icon.h"

namespace vornmark::app {

namespace {

void put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back((value >> (8 * i)) & 0xFF);
}

// One icon image: a BITMAPINFOHEADER of double height, BGRA rows bottom up, an all-zero AND mask.
std::vector<std::uint8_t> icon_image(int size) {
    const std::vector<std::uint8_t> rgba = draw_window_icon(size);
    std::vector<std::uint8_t> out;
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(size));
    put32(out, static_cast<std::uint32_t>(size * 2));
    put16(out, 1);
    put16(out, 32);
    for (int i = 0; i < 6; ++i) put32(out, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
            out.insert(out.end(), {p[2], p[1], p[0], p[3]});
        }
    }
    const std::size_t mask_row = ((static_cast<std::size_t>(size) + 31) / 32) * 4;
    out.insert(out.end(), mask_row * size, 0);
    return out;
}

}  // namespace

}  // namespace vornmark::app

using namespace vornmark;
using namespace vornmark::app;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_icon OUT.ico SIZE [SIZE...]\n");
        return 2;
    }
    std::vector<std::vector<std::uint8_t>> images;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 1 || size > 256) return 2;
        sizes.push_back(size);
        images.push_back(icon_image(size));
    }
    std::vector<std::uint8_t> file;
    put16(file, 0);
    put16(file, 1);
    put16(file, static_cast<unsigned>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        file.push_back(sizes[i] == 256 ? 0 : sizes[i]);
        file.push_back(sizes[i] == 256 ? 0 : sizes[i]);
        file.push_back(0);
        file.push_back(0);
        put16(file, 1);
        put16(file, 32);
        put32(file, static_cast<std::uint32_t>(images[i].size()));
        put32(file, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
    FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 1;
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}
