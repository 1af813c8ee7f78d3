// The analysis' arithmetic: operands are widened to double, an expression is evaluated in
// double, and its result is rounded to float exactly where it is stored. The rounding point
// and the comparisons that decide the path of the run are also where a floating-point fault
// is caught when the processor cannot trap it: there the exception flags are checked and a
// fault is reported as the trap would have reported it (runtime/fpe.h, flag mode). With the
// traps in force each costs one test of a flag.
#pragma once

#include "runtime/fpe.h"

inline double wide(float x) { return static_cast<double>(x); }

// A computed value stored as a float.
inline float narrow(double x) {
    const float stored = static_cast<float>(x);
    return floatingPointFlagMode && faultFlagsMayBeRaised(stored) ? checkedFloatingPointResult(stored)
                                                                : stored;
}

// A comparison whose outcome decides what the run does next.
inline bool decides(bool condition) {
    return floatingPointFlagMode && faultFlagsMayBeRaised(condition)
               ? checkedFloatingPointResult(condition)
               : condition;
}
