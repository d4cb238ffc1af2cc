#pragma once

#include <algorithm>
#include <cmath>

namespace vornmark {

// Point, direction and linear RGB colour, in double precision.
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr Vec3() = default;
    constexpr Vec3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator-(const Vec3& a) {
    return {-a.x, -a.y, -a.z};
}
inline Vec3 operator*(const Vec3& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline Vec3 operator*(double s, const Vec3& a) {
    return {s * a.x, s * a.y, s * a.z};
}

// Component-wise product, used to attenuate colours.
inline Vec3 operator*(const Vec3& a, const Vec3& b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}

// One reciprocal, then three multiplications.
inline Vec3 operator/(const Vec3& a, double s) {
    return a * (1.0 / s);
}

inline Vec3& operator+=(Vec3& a, const Vec3& b) {
    a = a + b;
    return a;
}

inline double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double length_squared(const Vec3& a) {
    return dot(a, a);
}
inline double length(const Vec3& a) {
    return std::sqrt(length_squared(a));
}

// No guard for the zero vector.
inline Vec3 unit(const Vec3& a) {
    return a * (1.0 / length(a));
}

inline bool is_near_zero(const Vec3& a) {
    constexpr double limit = 1e-8;
    return std::fabs(a.x) < limit && std::fabs(a.y) < limit && std::fabs(a.z) < limit;
}

// n is a unit normal.
inline Vec3 reflect(const Vec3& v, const Vec3& n) {
    return v - 2.0 * dot(v, n) * n;
}

// uv and n are unit vectors; ratio is the ratio of the refractive indices.
inline Vec3 refract(const Vec3& uv, const Vec3& n, double ratio) {
    const double cos_theta = std::min(dot(-uv, n), 1.0);
    const Vec3 r_perp = ratio * (uv + cos_theta * n);
    const Vec3 r_par = -std::sqrt(std::fabs(1.0 - length_squared(r_perp))) * n;
    return r_perp + r_par;
}

}  // namespace vornmark
