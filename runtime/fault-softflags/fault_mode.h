// Fault detection from exception flags the analysis' arithmetic keeps itself
// (runtime/fpflags.h): where the machine keeps none (WebAssembly) or its trap enables are
// not dependable (64-bit ARM). Every operation tests its result; the check points read the
// software's flags.
#pragma once

#include <cmath>

#include "runtime/fpflags.h"
#include "runtime/signal_state.h"

struct FaultArithmetic {
    static double sum(double a, double b) { return softwareSum(a, b); }
    static double difference(double a, double b) { return softwareDifference(a, b); }
    static double product(double a, double b) { return softwareProduct(a, b); }
    static double quotient(double a, double b) { return softwareQuotient(a, b); }
    static float rounding(double x) { return softwareRounding(x); }
    static bool unordered(double a, double b) { return softwareUnordered(a, b); }
    static bool unorderedEquality(double a, double b) { return softwareUnorderedEquality(a, b); }
    // A matrix product's entry summed without flag tests is summed again with them when it
    // did not end finite (only then can a term have raised one).
    template <typename Resum>
    static float checkedSum(float sum, Resum resum) {
        if (!std::isfinite(sum)) [[unlikely]] return resum();
        return sum;
    }

    template <typename... Value>
    static bool flagsMayBeRaised(Value...) { return (signalState.softwareFlags & FP_FAULT_FLAGS) != 0; }
};
