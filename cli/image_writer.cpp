#include "cli/image_writer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <vector>

#include <stb/stb_image_write.h>

#include "history/history_path.h"
#include "history/utf8_path.h"

namespace vornmark::cli {

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

void append_bytes(void* context, void* data, int size) {
    auto* bytes = static_cast<std::string*>(context);
    bytes->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

// The file is opened through std::filesystem::path, so a UTF-8 name works on Windows too (the
// C library's fopen would read it in the process's code page).
std::string write_bytes(const std::string& path, const std::string& bytes) {
    errno = 0;
    try {
        std::ofstream file(path_from_utf8(path), std::ios::binary | std::ios::trunc);
        if (!file) return failure_text(path);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) return failure_text(path);
    } catch (const std::exception& failure) {
        return "could not write '" + path + "': " + failure.what();
    }
    return {};
}

}  // namespace

ImageFormat image_format_for_path(const std::string& path) {
    // The name needs something before its ending.
    if (path.size() > 4 && ends_with_ignoring_case(path, ".png")) return ImageFormat::Png;
    if (path.size() > 4 && ends_with_ignoring_case(path, ".ppm")) return ImageFormat::Ppm;
    return ImageFormat::Unknown;
}

std::string image_path_problem(const std::string& path) {
    try {
        const std::filesystem::path file = path_from_utf8(path);
        std::filesystem::path folder = file.parent_path();
        if (folder.empty()) folder = ".";
        std::error_code error;
        const std::string quoted = '\'' + utf8_from_path(folder) + '\'';
        if (!std::filesystem::is_directory(folder, error)) return quoted + " is not an existing folder";
        if (!directory_is_writable(utf8_from_path(folder))) return quoted + " is not a writable folder";
        if (std::filesystem::is_directory(file, error)) return "a folder has that name";
        if (std::filesystem::exists(file, error) && !file_is_writable(path))
            return "the file there cannot be written";
    } catch (const std::exception&) {
        return "'" + path + "' is not a valid file name";
    }
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

    std::string bytes;
    if (format == ImageFormat::Png) {
        if (stbi_write_png_to_func(append_bytes, &bytes, width, height, 3, rgb.data(), width * 3) == 0)
            return "could not write '" + path + "': the PNG could not be encoded";
    } else {
        bytes = "P6\n" + std::to_string(width) + ' ' + std::to_string(height) + "\n255\n";
        bytes.append(reinterpret_cast<const char*>(rgb.data()), rgb.size());
    }
    return write_bytes(path, bytes);
}

}  // namespace vornmark::cli
