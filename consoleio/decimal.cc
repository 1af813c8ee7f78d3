// The exact conversion of a decimal value to double.
//
// The value d * 10^e of the significant digits d and the decimal exponent e is rounded
// to the 64-bit significand of extended precision (to nearest, ties to even), and that
// value to double (to nearest, ties to even, at the last bit of a denormal when the value
// is that small); a value that rounds to 2^1024 or beyond is out of range. Extended
// precision's exponent range is far wider than double's, so its rounding is a plain 64-bit
// rounding for every value that can reach a nonzero double. All of it is integer
// arithmetic: the result does not depend on the rounding mode, the width of long double,
// or the floating-point environment, and raises no flag.
#include "consoleio/decimal.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>

#include "consoleio/uint128.h"

namespace {

constexpr int EXTENDED_BITS = 64;
constexpr int DOUBLE_BITS = 53;
constexpr int DOUBLE_MIN_EXPONENT = -1022;                            // of the smallest normal
constexpr int DOUBLE_LOWEST_BIT = DOUBLE_MIN_EXPONENT - DOUBLE_BITS + 1;  // 2^-1074
constexpr int DOUBLE_MAX_EXPONENT = 1023;

// A positive value q * 2^exponent; with `sticky` set the true value lies strictly between
// q * 2^exponent and (q + 1) * 2^exponent (a nonzero fraction was cut off below q's last
// bit), and q then has at least 66 bits, so the cut lies below any bit a rounding keeps.
struct BinaryValue {
    UInt128 q = 0;
    int exponent = 0;
    bool sticky = false;
};

// Rounds the value to a multiple of 2^lowest, to nearest with ties to even. The result
// may carry into a new leading bit (q becomes a power of two); it stays exact.
void roundAt(BinaryValue& value, int lowest) {
    if (lowest <= value.exponent) return;
    const int shift = lowest - value.exponent;
    value.exponent = lowest;
    if (shift > bitLength(value.q)) {
        // Below half of 2^lowest.
        value.q = 0;
        value.sticky = false;
        return;
    }
    const UInt128 half = static_cast<UInt128>(1) << (shift - 1);
    const UInt128 rest = value.q & ((half << 1) - 1);
    value.q >>= shift;
    if (rest > half || (rest == half && (value.sticky || (value.q & 1) != 0))) ++value.q;
    value.sticky = false;
}

// The value rounded to extended precision's 64 significant bits, then to double; false
// when that is 2^1024 or more, beyond the double range.
bool roundThroughExtended(BinaryValue value, double& result) {
    roundAt(value, value.exponent + bitLength(value.q) - EXTENDED_BITS);
    const int top = value.exponent + bitLength(value.q) - 1;  // exponent of the leading bit
    roundAt(value, std::max(top - DOUBLE_BITS + 1, DOUBLE_LOWEST_BIT));
    auto bits = static_cast<std::uint64_t>(value.q);
    const int length = bitLength(value.q);  // at most 54: 2^53 after a carry
    const int leading = value.exponent + length - 1;
    if (bits == 0) {
        result = 0.0;
        return true;
    }
    if (leading > DOUBLE_MAX_EXPONENT) return false;
    if (leading >= DOUBLE_MIN_EXPONENT) {
        // A normal double: the biased exponent, then the significand without its leading 1.
        constexpr std::uint64_t FRACTION_MASK = (std::uint64_t{1} << (DOUBLE_BITS - 1)) - 1;
        bits = length > DOUBLE_BITS ? bits >> (length - DOUBLE_BITS) : bits << (DOUBLE_BITS - length);
        const auto biased = static_cast<std::uint64_t>(leading + DOUBLE_MAX_EXPONENT);
        bits = (biased << (DOUBLE_BITS - 1)) | (bits & FRACTION_MASK);
    } else {
        // A denormal: its bits are the multiples of 2^-1074, with a biased exponent of 0.
        bits <<= value.exponent - DOUBLE_LOWEST_BIT;
    }
    result = std::bit_cast<double>(bits);
    return true;
}

// The value of at most 19 digits times 10^decimalExponent, for a small exponent, in 128-bit
// integers. False when the value is not of this kind.
bool shortDecimalValue(std::string_view digits, long decimalExponent, BinaryValue& value) {
    if (digits.size() > 19 || decimalExponent > 19 || decimalExponent < -18) return false;
    static constexpr std::uint64_t POWERS_OF_TEN[20] = {
        1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull,
        100000000ull, 1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull,
        10000000000000ull, 100000000000000ull, 1000000000000000ull, 10000000000000000ull,
        100000000000000000ull, 1000000000000000000ull, 10000000000000000000ull};
    std::uint64_t d = 0;
    for (char c : digits) d = d * 10 + static_cast<std::uint64_t>(c - '0');
    if (decimalExponent >= 0) {
        value = {static_cast<UInt128>(d) * POWERS_OF_TEN[decimalExponent], 0, false};
    } else {
        // (d * 2^(64 + z)) / 10^k keeps at least 68 bits of the quotient for k <= 18.
        const int z = std::countl_zero(d);
        const UInt128 dividend = static_cast<UInt128>(d << z) << 64;
        const std::uint64_t divisor = POWERS_OF_TEN[-decimalExponent];
        value = {dividend / divisor, -64 - z, dividend % divisor != 0};
    }
    return true;
}

// A nonnegative integer in 32-bit limbs, least significant first, with room for the
// conversion's operands: they stay below 2^872 (see decimalValue).
class BigInteger {
public:
    explicit BigInteger(std::uint32_t value) {
        if (value != 0) limbs_[size_++] = value;
    }

    bool isZero() const { return size_ == 0; }

    int bitLength() const {
        return size_ == 0 ? 0 : 32 * size_ - std::countl_zero(limbs_[size_ - 1]);
    }

    // this = this * factor + addend
    void multiplyAdd(std::uint32_t factor, std::uint32_t addend) {
        std::uint64_t carry = addend;
        for (int i = 0; i < size_; ++i) {
            carry += static_cast<std::uint64_t>(limbs_[i]) * factor;
            limbs_[i] = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
        if (carry != 0) append(static_cast<std::uint32_t>(carry));
    }

    void multiplyByPowerOfFive(long k) {
        constexpr std::uint32_t FIVE_TO_13 = 1220703125;  // the largest power of 5 in 32 bits
        for (; k >= 13; k -= 13) multiplyAdd(FIVE_TO_13, 0);
        std::uint32_t rest = 1;
        for (; k > 0; --k) rest *= 5;
        multiplyAdd(rest, 0);
    }

    void shiftLeft(int bits) {
        if (isZero()) return;
        const int limbShift = bits / 32;
        const int bitShift = bits % 32;
        if (bitShift != 0) {
            std::uint32_t carry = 0;
            for (int i = 0; i < size_; ++i) {
                const std::uint32_t limb = limbs_[i];
                limbs_[i] = (limb << bitShift) | carry;
                carry = limb >> (32 - bitShift);
            }
            if (carry != 0) append(carry);
        }
        if (limbShift != 0) {
            if (size_ + limbShift > LIMBS) std::abort();
            for (int i = size_ - 1; i >= 0; --i) limbs_[i + limbShift] = limbs_[i];
            for (int i = 0; i < limbShift; ++i) limbs_[i] = 0;
            size_ += limbShift;
        }
    }

    // Halves an even value.
    void shiftRightOne() {
        for (int i = 0; i < size_; ++i) {
            const std::uint32_t next = i + 1 < size_ ? limbs_[i + 1] : 0;
            limbs_[i] = (limbs_[i] >> 1) | (next << 31);
        }
        trim();
    }

    // this = this - other, for other <= this.
    void subtract(const BigInteger& other) {
        std::int64_t borrow = 0;
        for (int i = 0; i < size_; ++i) {
            std::int64_t difference =
                static_cast<std::int64_t>(limbs_[i]) - (i < other.size_ ? other.limbs_[i] : 0) - borrow;
            borrow = difference < 0 ? 1 : 0;
            limbs_[i] = static_cast<std::uint32_t>(difference + (borrow << 32));
        }
        trim();
    }

    friend bool operator>=(const BigInteger& a, const BigInteger& b) {
        if (a.size_ != b.size_) return a.size_ > b.size_;
        for (int i = a.size_ - 1; i >= 0; --i) {
            if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] > b.limbs_[i];
        }
        return true;
    }

private:
    static constexpr int LIMBS = 36;  // 1152 bits

    void append(std::uint32_t limb) {
        if (size_ == LIMBS) std::abort();  // beyond the proven bound: a fault of this file
        limbs_[size_++] = limb;
    }

    void trim() {
        while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
    }

    std::uint32_t limbs_[LIMBS] = {};
    int size_ = 0;
};

// Beyond these decimal exponents the result needs no arithmetic. With 1 <= d < 10^24:
// from 10^309 on a value lies beyond the double range, and below 10^-324 < 2^-1076 its
// roundings give at most 2^-1076, under half the smallest denormal, so 0.
constexpr long OVERFLOWING_EXPONENT = 309;
constexpr long VANISHING_EXPONENT = -348;

// The value of the digits times 10^decimalExponent for -348 < decimalExponent < 309, as a
// quotient of 66 or 67 bits and its sticky remainder: d * 10^e = d * 5^e * 2^e is
// numerator / denominator * 2^e with the power of 5 on the side its sign puts it, both
// scaled by a power of two so that the quotient's length is known, then divided bit by bit.
// The operands stay below 2^872: a numerator of at most 10^24 * 5^308 < 2^797 or a
// denominator of at most 5^347 < 2^806, and the other made at most 66 bits longer.
BinaryValue decimalValue(std::string_view digits, long decimalExponent) {
    // The quotient has at least 66 bits: the 64 a rounding keeps, the rounding bit, and one
    // more, so that the remainder's sticky bit lies below them all.
    constexpr int QUOTIENT_BITS = 66;
    BigInteger numerator(0);
    for (char c : digits) numerator.multiplyAdd(10, static_cast<std::uint32_t>(c - '0'));
    BigInteger denominator(1);
    if (decimalExponent >= 0) numerator.multiplyByPowerOfFive(decimalExponent);
    else denominator.multiplyByPowerOfFive(-decimalExponent);
    // With numerator.bitLength() == denominator.bitLength() + 66 the quotient lies in
    // (2^65, 2^67).
    const int scale = QUOTIENT_BITS - (numerator.bitLength() - denominator.bitLength());
    if (scale > 0) numerator.shiftLeft(scale);
    else denominator.shiftLeft(-scale);
    // Restoring division: numerator < 2 * (denominator * 2^66) at the start, and each step
    // takes one bit of the quotient with the divisor halved.
    denominator.shiftLeft(QUOTIENT_BITS);
    UInt128 q = 0;
    for (int bit = QUOTIENT_BITS;; --bit) {
        q <<= 1;
        if (numerator >= denominator) {
            numerator.subtract(denominator);
            q |= 1;
        }
        if (bit == 0) break;
        denominator.shiftRightOne();
    }
    return {q, static_cast<int>(decimalExponent - scale), !numerator.isZero()};
}

}  // namespace

// The double of the significant digits (no leading zero; empty for zero) times
// 10^decimalExponent; false beyond the double range. No floating-point operation is made,
// not even a comparison, which would raise the denormal-operand flag where there is one.
bool decimalToDouble(std::string_view digits, long decimalExponent, double& result) {
    result = 0.0;
    if (digits.empty() || decimalExponent <= VANISHING_EXPONENT) return true;
    if (decimalExponent >= OVERFLOWING_EXPONENT) return false;
    BinaryValue value;
    if (!shortDecimalValue(digits, decimalExponent, value)) value = decimalValue(digits, decimalExponent);
    return roundThroughExtended(value, result);
}
