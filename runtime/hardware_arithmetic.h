// The analysis' arithmetic where the hardware keeps the exception flags (the trap and the
// flag builds): the plain double operations, which raise the flags themselves.
#pragma once

#include "quick_flags.h"

struct HardwareArithmetic {
    static double sum(double a, double b) { return a + b; }
    static double difference(double a, double b) { return a - b; }
    static double product(double a, double b) { return a * b; }
    static double quotient(double a, double b) { return a / b; }
    static float rounding(double x) { return static_cast<float>(x); }
    // The comparison itself raises the flag: nothing to do beside it.
    static bool unordered(double, double) { return false; }
    static bool unorderedEquality(double, double) { return false; }
    // A matrix product's entry summed without flag tests stands: the hardware raised them.
    template <typename Resum>
    static float checkedSum(float sum, Resum) { return sum; }

    template <typename... Value>
    static bool flagsMayBeRaised(Value... value) { return hardwareFaultFlagsMayBeRaised(value...); }
};
