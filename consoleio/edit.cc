// Numeric output editing. Real values are expanded exactly in decimal by big-integer
// arithmetic, so the digits printed are those of the stored binary value.
#include "consoleio/edit.h"

#include <bit>
#include <vector>

namespace {

// A non-negative big integer in base 10^9, least significant limb first.
class DecimalBigInteger {
public:
    explicit DecimalBigInteger(std::uint64_t value) {
        do {
            limbs_.push_back(static_cast<std::uint32_t>(value % BASE));
            value /= BASE;
        } while (value != 0);
    }

    // Multiplies by `factor`, which must stay below 2^32 so that limb times factor plus
    // carry fits in 64 bits.
    void multiply(std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (auto& limb : limbs_) {
            std::uint64_t product = static_cast<std::uint64_t>(limb) * factor + carry;
            limb = static_cast<std::uint32_t>(product % BASE);
            carry = product / BASE;
        }
        while (carry != 0) {
            limbs_.push_back(static_cast<std::uint32_t>(carry % BASE));
            carry /= BASE;
        }
    }

    void multiplyByPowerOfTwo(int power) {
        for (; power >= 31; power -= 31) multiply(1u << 31);
        if (power > 0) multiply(1u << power);
    }

    void multiplyByPowerOfFive(int power) {
        constexpr std::uint32_t FIVE_TO_13 = 1220703125u;  // largest power of 5 below 2^32
        for (; power >= 13; power -= 13) multiply(FIVE_TO_13);
        std::uint32_t rest = 1;
        for (; power > 0; --power) rest *= 5;
        if (rest != 1) multiply(rest);
    }

    // The decimal digits, most significant first, with no leading zeros.
    std::string toString() const {
        std::string text = std::to_string(limbs_.back());
        char chunk[10];
        for (auto limb = limbs_.rbegin() + 1; limb != limbs_.rend(); ++limb) {
            std::uint32_t value = *limb;
            for (int i = 8; i >= 0; --i) {
                chunk[i] = static_cast<char>('0' + value % 10);
                value /= 10;
            }
            text.append(chunk, 9);
        }
        return text;
    }

private:
    static constexpr std::uint32_t BASE = 1000000000u;
    std::vector<std::uint32_t> limbs_;
};

DecimalDigits specialValue(std::uint64_t bits) {
    DecimalDigits number;
    number.valid = false;
    const std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t quietBit = std::uint64_t{1} << 51;
    const bool negative = (bits >> 63) != 0;
    if (mantissa == 0) number.digits = "1#INF";
    else if ((mantissa & quietBit) == 0) number.digits = "1#SNAN";
    else if (negative && mantissa == quietBit) number.digits = "1#IND";  // the default NaN
    else number.digits = "1#QNAN";
    return number;
}

// Writes `value` with an always-present sign and at least `minimumDigits` digits.
// Returns false when the value needs more digits than that.
bool appendSignedExponent(std::string& out, int value, int minimumDigits) {
    out += value < 0 ? '-' : '+';
    std::string digits = std::to_string(value < 0 ? -static_cast<long long>(value) : value);
    if (static_cast<int>(digits.size()) > minimumDigits) return false;
    out.append(static_cast<std::size_t>(minimumDigits) - digits.size(), '0');
    out += digits;
    return true;
}

}  // namespace

DecimalDigits toDecimalDigits(double value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    if (biasedExponent == 0x7FF) return specialValue(bits);

    DecimalDigits number;
    if (biasedExponent == 0 && mantissa == 0) {
        number.digits = "0";  // also for a negative zero, which keeps a blank sign
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
    while ((mantissa & 1) == 0) {
        mantissa >>= 1;
        ++power;
    }

    // With a negative power, mantissa / 2^k = mantissa * 5^k / 10^k: the digits are those
    // of the integer mantissa * 5^k, and the decimal point moves k places left.
    DecimalBigInteger big(mantissa);
    int decimalShift = 0;
    if (power >= 0) {
        big.multiplyByPowerOfTwo(power);
    } else {
        big.multiplyByPowerOfFive(-power);
        decimalShift = power;
    }
    std::string all = big.toString();
    number.exponent = static_cast<std::int32_t>(all.size()) + decimalShift;

    // 18 digits of the exact expansion (further digits cut), rounded half up on the 18th.
    std::string digits = all.substr(0, DECIMAL_DIGITS_KEPT + 1);
    digits.resize(DECIMAL_DIGITS_KEPT + 1, '0');
    const bool roundUp = digits.back() >= '5';
    digits.pop_back();
    if (roundUp) {
        int i = DECIMAL_DIGITS_KEPT - 1;
        while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') {
            digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++digits[static_cast<std::size_t>(i)];
        } else {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++number.exponent;
        }
    }
    const auto last = digits.find_last_not_of('0');
    digits.resize(last + 1);  // the first digit is never zero
    number.digits = std::move(digits);
    return number;
}

bool roundDigits(int count, DecimalDigits& number) {
    if (count < 0) count = 0;
    std::string& digits = number.digits;
    const auto kept = static_cast<std::size_t>(count);
    if (kept >= digits.size()) return false;
    const bool roundUp = digits[kept] >= '5';
    digits.resize(kept);
    bool carriedOut = false;
    if (roundUp) {
        std::size_t i = kept;
        while (i > 0 && digits[i - 1] == '9') {
            digits[i - 1] = '0';
            --i;
        }
        if (i > 0) {
            ++digits[i - 1];
        } else {
            digits.assign(kept + 1, '0');
            digits[0] = '1';
            ++number.exponent;
            carriedOut = true;
        }
    }
    if (number.sign == '-' && digits.find_first_not_of('0') == std::string::npos)
        number.sign = ' ';
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
    DecimalDigits number = toDecimalDigits(value);
    if (!number.valid) {
        field.chars = number.digits;
        if (static_cast<std::int32_t>(field.chars.size()) < descriptor.width)
            field.chars.resize(static_cast<std::size_t>(descriptor.width), '.');
        return field;
    }

    const int d = descriptor.digits < 0 ? 0 : descriptor.digits;
    const int limit = doublePrecision ? DOUBLE_DIGIT_LIMIT : SINGLE_DIGIT_LIMIT;
    roundDigits(d < limit ? d : limit, number);

    if (number.sign == '-') field.chars += '-';
    else if (descriptor.plusSign) field.chars += '+';
    if (d == 0) field.chars += '0';
    field.chars += '.';
    for (int i = 0; i < d; ++i) {
        const auto index = static_cast<std::size_t>(i);
        field.chars += index < number.digits.size() ? number.digits[index] : '0';
    }

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
