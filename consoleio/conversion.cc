// The conversions of a typed value's text to a 32-bit integer or a single-precision real.
#include "consoleio/conversion.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "consoleio/decimal.h"

namespace {

// Significant digits of a real that take part in its value; later digits only scale it.
constexpr int SIGNIFICANT_DIGITS = 24;
// Exponent magnitudes saturate here; far beyond any range, so saturation cannot change
// whether a value is in range.
constexpr long EXPONENT_SATURATION = 5200;

// The single-precision range. As a double the bound lies just above the largest finite
// float, and every value up to it rounds to that float, so the narrowing cannot overflow.
constexpr double SINGLE_RANGE_BOUND = 3.402823466385289E+38;
static_assert(static_cast<float>(SINGLE_RANGE_BOUND) == std::numeric_limits<float>::max());

IntegerConversion integerFailure(ErrorCode code) { return {false, code, 0}; }
RealConversion realFailure(ErrorCode code) { return {false, code, 0.0f}; }
DoubleConversion doubleFailure(ErrorCode code) { return {false, code, 0.0}; }

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

std::int32_t applySign(std::uint32_t magnitude, bool negative) {
    return static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
}

// The digits after "#" in base `base`.
IntegerConversion parseBasedDigits(std::string_view digits, std::uint32_t base, bool negative) {
    const std::uint64_t limit = base == 10 ? 2147483647u : 4294967295u;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c == '#') return integerFailure(ErrorCode::BasedSecondHash);
        std::uint32_t digit = static_cast<std::uint32_t>(digitValue(c));
        if (digit >= base) return integerFailure(ErrorCode::IntegerSyntax);
        value = value * base + digit;
        if (value > limit) return integerFailure(ErrorCode::IntegerOverflow);
    }
    return {true, ErrorCode::IntegerSyntax, applySign(static_cast<std::uint32_t>(value), negative)};
}

}  // namespace

IntegerConversion parseIntegerToken(std::string_view token, TokenMode mode) {
    if (mode != TokenMode::Plain) return integerFailure(ErrorCode::QuotedNumericValue);
    if (token == "-2147483648") return {true, ErrorCode::IntegerSyntax, std::numeric_limits<std::int32_t>::min()};
    std::size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    std::uint32_t value = 0;
    bool anyDigit = false;
    for (; i < token.size(); ++i) {
        char c = token[i];
        if (c == CTRL_Z) break;  // ends a plain decimal number where it stands
        if (c == '#') {
            std::uint32_t base = anyDigit ? value : 16;
            if (base < 2 || base > 36) return integerFailure(ErrorCode::BasedBadBase);
            return parseBasedDigits(token.substr(i + 1), base, negative);
        }
        if (!isDecimalDigit(c)) return integerFailure(ErrorCode::IntegerSyntax);
        if (value > 214748364u) return integerFailure(ErrorCode::IntegerOverflow);
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > 2147483647u) return integerFailure(ErrorCode::IntegerOverflow);
        anyDigit = true;
    }
    return {true, ErrorCode::IntegerSyntax, applySign(value, negative)};
}

DoubleConversion parseRealTokenToDouble(std::string_view token, TokenMode mode) {
    if (mode != TokenMode::Plain) return doubleFailure(ErrorCode::QuotedNumericValue);
    const std::size_t n = token.size();
    std::size_t i = 0;
    bool negative = false;
    if (i < n && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';

    // Mantissa: the value is `significant` times 10 to the power `scale`.
    std::string significant;
    long scale = 0;
    bool anyDigit = false;
    for (; i < n && isDecimalDigit(token[i]); ++i) {
        anyDigit = true;
        if (significant.empty() && token[i] == '0') continue;
        if (significant.size() < SIGNIFICANT_DIGITS) significant += token[i];
        else ++scale;
    }
    if (i < n && token[i] == '.') {
        for (++i; i < n && isDecimalDigit(token[i]); ++i) {
            anyDigit = true;
            if (significant.empty() && token[i] == '0') {
                --scale;
            } else if (significant.size() < SIGNIFICANT_DIGITS) {
                significant += token[i];
                --scale;
            }
        }
    }
    if (!anyDigit) return doubleFailure(ErrorCode::RealSyntax);

    // Exponent: a letter E, e, D or d with an optional sign, or a sign alone.
    long exponent = 0;
    if (i < n) {
        const char c = token[i];
        const bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd';
        if (letter) ++i;
        bool exponentNegative = false;
        if (i < n && (token[i] == '+' || token[i] == '-')) exponentNegative = token[i++] == '-';
        else if (!letter) return doubleFailure(ErrorCode::RealSyntax);
        if (i >= n || !isDecimalDigit(token[i])) return doubleFailure(ErrorCode::RealSyntax);
        for (; i < n && isDecimalDigit(token[i]); ++i) {
            exponent = std::min(exponent * 10 + (token[i] - '0'), EXPONENT_SATURATION);
        }
        if (exponentNegative) exponent = -exponent;
    }
    if (i != n) return doubleFailure(ErrorCode::RealSyntax);

    // The digits as an integer with a decimal exponent, free of any decimal-point convention.
    double magnitude;
    if (!decimalToDouble(significant, scale + exponent, magnitude)) {
        return doubleFailure(ErrorCode::RealDoubleRange);
    }
    const std::uint64_t sign = negative ? std::uint64_t{1} << 63 : 0;
    return {true, ErrorCode::RealSyntax, std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) | sign)};
}

RealConversion parseRealToken(std::string_view token, TokenMode mode) {
    const DoubleConversion converted = parseRealTokenToDouble(token, mode);
    if (!converted.ok) return realFailure(converted.error);
    const double value = converted.value;
    if (value > SINGLE_RANGE_BOUND || value < -SINGLE_RANGE_BOUND) {
        return realFailure(ErrorCode::RealSingleRange);
    }
    // Within the bounds the narrowing rounds to at most the largest float: no overflow.
    return {true, ErrorCode::RealSyntax, static_cast<float>(value)};
}
