#include "app/window_icon.h"

#include <algorithm>
#include <cmath>

namespace vornmark::app {

namespace {

struct Rgba {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

// Colour at a point of the unit square (0..1 both ways, y down).
Rgba icon_colour(float x, float y) {
    // Rounded-square background.
    const float radius = 0.2f;
    const float qx = std::max(std::fabs(x - 0.5f) - (0.5f - radius), 0.0f);
    const float qy = std::max(std::fabs(y - 0.5f) - (0.5f - radius), 0.0f);
    if (qx * qx + qy * qy > radius * radius) {
        return {};
    }
    Rgba c{0.051f, 0.051f, 0.051f, 1.0f};

    // A sphere: Lambert shading from the upper left plus a little ambient light.
    const auto shade = [&](float cx, float cy, float r, float cr, float cg, float cb) {
        const float dx = (x - cx) / r;
        const float dy = (y - cy) / r;
        const float d2 = dx * dx + dy * dy;
        if (d2 > 1.0f) {
            return;
        }
        const float nz = std::sqrt(1.0f - d2);
        const float lx = -0.5f, ly = -0.6f, lz = 0.62f;
        const float lambert = std::max(dx * lx + dy * ly + nz * lz, 0.0f);
        const float light = 0.25f + 0.85f * lambert;
        c = Rgba{std::min(cr * light, 1.0f), std::min(cg * light, 1.0f), std::min(cb * light, 1.0f), 1.0f};
    };
    shade(0.46f, 0.44f, 0.33f, 0.0f, 0.831f, 0.667f);
    shade(0.72f, 0.72f, 0.16f, 1.0f, 0.42f, 0.208f);
    return c;
}

}  // namespace

std::vector<std::uint8_t> draw_window_icon(int size) {
    if (size <= 0) {
        return {};
    }
    constexpr int samples = 4;  // per axis, for smooth edges
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size) * static_cast<std::size_t>(size) * 4);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            Rgba sum;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const float x =
                        (static_cast<float>(px) + (static_cast<float>(sx) + 0.5f) / samples) / size;
                    const float y =
                        (static_cast<float>(py) + (static_cast<float>(sy) + 0.5f) / samples) / size;
                    const Rgba c = icon_colour(x, y);
                    // Premultiplied while summing, so edges do not darken.
                    sum.r += c.r * c.a;
                    sum.g += c.g * c.a;
                    sum.b += c.b * c.a;
                    sum.a += c.a;
                }
            }
            std::uint8_t* out = &pixels[(static_cast<std::size_t>(py) * size + px) * 4];
            const float n = samples * samples;
            const float alpha = sum.a / n;
            const auto byte = [](float v) {
                return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
            };
            out[0] = alpha > 0.0f ? byte(sum.r / sum.a) : 0;
            out[1] = alpha > 0.0f ? byte(sum.g / sum.a) : 0;
            out[2] = alpha > 0.0f ? byte(sum.b / sum.a) : 0;
            out[3] = byte(alpha);
        }
    }
    return pixels;
}

}  // namespace vornmark::app
