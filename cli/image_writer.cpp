#include "cli/image_writer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

#include <stb/stb_image_write.h>

namespace {

bool ends_with_ignoring_case(const std::string& text, const std::string& ending) {
    if (text.size() < ending.size()) return false;
    return std::equal(ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

std::vector<std::uint8_t> drop_alpha(const std::uint8_t* rgba, std::size_t pixel_count) {
    std::vector<std::uint8_t> rgb(pixel_count * 3);
    for (std::size_t i = 0; i < pixel_count; ++i) std::memcpy(&rgb[i * 3], rgba + i * 4, 3);
    return rgb;
}

std::string failure_text(const std::string& path) {
    return "could not write '" + path + "': " + (errno != 0 ? std::strerror(errno) : "write failed");
}

}  // namespace

ImageFormat image_format_for_path(const std::string& path) {
    // The name needs something before its ending.
    if (path.size() > 4 && ends_with_ignoring_case(path, ".png")) return ImageFormat::Png;
    if (path.size() > 4 && ends_with_ignoring_case(path, ".ppm")) return ImageFormat::Ppm;
    return ImageFormat::Unknown;
}

std::string image_path_problem(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code error;
    const std::string quoted = '\'' + folder.string() + '\'';
    if (!std::filesystem::is_directory(folder, error)) return quoted + " is not an existing folder";
    if (access(folder.string().c_str(), W_OK) != 0) return quoted + " is not a writable folder";
    if (std::filesystem::is_directory(path, error)) return "a folder has that name";
    if (std::filesystem::exists(path, error) && access(path.c_str(), W_OK) != 0)
        return "the file there cannot be written";
    return {};
}

std::string write_image(const std::string& path, const std::uint8_t* rgba, std::int32_t width,
                        std::int32_t height) {
    const ImageFormat format = image_format_for_path(path);
    if (format == ImageFormat::Unknown)
        return "could not write '" + path + "': the file name must end in .png or .ppm";
    if (width < 1 || height < 1) return "could not write '" + path + "': the image is empty";

    const std::size_t pixel_count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::vector<std::uint8_t> rgb = drop_alpha(rgba, pixel_count);
    errno = 0;

    if (format == ImageFormat::Png) {
        if (stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) == 0)
            return failure_text(path);
        return {};
    }

    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return failure_text(path);
    file << "P6\n" << width << ' ' << height << "\n255\n";
    file.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    file.close();
    if (!file) return failure_text(path);
    return {};
}
