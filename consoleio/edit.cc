// Numeric output editing. The decimal digits of a real are those of its exact binary
// value, so the digits printed are those of the stored value.
#include "consoleio/edit.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "consoleio/uint128.h"

namespace {

// The powers of five and of ten below 2^128.
constexpr int LARGEST_POWER_OF_FIVE = 55;
constexpr int LARGEST_POWER_OF_TEN = 38;

constexpr UInt128 power(int base, int k) { return k == 0 ? 1 : base * power(base, k - 1); }

template <std::size_t... K>
constexpr auto powersOf(int base, std::index_sequence<K...>) {
    return std::array<UInt128, sizeof...(K)>{power(base, static_cast<int>(K))...};
}
constexpr auto POWERS_OF_FIVE = powersOf(5, std::make_index_sequence<LARGEST_POWER_OF_FIVE + 1>());
constexpr auto POWERS_OF_TEN = powersOf(10, std::make_index_sequence<LARGEST_POWER_OF_TEN + 1>());

// The number of decimal digits of a positive 128-bit integer.
int decimalLength(UInt128 value) {
    // bit width times log10(2), within one of the answer
    const int estimate = (bitLength(value) * 1233) >> 12;
    return estimate + 1 - (value < POWERS_OF_TEN[static_cast<std::size_t>(estimate)] ? 1 : 0);
}

// The digit count of mantissa * 2^power exactly, when that is an integer below 2^128 times
// a power of ten (for a negative power, mantissa * 5^-power, the decimal point then moving
// -power places left), with its first 18 digits (fewer if it has fewer) in `text`.
// Returns 0 when it does not fit in 128 bits.
int exactSmallDigits(std::uint64_t mantissa, int power, char* text, int& decimalShift) {
    UInt128 exact = mantissa;
    decimalShift = 0;
    if (power >= 0) {
        if (std::bit_width(mantissa) + power > 128) return 0;
        exact <<= power;
    } else {
        if (-power > LARGEST_POWER_OF_FIVE) return 0;
        const UInt128 factor = POWERS_OF_FIVE[static_cast<std::size_t>(-power)];
        if (exact > ~UInt128{0} / factor) return 0;
        exact *= factor;
        decimalShift = power;
    }
    const int count = decimalLength(exact);
    constexpr int FIRST = DECIMAL_DIGITS_KEPT + 1;
    const UInt128 first = count > FIRST ? exact / POWERS_OF_TEN[static_cast<std::size_t>(count - FIRST)] : exact;
    std::to_chars(text, text + FIRST, static_cast<std::uint64_t>(first));
    return count;
}

// The decimal digits of a value without heap storage, for the editing of every printed
// real: up to 17 significant digits, no trailing zeros.
struct Digits {
    char sign = ' ';
    std::int32_t exponent = 0;
    char digits[DECIMAL_DIGITS_KEPT + 1] = {};
    int count = 0;
    const char* special = nullptr;  // the text of an infinity or not-a-number
};

const char* specialText(std::uint64_t bits) {
    const std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t quietBit = std::uint64_t{1} << 51;
    const bool negative = (bits >> 63) != 0;
    if (mantissa == 0) return "1#INF";
    if ((mantissa & quietBit) == 0) return "1#SNAN";
    if (negative && mantissa == quietBit) return "1#IND";  // the default NaN
    return "1#QNAN";
}

// Writes `value` with an always-present sign and at least `minimumDigits` digits.
// Returns false when the value needs more digits than that.
bool appendSignedExponent(std::string& out, int value, int minimumDigits) {
    out += value < 0 ? '-' : '+';
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value < 0 ? -static_cast<long long>(value) : value).ptr;
    const auto count = static_cast<int>(end - digits);
    if (count > minimumDigits) return false;
    out.append(static_cast<std::size_t>(minimumDigits - count), '0');
    out.append(digits, static_cast<std::size_t>(count));
    return true;
}

Digits exactDigits(double value) {
    Digits number;
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    if (biasedExponent == 0x7FF) {
        number.special = specialText(bits);
        return number;
    }
    if (biasedExponent == 0 && mantissa == 0) {
        number.digits[0] = '0';  // also for a negative zero, which keeps a blank sign
        number.count = 1;
        return number;
    }
    number.sign = (bits >> 63) != 0 ? '-' : ' ';

    // value = mantissa * 2^power exactly.
    int power;
    if (biasedExponent == 0) {
        power = -1074;
    } else {
        mantissa |= std::uint64_t{1} << 52;
        power = biasedExponent - 1075;
    }
    const int trailingZeros = std::countr_zero(mantissa);
    mantissa >>= trailingZeros;
    power += trailingZeros;

    char text[32];
    char* const digits = number.digits;
    int decimalShift = 0;
    const int count = exactSmallDigits(mantissa, power, text, decimalShift);
    if (count > 0) {
        // 18 digits of the exact expansion (further digits cut), rounded half up on the 18th.
        number.exponent = static_cast<std::int32_t>(count + decimalShift);
        const bool roundUp = count > DECIMAL_DIGITS_KEPT && text[DECIMAL_DIGITS_KEPT] >= '5';
        const int kept = std::min(count, DECIMAL_DIGITS_KEPT);
        std::memcpy(digits, text, static_cast<std::size_t>(kept));
        std::memset(digits + kept, '0', static_cast<std::size_t>(DECIMAL_DIGITS_KEPT - kept));
        if (roundUp) {
            int i = DECIMAL_DIGITS_KEPT - 1;
            while (i >= 0 && digits[i] == '9') digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                digits[0] = '1';
                ++number.exponent;
            }
        }
    } else {
        // An exact expansion beyond 128 bits. Halfway between two 17-digit values lies only
        // a value of exactly 18 digits, so rounding the exact value to the nearest 17
        // digits, as std::to_chars does, is rounding half up on the 18th: d.ddd...e+x.
        const double magnitude = std::fabs(value);
        const auto result = std::to_chars(text, text + sizeof text, magnitude,
                                          std::chars_format::scientific, DECIMAL_DIGITS_KEPT - 1);
        digits[0] = text[0];
        std::memcpy(digits + 1, text + 2, static_cast<std::size_t>(DECIMAL_DIGITS_KEPT - 1));
        int exponent = 0;
        std::from_chars(text + DECIMAL_DIGITS_KEPT + 3, result.ptr, exponent);
        if (text[DECIMAL_DIGITS_KEPT + 2] == '-') exponent = -exponent;
        number.exponent = exponent + 1;
    }
    number.count = DECIMAL_DIGITS_KEPT;
    while (digits[number.count - 1] == '0') --number.count;  // the first digit is never zero
    return number;
}

// Rounds the `length` digits at `digits` to `count` as roundDigits does, in place (a carry
// out of the first digit needs count + 1 places, which the digits cut off provide).
// Returns the new length.
int roundDigitText(char* digits, int length, int count, std::int32_t& exponent, char& sign,
                   bool& carriedOut) {
    carriedOut = false;
    if (count < 0) count = 0;
    if (count >= length) return length;
    const bool roundUp = digits[count] >= '5';
    length = count;
    if (roundUp) {
        int i = count;
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i > 0) {
            ++digits[i - 1];
        } else {
            std::memset(digits, '0', static_cast<std::size_t>(count + 1));
            digits[0] = '1';
            length = count + 1;
            ++exponent;
            carriedOut = true;
        }
    }
    bool allZero = true;
    for (int i = 0; i < length; ++i) allZero = allZero && digits[i] == '0';
    if (sign == '-' && allZero) sign = ' ';
    return length;
}

}  // namespace

DecimalDigits toDecimalDigits(double value) {
    const Digits exact = exactDigits(value);
    DecimalDigits number;
    if (exact.special != nullptr) {
        number.valid = false;
        number.digits = exact.special;
        return number;
    }
    number.sign = exact.sign;
    number.exponent = exact.exponent;
    number.digits.assign(exact.digits, static_cast<std::size_t>(exact.count));
    return number;
}

bool roundDigits(int count, DecimalDigits& number) {
    if (count < 0) count = 0;
    if (static_cast<std::size_t>(count) >= number.digits.size()) return false;
    bool carriedOut = false;
    const int length = roundDigitText(number.digits.data(), static_cast<int>(number.digits.size()),
                                      count, number.exponent, number.sign, carriedOut);
    number.digits.resize(static_cast<std::size_t>(length));
    return carriedOut;
}

EditedField editInteger(std::int32_t value, const EditDescriptor& descriptor) {
    EditedField field;
    const long long wide = value;
    const std::string digits = wide == 0 ? std::string() : std::to_string(wide < 0 ? -wide : wide);
    if (value < 0) field.chars += '-';
    else if (descriptor.plusSign && (descriptor.digits != 0 || !digits.empty())) field.chars += '+';
    const auto count = static_cast<std::int32_t>(digits.size());
    if (descriptor.digits > count)
        field.chars.append(static_cast<std::size_t>(descriptor.digits - count), '0');
    field.chars += digits;
    return field;
}

EditedField editReal(double value, bool doublePrecision, const EditDescriptor& descriptor) {
    EditedField field;
    Digits number = exactDigits(value);
    if (number.special != nullptr) {
        field.chars = number.special;
        if (static_cast<std::int32_t>(field.chars.size()) < descriptor.width)
            field.chars.resize(static_cast<std::size_t>(descriptor.width), '.');
        return field;
    }

    const int d = descriptor.digits < 0 ? 0 : descriptor.digits;
    const int limit = doublePrecision ? DOUBLE_DIGIT_LIMIT : SINGLE_DIGIT_LIMIT;
    bool carriedOut = false;
    number.count = roundDigitText(number.digits, number.count, d < limit ? d : limit,
                                  number.exponent, number.sign, carriedOut);

    if (number.sign == '-') field.chars += '-';
    else if (descriptor.plusSign) field.chars += '+';
    if (d == 0) field.chars += '0';
    field.chars += '.';
    const int shown = std::min(d, number.count);
    field.chars.append(number.digits, static_cast<std::size_t>(shown));
    field.chars.append(static_cast<std::size_t>(d - shown), '0');

    const int exponent = number.exponent;  // 0 for the value 0
    const int e = descriptor.exponentDigits;
    int exponentWidth = e;
    if (e == 2 && (exponent > 99 || exponent < -99)) {
        exponentWidth = 3;
    } else {
        field.chars += descriptor.code == EditCode::DoubleExponent ? 'D' : 'E';
    }
    if (!appendSignedExponent(field.chars, exponent, exponentWidth)) field.overflow = true;
    return field;
}
