#include "kit/trig.h"

#include <cmath>

namespace kit {
namespace {

// pi / 180, the double nearest it.
constexpr double RADIANS_PER_DEGREE = 0.017453292519943295;

// 1/n!, rounded once by the compiler (a constant expression is rounded as IEEE says).
consteval double inverseFactorial(int n) {
    double f = 1;
    for (int i = 2; i <= n; ++i) f *= i;  // exact up to 22!
    return 1.0 / f;
}

// Taylor series on |x| <= pi/4: the first term left out is below 2^-60 of the result.
double sinPoly(double x) {
    const double x2 = x * x;
    double p = inverseFactorial(19);
    p = inverseFactorial(17) - x2 * p;
    p = inverseFactorial(15) - x2 * p;
    p = inverseFactorial(13) - x2 * p;
    p = inverseFactorial(11) - x2 * p;
    p = inverseFactorial(9) - x2 * p;
    p = inverseFactorial(7) - x2 * p;
    p = inverseFactorial(5) - x2 * p;
    p = inverseFactorial(3) - x2 * p;
    return x - x * x2 * p;
}

double cosPoly(double x) {
    const double x2 = x * x;
    double p = inverseFactorial(18);
    p = inverseFactorial(16) - x2 * p;
    p = inverseFactorial(14) - x2 * p;
    p = inverseFactorial(12) - x2 * p;
    p = inverseFactorial(10) - x2 * p;
    p = inverseFactorial(8) - x2 * p;
    p = inverseFactorial(6) - x2 * p;
    p = inverseFactorial(4) - x2 * p;
    // 1 - x^2/2 + x^4 p, with the large terms added last.
    const double tail = x2 * x2 * p;
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
