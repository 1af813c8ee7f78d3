// The analysis' arithmetic: operands are widened to double, an expression is evaluated in
// double, and its result is rounded to float exactly where it is stored. The rounding point
// and the comparisons that decide the path of the run are also where a floating-point fault
// is caught when the processor cannot trap it: there the exception flags are checked and a
// fault is reported as the trap would have reported it (runtime/fpe.h, flag mode). With the
// traps in force each costs one test of a flag.
//
// Every value the analysis computes is a Wide: a double whose operations are those of the
// build's fault mode (runtime/fault-*/fault_mode.h): in a software-flag build they raise
// invalid operation, division by zero and overflow into the software flags as the hardware
// raises them into its own (runtime/fpflags.h); elsewhere they are the plain double
// operations. A Wide is made only from a stored float (wide), a
// constant, or a library function's result, and leaves only as a stored float (narrow,
// rounded) or a decided comparison: a double computed beside the type does not compile.
#pragma once

#include <cmath>

#include "runtime/fpe.h"

class Wide {
public:
    Wide() = default;
    // Constants only: a double known at run time has no way in.
    consteval Wide(double constant) : value_(constant) {}

    friend Wide wide(float x);
    friend float rounded(Wide x);
    template <typename Left, typename Right>
    friend float roundedSumOfProducts(int n, Left left, Right right);
    friend Wide abs(Wide x) { return Wide(Raw{}, std::fabs(x.value_)); }
    friend Wide operator-(Wide x) { return Wide(Raw{}, -x.value_); }

    friend Wide operator+(Wide a, Wide b) {
        return Wide(Raw{}, FaultArithmetic::sum(a.value_, b.value_));
    }
    friend Wide operator-(Wide a, Wide b) {
        return Wide(Raw{}, FaultArithmetic::difference(a.value_, b.value_));
    }
    friend Wide operator*(Wide a, Wide b) {
        return Wide(Raw{}, FaultArithmetic::product(a.value_, b.value_));
    }
    friend Wide operator/(Wide a, Wide b) {
        return Wide(Raw{}, FaultArithmetic::quotient(a.value_, b.value_));
    }

    // Ordered comparisons raise invalid when they meet a NaN; equality tests do not.
    friend bool operator<(Wide a, Wide b) { return !unordered(a, b) && a.value_ < b.value_; }
    friend bool operator>(Wide a, Wide b) { return !unordered(a, b) && a.value_ > b.value_; }
    friend bool operator<=(Wide a, Wide b) { return !unordered(a, b) && a.value_ <= b.value_; }
    friend bool operator>=(Wide a, Wide b) { return !unordered(a, b) && a.value_ >= b.value_; }
    friend bool operator==(Wide a, Wide b) {
        if (FaultArithmetic::unorderedEquality(a.value_, b.value_)) return false;
        return a.value_ == b.value_;
    }

    // The library's power, cosine, sine and exponential (runtime/fpe.h).
    friend Wide pow(Wide base, Wide exponent) { return Wide(Raw{}, mathPow(base.value_, exponent.value_)); }
    friend Wide cos(Wide x) { return Wide(Raw{}, mathCos(x.value_)); }
    friend Wide sin(Wide x) { return Wide(Raw{}, mathSin(x.value_)); }
    friend Wide exp(Wide x) { return Wide(Raw{}, mathExp(x.value_)); }

private:
    struct Raw {};
    Wide(Raw, double value) : value_(value) {}

    static bool unordered(Wide a, Wide b) { return FaultArithmetic::unordered(a.value_, b.value_); }

    double value_;
};

inline Wide wide(float x) { return Wide(Wide::Raw{}, static_cast<double>(x)); }

// A computed value rounded to float, with no check: for the running sums of the matrix
// products, which are checked once at their end.
inline float rounded(Wide x) {
    return FaultArithmetic::rounding(x.value_);
}

// The running sum of the products left(l) * right(l), l = 0 ... n - 1, starting at 0 and
// rounded to float after every term: an entry of a matrix product. In a software-flag build
// the terms are first summed without their flag tests, and an entry is summed again with
// them only when it did not end finite: an operation raises a flag only with a result that is
// not finite, and once the running sum is not finite it stays so (an infinity or a NaN
// added to anything is not finite, and rounds to float as it is), so an entry that ends
// finite raised none.
template <typename Left, typename Right>
inline float roundedSumOfProducts(int n, Left left, Right right) {
    float sum = 0.0f;
    for (int l = 0; l < n; ++l)
        sum = static_cast<float>(static_cast<double>(sum) + left(l).value_ * right(l).value_);
    return FaultArithmetic::checkedSum(sum, [&] {
        float checked = 0.0f;
        for (int l = 0; l < n; ++l) checked = rounded(wide(checked) + left(l) * right(l));
        return checked;
    });
}

// A computed value stored as a float.
inline float narrow(Wide x) {
    const float stored = rounded(x);
    return signalState.flagMode && faultFlagsMayBeRaised(stored) ? checkedFloatingPointResult(stored)
                                                                : stored;
}

// A comparison whose outcome decides what the run does next.
inline bool decides(bool condition) {
    return signalState.flagMode && faultFlagsMayBeRaised(condition)
               ? checkedFloatingPointResult(condition)
               : condition;
}
