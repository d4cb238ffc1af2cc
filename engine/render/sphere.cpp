#include "engine/render/sphere.h"

#include <cmath>
#include <utility>

namespace vornmark {

Sphere::Sphere(const Vec3& center_, double radius_, std::shared_ptr<Material> material_)
    : center(center_), radius(radius_), material(std::move(material_)) {}

bool Sphere::hit(const Ray& ray, Interval window, HitRecord& record) const {
    // a, h, c and the discriminant as dot() and length_squared() give them: the same operations
    // in the same order, so the same values, with h and c taken axis by axis and a last.
    const Vec3& direction = ray.direction;
    const double ocx = center.x - ray.origin.x;
    double h = direction.x * ocx;
    double c = ocx * ocx;
    const double ocy = center.y - ray.origin.y;
    h = h + direction.y * ocy;
    c = c + ocy * ocy;
    const double ocz = center.z - ray.origin.z;
    h = h + direction.z * ocz;
    c = c + ocz * ocz;
    c = c - radius * radius;
    const double a = length_squared(direction);
    const double discriminant = h * h - a * c;
    if (!(discriminant >= 0.0)) return false;  // also rejects NaN
    return finish_hit(ray, window, record, a, h, discriminant);
}

bool Sphere::finish_hit(const Ray& ray, Interval window, HitRecord& record, double a, double h,
                        double discriminant) const {
    const double s = std::sqrt(discriminant);
    const double inv = 1.0 / a;

    // The near root first: a ray from inside reports the exit point.
    double root = (h - s) * inv;
    if (!window.surrounds(root)) {
        root = (h + s) * inv;
        if (!window.surrounds(root)) return false;
    }

    record.t = root;
    record.point = ray.at(root);
    const Vec3 outward = (record.point - center) * (1.0 / radius);
    record.front_face = dot(ray.direction, outward) < 0.0;
    record.normal = record.front_face ? outward : -outward;
    // Copy-assignment takes the new share before releasing the old one.
    record.material = material;
    return true;
}

}  // namespace vornmark
