// The mathematical library on Windows: the C run-time's functions, with what they do
// differently from the C standard's rules put right. Their sine and cosine reduce large
// arguments with the processor's inexact pi, so the arguments are reduced exactly first;
// their power returns an infinity for a zero base and a negative exponent without raising
// the division-by-zero flag of that pole; they report NaN operands, and the exponential's
// infinite arguments, as errors through the math error hook, where the standard has quiet
// results, so those operands are answered here; and they report a domain error or an
// overflow through the hook alone, so the flags the standard asks for are raised here.
// Every function is called with the traps held: the operations that raise a flag do not
// trap.
#include "runtime/mathlib.h"

#include <cfloat>
#include <cmath>

#include "runtime/trig.h"

namespace {

const volatile double zero = 0.0;
const volatile double largest = DBL_MAX;
const volatile double smallest = DBL_MIN;

// The flags of a result of operands that are neither NaN nor a pole: invalid for a NaN,
// overflow for an infinity of finite operands, underflow for a result below the normal range.
double withStandardFlags(double result, bool finiteOperands) {
    volatile double raise = 0.0;
    if (std::isnan(result)) raise = zero / zero;
    else if (std::isinf(result) && finiteOperands) raise = largest * largest;
    else if (std::fabs(result) < DBL_MIN && finiteOperands) raise = smallest * smallest;
    (void)raise;
    return result;
}

}  // namespace

double libraryPow(double base, double exponent) {
    if (exponent == 0.0 || base == 1.0) return 1.0;  // even with a NaN operand
    if (std::isnan(base) || std::isnan(exponent)) return base + exponent;
    if (base == 0.0) {
        if (exponent < 0.0 && std::isfinite(exponent)) {
            volatile double pole = 1.0 / zero;  // the pole's division by zero
            (void)pole;
        }
        return std::pow(base, exponent);
    }
    return withStandardFlags(std::pow(base, exponent),
                             std::isfinite(base) && std::isfinite(exponent));
}

double libraryCos(double x) { return reducedCos(x); }

double librarySin(double x) { return reducedSin(x); }

double libraryExp(double x) {
    if (std::isnan(x)) return x + x;
    if (std::isinf(x)) return x > 0 ? x : 0.0;
    return withStandardFlags(std::exp(x), true);
}
