#include "engine/render/tangent.h"

namespace vornmark {

namespace {

// An unevaluated sum hi + lo with |lo| <= half an ulp of hi.
struct DoubleDouble {
    double hi;
    double lo;
};

DoubleDouble two_sum(double a, double b) {
    const double s = a + b;
    const double v = s - a;
    return {s, (a - (s - v)) + (b - v)};
}

DoubleDouble quick_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// Dekker's split and product: exact without a fused multiply-add.
DoubleDouble split(double a) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    const double hi = t - (t - a);
    return {hi, a - hi};
}

DoubleDouble two_product(double a, double b) {
    const double p = a * b;
    const DoubleDouble as = split(a);
    const DoubleDouble bs = split(b);
    const double error = ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo;
    return {p, error};
}

DoubleDouble add(DoubleDouble a, DoubleDouble b) {
    const DoubleDouble s = two_sum(a.hi, b.hi);
    const DoubleDouble t = two_sum(a.lo, b.lo);
    DoubleDouble r = quick_two_sum(s.hi, s.lo + t.hi);
    return quick_two_sum(r.hi, r.lo + t.lo);
}

DoubleDouble multiply(DoubleDouble a, DoubleDouble b) {
    const DoubleDouble p = two_product(a.hi, b.hi);
    return quick_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

DoubleDouble divide(DoubleDouble a, double b) {
    const double q1 = a.hi / b;
    const DoubleDouble p = two_product(q1, b);
    const DoubleDouble r = add(a, {-p.hi, -p.lo});
    const double q2 = r.hi / b;
    return quick_two_sum(q1, q2);
}

DoubleDouble divide(DoubleDouble a, DoubleDouble b) {
    const double q1 = a.hi / b.hi;
    DoubleDouble r = add(a, {-multiply(b, {q1, 0.0}).hi, -multiply(b, {q1, 0.0}).lo});
    const double q2 = r.hi / b.hi;
    r = add(r, {-multiply(b, {q2, 0.0}).hi, -multiply(b, {q2, 0.0}).lo});
    const double q3 = r.hi / b.hi;
    const DoubleDouble q = quick_two_sum(q1, q2);
    return add(q, {q3, 0.0});
}

}  // namespace

double tangent(double x) {
    // Taylor series of sine and cosine; for |x| < pi/2 the terms fall below 2^-110 of the sum
    // well before the 40th.
    const DoubleDouble x2 = two_product(x, x);
    DoubleDouble sine{0.0, 0.0};
    DoubleDouble cosine{0.0, 0.0};
    DoubleDouble sine_term{x, 0.0};
    DoubleDouble cosine_term{1.0, 0.0};
    for (int k = 1; k <= 40; ++k) {
        sine = add(sine, sine_term);
        cosine = add(cosine, cosine_term);
        const DoubleDouble minus_x2{-x2.hi, -x2.lo};
        sine_term = divide(multiply(sine_term, minus_x2), static_cast<double>((2 * k) * (2 * k + 1)));
        cosine_term = divide(multiply(cosine_term, minus_x2), static_cast<double>((2 * k - 1) * (2 * k)));
    }
    const DoubleDouble t = divide(sine, cosine);
    return t.hi + t.lo;
}

}  // namespace vornmark
