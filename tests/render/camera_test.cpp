#include "engine/render/camera.h"

#include <gtest/gtest.h>

#include "tests/support/vec_near.h"

namespace vornmark {

TEST(Camera, DefaultsAreTheBenchmarkViewUnprepared) {
    const Camera camera;
    EXPECT_EQ(camera.image_width, 1920);
    EXPECT_EQ(camera.image_height, 1080);
    EXPECT_EQ(camera.vertical_fov, 20.0);
    expect_vec_near(camera.position, Vec3(13, 2, 3), 0.0);
    expect_vec_near(camera.target, Vec3(0, 0, 0), 0.0);
    expect_vec_near(camera.up, Vec3(0, 1, 0), 0.0);
    expect_vec_near(camera.first_pixel, Vec3(), 0.0);
    expect_vec_near(camera.pixel_step_u, Vec3(), 0.0);
}

TEST(Camera, PrepareDerivesTheImagePlaneAtDistanceOne) {
    Camera camera;
    camera.image_width = 2;
    camera.image_height = 2;
    camera.vertical_fov = 90.0;
    camera.position = Vec3(0, 0, 0);
    camera.target = Vec3(0, 0, -1);
    camera.up = Vec3(0, 1, 0);
    camera.prepare();
    expect_vec_near(camera.span_u, Vec3(2, 0, 0));
    expect_vec_near(camera.span_v, Vec3(0, -2, 0));
    expect_vec_near(camera.pixel_step_u, Vec3(1, 0, 0));
    expect_vec_near(camera.pixel_step_v, Vec3(0, -1, 0));
    expect_vec_near(camera.first_pixel, Vec3(-0.5, 0.5, -1));
}

TEST(Camera, PlaneStaysAtDistanceOneWhateverTheTargetDistance) {
    Camera camera;
    camera.image_width = 4;
    camera.image_height = 2;
    camera.vertical_fov = 90.0;
    camera.position = Vec3(1, 2, 3);
    camera.target = Vec3(1, 2, -100);
    camera.prepare();
    // Wide image: the width follows the aspect ratio.
    expect_vec_near(camera.span_u, Vec3(4, 0, 0));
    // Pixel centres sit at whole coordinates, so the image centre is (1.5, 0.5)
    // and its top-left corner (-0.5, -0.5).
    const Ray centre = camera.ray_through(1.5, 0.5);
    expect_vec_near(centre.origin, Vec3(1, 2, 3));
    expect_vec_near(centre.direction, Vec3(0, 0, -1));
    const Ray corner = camera.ray_through(-0.5, -0.5);
    expect_vec_near(corner.direction, Vec3(-2, 1, -1));
}

TEST(Camera, ReprepareAfterResizeKeepsTheFieldOfView) {
    Camera camera;
    camera.prepare();
    const Vec3 span_v = camera.span_v;
    camera.image_width = 48;
    camera.image_height = 27;
    camera.prepare();
    expect_vec_near(camera.span_v, span_v);
    expect_vec_near(camera.pixel_step_v, span_v * (1.0 / 27.0));
}

}  // namespace vornmark
