// The mathematical library on Windows: the C run-time's functions, with what they do
// differently from the C standard's rules put right. Their sine and cosine reduce large
// arguments with the processor's inexact pi, so the arguments are reduced exactly first;
// their power returns an infinity for a zero base and a negative exponent without raising
// the division-by-zero flag of that pole; and they report NaN operands, and the
// exponential's infinite arguments, as errors through the math error hook, where the
// standard has quiet results. Those operands are answered here.
#include "runtime/mathlib.h"

#include <cmath>

#include "runtime/trig.h"

namespace {

volatile double zero = 0.0;

}  // namespace

double libraryPow(double base, double exponent) {
    if (exponent == 0.0 || base == 1.0) return 1.0;  // even with a NaN operand
    if (std::isnan(base) || std::isnan(exponent)) return base + exponent;
    if (base == 0.0 && exponent < 0.0 && std::isfinite(exponent)) {
        // The traps are held: the division only raises the flag.
        volatile double pole = 1.0 / zero;
        (void)pole;
    }
    return std::pow(base, exponent);
}

double libraryCos(double x) { return reducedCos(x); }

double librarySin(double x) { return reducedSin(x); }

double libraryExp(double x) {
    if (std::isnan(x)) return x + x;
    if (std::isinf(x)) return x > 0 ? x : 0.0;
    return std::exp(x);
}
