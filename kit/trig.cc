#include "kit/trig.h"

#include <array>
#include <cmath>

namespace kit {
namespace {

// pi / 180, the double nearest it.
constexpr double RADIANS_PER_DEGREE = 0.017453292519943295;

// 1/n! for n up to 19, each rounded once by the compiler (a constant expression is rounded
// as IEEE says); n! itself is exact in double up to 22!.
constexpr std::array<double, 20> INVERSE_FACTORIAL = [] {
    std::array<double, 20> a{};
    double f = 1;
    for (int n = 0; n < 20; ++n) {
        if (n > 1) f *= n;
        a[n] = 1.0 / f;
    }
    return a;
}();

// 1/top! - x2 (1/(top-2)! - x2 (...)), down to 1/bottom!, by Horner's rule: the alternating
// tail of the sine's or cosine's Taylor series in x^2.
double seriesTail(double x2, int top, int bottom) {
    double p = INVERSE_FACTORIAL[top];
    for (int n = top - 2; n >= bottom; n -= 2) p = INVERSE_FACTORIAL[n] - x2 * p;
    return p;
}

// Taylor series on |x| <= pi/4: the first term left out is below 2^-60 of the result.
double sinPoly(double x) {
    const double x2 = x * x;
    return x - x * x2 * seriesTail(x2, 19, 3);
}

double cosPoly(double x) {
    const double x2 = x * x;
    // 1 - x^2/2 + x^4 p, with the large terms added last.
    const double tail = x2 * x2 * seriesTail(x2, 18, 4);
    return 1.0 - (x2 * 0.5 - tail);
}

}  // namespace

CosSin cosSinDegrees(double degrees) {
    if (!std::isfinite(degrees)) return {NAN, NAN};
    // sin(-a) = -sin(a), cos(-a) = cos(a): reduce the magnitude.
    const bool negative = degrees < 0;
    const double r = std::fmod(std::fabs(degrees), 360.0);  // exact, in [0, 360)
    // The nearest multiple of 90 (0 .. 4 quarters); d = r - 90 n is exact, |d| <= 45.
    int quarter = static_cast<int>(r / 90.0 + 0.5);
    if (quarter > 4) quarter = 4;
    double d = r - 90.0 * quarter;
    if (d > 45.0) {
        d -= 90.0;
        ++quarter;
    } else if (d < -45.0) {
        d += 90.0;
        --quarter;
    }
    const double x = d * RADIANS_PER_DEGREE;
    const double c = cosPoly(x), s = sinPoly(x);
    double cosine = 0, sine = 0;
    switch (quarter % 4) {
    case 0: cosine = c; sine = s; break;
    case 1: cosine = -s; sine = c; break;
    case 2: cosine = -c; sine = -s; break;
    default: cosine = s; sine = -c; break;
    }
    if (negative) sine = -sine;
    // No negative zero: 0 + (-0) is +0.
    return {cosine + 0.0, sine + 0.0};
}

}  // namespace kit
