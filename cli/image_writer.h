#pragma once

#include <cstdint>
#include <string>

namespace vornmark::cli {

enum class ImageFormat { Unknown, Png, Ppm };

// By the file name's ending, ignoring case: ".png" or ".ppm".
ImageFormat image_format_for_path(const std::string& path);

// Empty when a file can be written at path (its folder exists and is writable, and the name is
// free or a writable file), otherwise why not; checked before a run so a long run is not wasted.
std::string image_path_problem(const std::string& path);

// Writes a width x height RGBA image (rows top to bottom) as PNG or binary PPM
// (P6, RGB, alpha dropped), chosen by the path's ending. Returns an empty text
// on success, otherwise why the file could not be written.
std::string write_image(const std::string& path, const std::uint8_t* rgba, std::int32_t width,
                        std::int32_t height);

}  // namespace vornmark::cli
