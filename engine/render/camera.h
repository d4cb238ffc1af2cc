#pragma once

#include <cstdint>

#include "base/preset.h"

#include "engine/render/ray.h"
#include "engine/render/vec3.h"

namespace vornmark {

// Pinhole camera; the image plane lies at distance 1 in front of the eye.
// Call prepare() after changing any setting and before use.
struct Camera {
    // Settings.
    std::int32_t image_width = preset_width;
    std::int32_t image_height = preset_height;
    double vertical_fov = 20.0;  // degrees
    Vec3 position{13.0, 2.0, 3.0};
    Vec3 target{0.0, 0.0, 0.0};
    Vec3 up{0.0, 1.0, 0.0};

    // Derived by prepare().
    Vec3 span_u;        // full width of the image plane, pointing right
    Vec3 span_v;        // full height of the image plane, pointing down
    Vec3 pixel_step_u;  // to the next column's pixel centre
    Vec3 pixel_step_v;  // to the next row's pixel centre
    Vec3 first_pixel;   // centre of the top-left pixel

    void prepare();

    // Ray through the image point (px, py) in pixel coordinates; the direction
    // is not normalised.
    Ray ray_through(double px, double py) const {
        return Ray(position, first_pixel + px * pixel_step_u + py * pixel_step_v - position);
    }
};

}  // namespace vornmark
