// The exact argument reduction of the sine and cosine (Payne and Hanek's method): x times
// 2/pi is formed exactly enough in integer arithmetic from a table of the bits of 2/pi, its
// integer part modulo 4 chooses the quadrant and its fraction, times pi/2, is the remainder.
#include "runtime/trig.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The bits of 2/pi after the binary point, most significant first, 32 to a word: enough for
// the largest double (exponent 1023) plus the 192-bit window below.
constexpr std::uint32_t TWO_OVER_PI[] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041,
    0xFE5163AB, 0xDEBBC561, 0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C,
    0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484, 0xE99C7026, 0xB45F7E41,
    0x3991D639, 0x835339F4, 0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F,
    0xEF2F118B, 0x5A0A6D1F, 0x6D367ECF, 0x27CB09B7, 0x4F463F66, 0x9E5FEA2D,
    0x7527BAC7, 0xEBE5F17B, 0x3D0739F7, 0x8A5292EA, 0x6BFB5FB1, 0x1F8D5D08,
    0x56033046, 0xFC7B6BAB, 0xF0CFBC20, 0x9AF4361D, 0xA9E39161, 0x5EE61B08,
};
constexpr int TABLE_WORDS = sizeof TWO_OVER_PI / sizeof TWO_OVER_PI[0];

// pi/2 as the sum of two 64-bit parts.
constexpr long double HALF_PI_HIGH = 0xC90FDAA22168C234p-63L;
constexpr long double HALF_PI_LOW = 0xC4C6628B80DC1CD1p-127L;

constexpr double QUARTER_PI = 0.78539816339744830962;

// Words of the window of 2/pi that multiplies the mantissa: 192 bits, of which at most 55
// lie above the binary point of the product; the rest leave at least 120 correct bits after
// the worst cancellation a double argument can produce (about 62 bits).
constexpr int WINDOW_WORDS = 6;
constexpr int PRODUCT_WORDS = WINDOW_WORDS + 2;

// The 32 bits of 2/pi from bit `first` on (bit 1 is the first after the binary point).
std::uint32_t tableBits(int first) {
    const int index = first - 1;
    const int word = index / 32;
    const int shift = index % 32;
    const std::uint64_t high = word < TABLE_WORDS ? TWO_OVER_PI[word] : 0;
    const std::uint64_t low = word + 1 < TABLE_WORDS ? TWO_OVER_PI[word + 1] : 0;
    return static_cast<std::uint32_t>(((high << 32) | low) >> (32 - shift));
}

// Bit `n` of a little-endian multi-word number.
bool bitAt(const std::uint32_t* words, int n) { return (words[n / 32] >> (n % 32)) & 1u; }

// 64 bits of a little-endian multi-word number whose lowest is bit `low` (bits below 0 are 0).
std::uint64_t bitsFrom(const std::uint32_t* words, int low) {
    std::uint64_t value = 0;
    for (int n = low + 63; n >= low; --n) value = (value << 1) | (n >= 0 && bitAt(words, n) ? 1u : 0u);
    return value;
}

struct Reduction {
    int quadrant;       // x = (4k + quadrant) * pi/2 + r
    long double r;      // |r| <= pi/4
};

// Reduces a finite |x| > pi/4.
Reduction reduce(double x) {
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(x), &exponent);  // |x| = fraction * 2^exponent
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int e = exponent - 53;  // |x| = mantissa * 2^e

    // Bits of 2/pi before bit e - 1 contribute multiples of 4 only.
    const int first = e - 1 > 1 ? e - 1 : 1;
    std::uint32_t window[WINDOW_WORDS];  // little-endian
    for (int k = 0; k < WINDOW_WORDS; ++k)
        window[k] = tableBits(first + 32 * (WINDOW_WORDS - 1 - k));

    // product = mantissa * window; |x| * 2/pi = product * 2^-fractionBits (+ a tail below).
    std::uint32_t product[PRODUCT_WORDS] = {};
    const std::uint64_t parts[2] = {mantissa & 0xFFFFFFFFu, mantissa >> 32};
    for (int i = 0; i < 2; ++i) {
        std::uint64_t carry = 0;
        for (int k = 0; k < WINDOW_WORDS; ++k) {
            const std::uint64_t sum = parts[i] * window[k] + product[i + k] + carry;
            product[i + k] = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
        for (int k = i + WINDOW_WORDS; carry != 0 && k < PRODUCT_WORDS; ++k) {
            const std::uint64_t sum = product[k] + carry;
            product[k] = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
    }
    const int fractionBits = first + 32 * WINDOW_WORDS - 1 - e;

    int quadrant = (bitAt(product, fractionBits + 1) ? 2 : 0) + (bitAt(product, fractionBits) ? 1 : 0);
    // The fraction, taken to (-1/2, 1/2]: a fraction of 1/2 or more counts from the next
    // quadrant down, negated (two's complement of the fraction bits).
    bool negative = bitAt(product, fractionBits - 1);
    if (negative) {
        quadrant = (quadrant + 1) & 3;
        std::uint64_t borrow = 1;
        for (int k = 0; k < PRODUCT_WORDS; ++k) {
            const std::uint64_t value = static_cast<std::uint64_t>(~product[k]) + borrow;
            product[k] = static_cast<std::uint32_t>(value);
            borrow = value >> 32;
        }
    }
    // Only the fraction bits remain of interest: find the highest one that is set.
    int top = fractionBits - 1;
    while (top >= 0 && !bitAt(product, top)) --top;
    if (top < 0) return {quadrant, 0.0L};
    const long double high = std::ldexp(static_cast<long double>(bitsFrom(product, top - 63)),
                                        top - 63 - fractionBits);
    const long double low = std::ldexp(static_cast<long double>(bitsFrom(product, top - 127)),
                                       top - 127 - fractionBits);
    long double r = high * HALF_PI_HIGH + (high * HALF_PI_LOW + low * HALF_PI_HIGH);
    return {quadrant, negative ? -r : r};
}

// The result for an infinity or a NaN: inf - inf is the invalid operation's NaN.
double notFinite(double x) { return x - x; }

}  // namespace

double reducedSin(double x) {
    if (!std::isfinite(x)) return notFinite(x);
    if (std::fabs(x) <= QUARTER_PI) return std::sin(x);
    const Reduction reduced = reduce(x);
    long double value = 0.0L;
    switch (reduced.quadrant) {
        case 0: value = std::sin(reduced.r); break;
        case 1: value = std::cos(reduced.r); break;
        case 2: value = -std::sin(reduced.r); break;
        default: value = -std::cos(reduced.r); break;
    }
    return static_cast<double>(x < 0 ? -value : value);
}

double reducedCos(double x) {
    if (!std::isfinite(x)) return notFinite(x);
    if (std::fabs(x) <= QUARTER_PI) return std::cos(x);
    const Reduction reduced = reduce(x);
    switch (reduced.quadrant) {
        case 0: return static_cast<double>(std::cos(reduced.r));
        case 1: return static_cast<double>(-std::sin(reduced.r));
        case 2: return static_cast<double>(-std::cos(reduced.r));
        default: return static_cast<double>(std::sin(reduced.r));
    }
}
