// The flags of one operation from its operands and its result, as IEEE 754 arithmetic
// raises them (with the default, non-trapping handling), and the library errors of the
// power, exponential, cosine and sine from their arguments and results.
#include "runtime/fpflags.h"

#include <bit>
#include <cstdint>

#include "runtime/fpe.h"


namespace {

// A NaN whose quiet bit (the first bit of the fraction) is clear.
bool isSignaling(double x) {
    constexpr std::uint64_t QUIET_BIT = std::uint64_t{1} << 51;
    return std::isnan(x) && (std::bit_cast<std::uint64_t>(x) & QUIET_BIT) == 0;
}

bool eitherSignaling(double a, double b) { return isSignaling(a) || isSignaling(b); }

// A NaN result: a NaN operand passes through quietly (a signaling one raises invalid);
// otherwise the operation itself was invalid (infinity minus infinity, zero times
// infinity, zero over zero, infinity over infinity).
int flagsOfNaNResult(double a, double b) {
    if (eitherSignaling(a, b)) return FP_FLAG_INVALID;
    if (std::isnan(a) || std::isnan(b)) return 0;
    return FP_FLAG_INVALID;
}

// An infinite result from finite operands overflowed; from an infinite operand it is exact.
int flagsOfInfiniteResult(double a, double b) {
    return std::isfinite(a) && std::isfinite(b) ? FP_FLAG_OVERFLOW : 0;
}

}  // namespace

int flagsOfSum(double a, double b, double result) {
    return std::isnan(result) ? flagsOfNaNResult(a, b) : flagsOfInfiniteResult(a, b);
}

int flagsOfProduct(double a, double b, double result) {
    return std::isnan(result) ? flagsOfNaNResult(a, b) : flagsOfInfiniteResult(a, b);
}

int flagsOfQuotient(double a, double b, double result) {
    if (std::isnan(result)) return flagsOfNaNResult(a, b);
    // A finite nonzero dividend over zero is the division by zero; an infinite one over
    // zero is an exact infinity.
    if (b == 0.0) return std::isfinite(a) ? FP_FLAG_DIVIDE_BY_ZERO : 0;
    return flagsOfInfiniteResult(a, b);
}

int flagsOfRounding(double x) {
    if (std::isnan(x)) return isSignaling(x) ? FP_FLAG_INVALID : 0;
    return std::isfinite(x) ? FP_FLAG_OVERFLOW : 0;
}

int flagsOfOrderedComparison(double a, double b) {
    return std::isunordered(a, b) ? FP_FLAG_INVALID : 0;
}

int flagsOfEquality(double a, double b) { return eitherSignaling(a, b) ? FP_FLAG_INVALID : 0; }

int libraryErrorOfPow(double base, double exponent, double result) {
    if (eitherSignaling(base, exponent)) return MATH_DOMAIN;
    if (std::isnan(base) || std::isnan(exponent)) return 0;
    // Zero to a finite negative power is a pole (to the power minus infinity it is an exact
    // infinity).
    if (base == 0.0 && exponent < 0.0 && std::isfinite(exponent)) return MATH_SING;
    // A negative finite base to a finite power that is not an integer has no real value.
    if (base < 0.0 && std::isfinite(base) && std::isfinite(exponent) &&
        std::trunc(exponent) != exponent)
        return MATH_DOMAIN;
    if (std::isinf(result) && std::isfinite(base) && std::isfinite(exponent)) return MATH_OVERFLOW;
    return 0;
}

int libraryErrorOfExp(double x, double result) {
    if (isSignaling(x)) return MATH_DOMAIN;
    return std::isinf(result) && std::isfinite(x) ? MATH_OVERFLOW : 0;
}

int libraryErrorOfCosOrSin(double x) { return isSignaling(x) || std::isinf(x) ? MATH_DOMAIN : 0; }
