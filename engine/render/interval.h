#pragma once

namespace vornmark {

// Open window of ray parameters (surrounds) or closed clamping range (clamp).
struct Interval {
    double min = 0.0;
    double max = 0.0;

    constexpr Interval() = default;
    constexpr Interval(double min_, double max_) : min(min_), max(max_) {}

    constexpr bool surrounds(double x) const { return min < x && x < max; }

    constexpr double clamp(double x) const {
        if (x < min) return min;
        if (x > max) return max;
        return x;
    }
};

}  // namespace vornmark
