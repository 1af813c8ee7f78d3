// The floating-point exception flags as the run-time names them, and the copy of them that
// the analysis' arithmetic keeps in software where the machine keeps none (WebAssembly has
// neither flags nor traps) or where a build asks for it.
//
// In a software-flag build every operation of the analysis' arithmetic (analysis/rounding.h)
// raises invalid operation, division by zero and overflow into signalState.softwareFlags
// exactly as IEEE 754 hardware raises them into its status register, and the check points
// read that word instead of the hardware's. Each operation costs a test of its result: only
// a result that is not finite can come from a raising operation, and only then are the
// operands looked at.
#pragma once

#include <cmath>

#include "runtime/signal_state.h"

// The flags, as a set. The platform layer maps its own to these.
constexpr int FP_FLAG_INVALID = 0x01;
constexpr int FP_FLAG_DIVIDE_BY_ZERO = 0x04;
constexpr int FP_FLAG_OVERFLOW = 0x08;
constexpr int FP_FLAG_UNDERFLOW = 0x10;
constexpr int FP_FLAG_INEXACT = 0x20;
// The three that end the run.
constexpr int FP_FAULT_FLAGS = FP_FLAG_INVALID | FP_FLAG_DIVIDE_BY_ZERO | FP_FLAG_OVERFLOW;
// Set with FP_FLAG_INVALID when the invalid operation was the x87 unit's register stack check.
constexpr int FP_FLAG_STACK_FAULT = 0x40000000;

// signalState.softwareFlags: the flags raised by the analysis' arithmetic since they were
// last cleared (software-flag builds only; 0 otherwise). Only the three faults are kept:
// underflow and inexact are never reported.

// The flags an operation raised, from its operands and its result, for a result that is not
// finite (the only results a raising operation gives, but for a signaling NaN operand, which
// gives a quiet NaN). Out of line: they run only on the rare path.
int flagsOfSum(double a, double b, double result);         // a + b and a - b
int flagsOfProduct(double a, double b, double result);     // a * b
int flagsOfQuotient(double a, double b, double result);    // a / b
int flagsOfRounding(double x);                             // a double rounded to float
// An ordered comparison (<, <=, >, >=) meets a NaN: invalid. An equality test raises it only
// for a signaling NaN.
int flagsOfOrderedComparison(double a, double b);
int flagsOfEquality(double a, double b);

// The error type (MATH_DOMAIN, MATH_SING, MATH_OVERFLOW; 0 for none, or for an underflow,
// which is accepted silently) of a library result, classified from its arguments and its
// result as the C standard's rules for IEEE arithmetic define them.
int libraryErrorOfPow(double base, double exponent, double result);
int libraryErrorOfExp(double x, double result);
int libraryErrorOfCosOrSin(double x);

// The operations, with their flags raised. Inline, for the common path.
inline void raiseSoftwareFlags(int flags) { signalState.softwareFlags |= flags; }

inline double softwareSum(double a, double b) {
    const double result = a + b;
    if (!std::isfinite(result)) [[unlikely]] raiseSoftwareFlags(flagsOfSum(a, b, result));
    return result;
}
inline double softwareDifference(double a, double b) {
    const double result = a - b;
    if (!std::isfinite(result)) [[unlikely]] raiseSoftwareFlags(flagsOfSum(a, -b, result));
    return result;
}
inline double softwareProduct(double a, double b) {
    const double result = a * b;
    if (!std::isfinite(result)) [[unlikely]] raiseSoftwareFlags(flagsOfProduct(a, b, result));
    return result;
}
inline double softwareQuotient(double a, double b) {
    const double result = a / b;
    if (!std::isfinite(result)) [[unlikely]] raiseSoftwareFlags(flagsOfQuotient(a, b, result));
    return result;
}
inline float softwareRounding(double x) {
    const float result = static_cast<float>(x);
    if (!std::isfinite(result)) [[unlikely]] raiseSoftwareFlags(flagsOfRounding(x));
    return result;
}
inline bool softwareUnordered(double a, double b) {
    if (std::isunordered(a, b)) [[unlikely]] {
        raiseSoftwareFlags(flagsOfOrderedComparison(a, b));
        return true;
    }
    return false;
}
inline bool softwareUnorderedEquality(double a, double b) {
    if (std::isunordered(a, b)) [[unlikely]] {
        raiseSoftwareFlags(flagsOfEquality(a, b));
        return true;
    }
    return false;
}
