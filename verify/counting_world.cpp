#include "verify/counting_world.h"

namespace vornmark {

bool CountingWorld::hit(const Ray& ray, Interval window, HitRecord& record) const {
    ++rays;
    return world_.hit(ray, window, record);
}

}  // namespace vornmark
