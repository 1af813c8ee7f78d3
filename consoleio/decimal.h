// The exact conversion of a decimal value to double, in integer arithmetic alone.
#pragma once

#include <string_view>

// The double of the significant digits (no leading zero; empty for zero) times
// 10^decimalExponent, rounded to a 64-bit significand and that to double, each to nearest
// with ties to even; false beyond the double range. No floating-point operation is made.
bool decimalToDouble(std::string_view digits, long decimalExponent, double& result);
