#include "engine/render/camera.h"

#include "engine/render/tangent.h"

namespace vornmark {

void Camera::prepare() {
    constexpr double pi_over_360 = 0.008726646259971648;
    const double h = tangent(vertical_fov * pi_over_360);

    const double viewport_height = 2.0 * h;
    const double viewport_width =
        (1.0 / static_cast<double>(image_height)) * static_cast<double>(image_width) * viewport_height;

    const Vec3 w = unit(position - target);
    const Vec3 u = unit(cross(up, w));

    span_u = viewport_width * u;
    span_v = viewport_height * cross(u, w);

    pixel_step_u = span_u * (1.0 / static_cast<double>(image_width));
    pixel_step_v = span_v * (1.0 / static_cast<double>(image_height));

    first_pixel = position - w - span_u / 2.0 - span_v / 2.0 + (pixel_step_u + pixel_step_v) / 2.0;
}

}  // namespace vornmark
