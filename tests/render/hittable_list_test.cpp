#include "engine/render/hittable_list.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/render/lambertian.h"
#include "engine/render/sphere.h"

namespace vornmark {

namespace {

std::shared_ptr<Material> grey() {
    return std::make_shared<Lambertian>(Vec3(0.5, 0.5, 0.5));
}

const Interval render_window(0.001, 1e30);
const Ray along_z(Vec3(0, 0, 0), Vec3(0, 0, 1));

}  // namespace

TEST(HittableList, EmptyListMissesAndLeavesRecordUnchanged) {
    const HittableList list;
    const auto previous = grey();
    HitRecord record;
    record.t = 3.0;
    record.material = previous;
    EXPECT_FALSE(list.hit(along_z, render_window, record));
    EXPECT_EQ(record.t, 3.0);
    EXPECT_EQ(record.material, previous);
}

TEST(HittableList, ReportsNearestHitWhateverTheOrder) {
    const auto near_material = grey();
    const auto far_material = grey();
    HittableList list;
    list.add(std::make_shared<Sphere>(Vec3(0, 0, 10), 1.0, far_material));
    list.add(std::make_shared<Sphere>(Vec3(0, 0, 5), 1.0, near_material));
    list.add(std::make_shared<Sphere>(Vec3(0, 0, 20), 1.0, far_material));
    HitRecord record;
    ASSERT_TRUE(list.hit(along_z, render_window, record));
    EXPECT_DOUBLE_EQ(record.t, 4.0);
    EXPECT_EQ(record.material, near_material);
}

TEST(HittableList, EqualDistanceGoesToTheObjectAddedFirst) {
    const auto first = grey();
    const auto second = grey();
    HittableList list;
    list.add(std::make_shared<Sphere>(Vec3(0, 0, 5), 1.0, first));
    list.add(std::make_shared<Sphere>(Vec3(0, 0, 5), 1.0, second));
    HitRecord record;
    ASSERT_TRUE(list.hit(along_z, render_window, record));
    EXPECT_EQ(record.material, first);
}

TEST(HittableList, MissOfEveryObjectLeavesRecordUnchanged) {
    HittableList list;
    list.add(std::make_shared<Sphere>(Vec3(0, 5, 5), 1.0, grey()));
    HitRecord record;
    record.t = 9.0;
    EXPECT_FALSE(list.hit(along_z, render_window, record));
    EXPECT_EQ(record.t, 9.0);
    EXPECT_EQ(record.material, nullptr);
}

TEST(HittableList, RespectsTheCallersWindow) {
    HittableList list;
    list.add(std::make_shared<Sphere>(Vec3(0, 0, 5), 1.0, grey()));
    HitRecord record;
    EXPECT_FALSE(list.hit(along_z, Interval(0.001, 4.0), record));
    ASSERT_TRUE(list.hit(along_z, Interval(4.5, 1e30), record));
    EXPECT_DOUBLE_EQ(record.t, 6.0);
}

TEST(HittableList, RecordKeepsOnlyItsOwnShareAfterTheQuery) {
    const auto material = grey();
    HittableList list;
    list.add(std::make_shared<Sphere>(Vec3(0, 0, 5), 1.0, material));
    HitRecord record;
    ASSERT_TRUE(list.hit(along_z, render_window, record));
    EXPECT_EQ(material.use_count(), 3);  // ours, the sphere's and the record's
}

}  // namespace vornmark
