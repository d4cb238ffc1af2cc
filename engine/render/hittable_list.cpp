#include "engine/render/hittable_list.h"

#include <utility>

namespace vornmark {

void HittableList::add(std::shared_ptr<Hittable> object) {
    objects.push_back(std::move(object));
}

bool HittableList::hit(const Ray& ray, Interval window, HitRecord& record) const {
    HitRecord temporary;
    bool hit_anything = false;
    double closest = window.max;

    for (const std::shared_ptr<Hittable>& object : objects) {
        if (object->hit(ray, Interval(window.min, closest), temporary)) {
            hit_anything = true;
            closest = temporary.t;
            record = temporary;  // shares the material with the temporary
        }
    }
    return hit_anything;
}

}  // namespace vornmark
