#pragma once

#include <cstdint>
#include <string>

enum class ImageFormat { Unknown, Png, Ppm };

// By the file name's ending, ignoring case: ".png" or ".ppm".
ImageFormat image_format_for_path(const std::string& path);

// Writes a width x height RGBA image (rows top to bottom) as PNG or binary PPM
// (P6, RGB, alpha dropped), chosen by the path's ending. Returns an empty text
// on success, otherwise why the file could not be written.
std::string write_image(const std::string& path, const std::uint8_t* rgba, std::int32_t width, std::int32_t height);
