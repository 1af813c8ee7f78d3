// The conversions of a typed value's text (a token of the list-directed scanner) to a
// 32-bit integer or a single-precision real. They raise nothing: a refused text gives the
// error its statement raises.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/error.h"

// The longest token a value's text may have.
constexpr int TOKEN_CAPACITY = 260;

// Ctrl-Z: before a line end it marks the end of input, and it ends a plain decimal integer
// where it stands.
constexpr char CTRL_Z = 0x1a;

// How a value was written: plain, between parentheses, or between quotes.
enum class TokenMode { Plain, Parenthesized, Quoted };

// Results of the conversions: the value, or the error the text is refused with.
struct IntegerConversion {
    bool ok = false;
    ErrorCode error = ErrorCode::IntegerSyntax;
    std::int32_t value = 0;
};

struct RealConversion {
    bool ok = false;
    ErrorCode error = ErrorCode::RealSyntax;
    float value = 0.0f;
};

struct DoubleConversion {
    bool ok = false;
    ErrorCode error = ErrorCode::RealSyntax;
    double value = 0.0;
};

// Converts a (non-empty) token to a 32-bit integer: optional sign and decimal digits, or
// the based form [base]#digits. Raises nothing; the caller raises the error.
IntegerConversion parseIntegerToken(std::string_view token, TokenMode mode = TokenMode::Plain);

// Converts a (non-empty) token to a single-precision real. Raises nothing.
RealConversion parseRealToken(std::string_view token, TokenMode mode = TokenMode::Plain);

// The first stage of that conversion: the token's value in double precision. At most 24
// significant digits take part (later ones only scale the value) and exponent magnitudes
// saturate at 5200; the value is rounded to a 64-bit significand and that to double, each
// to nearest with ties to even. A value beyond the double range is refused (F6102); a
// value below it gives zero. Integer arithmetic alone: the floating-point environment
// plays no part. Raises nothing.
DoubleConversion parseRealTokenToDouble(std::string_view token, TokenMode mode = TokenMode::Plain);
