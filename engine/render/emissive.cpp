#include "engine/render/emissive.h"

namespace vornmark {

Emissive::Emissive(const Vec3& emission_) : emission(emission_) {}

bool Emissive::scatter(const Ray&, const HitRecord&, Vec3&, Ray&, Rng&) const {
    return false;
}

Vec3 Emissive::emitted() const {
    return emission;
}

}  // namespace vornmark
