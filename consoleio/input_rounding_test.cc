// The rounding of typed reals: the value of the digits goes to the 64-bit significand of
// extended precision and from there to double, so that a value near a midpoint of doubles
// can land exactly on it and then round to even. Hand-worked ties, and a comparison with
// the C library's extended-precision conversion where long double is that format.
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "consoleio/input.h"

namespace {

using u128 = unsigned __int128;

int bitLength(u128 value) {
    int length = 0;
    for (; value != 0; value >>= 1) ++length;
    return length;
}

// Exact decimal digits of a binary value: value == digits * 10^exponent.
struct Decimal {
    std::string digits;  // no leading zero
    long exponent = 0;
};

// m * 2^e written out in full (it always terminates): m * 2^e for e >= 0, else
// m * 5^-e * 10^e. Worked in base 10^9, digit by digit of the product.
Decimal exactDecimal(u128 m, int e) {
    constexpr std::uint32_t BASE = 1000000000;
    std::vector<std::uint32_t> limbs;  // least significant first
    for (; m != 0; m /= BASE) limbs.push_back(static_cast<std::uint32_t>(m % BASE));
    auto multiply = [&](std::uint64_t factor) {
        std::uint64_t carry = 0;
        for (auto& limb : limbs) {
            carry += limb * factor;
            limb = static_cast<std::uint32_t>(carry % BASE);
            carry /= BASE;
        }
        for (; carry != 0; carry /= BASE) limbs.push_back(static_cast<std::uint32_t>(carry % BASE));
    };
    for (int left = e; left > 0; left -= 29) multiply(std::uint64_t{1} << std::min(left, 29));
    for (int left = -e; left > 0; left -= 13) {
        std::uint64_t power = 1;
        for (int i = 0; i < std::min(left, 13); ++i) power *= 5;
        multiply(power);
    }
    std::string digits = std::to_string(limbs.back());
    for (std::size_t i = limbs.size() - 1; i-- > 0;) {
        const std::string part = std::to_string(limbs[i]);
        digits += std::string(9 - part.size(), '0') + part;
    }
    return {digits, e < 0 ? e : 0};
}

std::string plainText(const Decimal& d) { return d.digits + "e" + std::to_string(d.exponent); }

// The digits cut after `count`, or the next number of that many digits above the cut.
Decimal cutDigits(const Decimal& d, std::size_t count, bool roundUp) {
    if (d.digits.size() <= count) return d;
    Decimal cut{d.digits.substr(0, count), d.exponent + static_cast<long>(d.digits.size() - count)};
    if (roundUp) {
        std::size_t i = cut.digits.size();
        while (i > 0 && cut.digits[i - 1] == '9') cut.digits[--i] = '0';
        if (i == 0) cut.digits.insert(cut.digits.begin(), '1');
        else ++cut.digits[i - 1];
    }
    return cut;
}

double doubleOf(const std::string& token) {
    const DoubleConversion result = parseRealTokenToDouble(token);
    if (!result.ok) {
        EXPECT_EQ(6000 + messageNumber(result.error), 6102) << token;
        return std::numeric_limits<double>::infinity();
    }
    return result.value;
}

// Ties worked out by hand from the rule: nearest, ties to even, at 64 bits, then at 53 (or
// at the last bit of a denormal), and out of range from 2^1024 on.
TEST(RealRounding, HandWorkedTies) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::string text;
        double expected;
        const char* why;
    } rows[] = {
        {"9007199254740993", 0x1p53, "2^53 + 1: midway, to the even 2^53"},
        {"9007199254740995", 0x1p53 + 4, "2^53 + 3: midway, to the even 2^53 + 4"},
        {"8796093022208.0009765625", 0x1p43,
         "2^43 + 2^-10, a 23-digit text: midway between 2^43 and 2^43 + 2^-9, to 2^43"},
        {"8796093022208.0029296875", 0x1p43 + 0x1p-8,
         "2^43 + 3 * 2^-10: midway, to the even 2^43 + 2^-8"},
        {"9223372036854776832.5", 0x1p63,
         "2^63 + 2^10 + 1/2: a 64-bit tie, to the even 2^63 + 2^10, itself a 53-bit tie, to 2^63 "
         "(straight to double it would be 2^63 + 2^11)"},
        {"9223372036854776833.5", 0x1p63 + 0x1p11,
         "2^63 + 2^10 + 3/2: a 64-bit tie, to the even 2^63 + 2^10 + 2, above the 53-bit "
         "midpoint, to 2^63 + 2^11"},
        {"9223372036854778879.75", 0x1p63 + 0x1p12,
         "2^63 + 3 * 2^10 - 1/4: to the 64-bit 2^63 + 3 * 2^10, a 53-bit tie, to the even "
         "2^63 + 2^12 (straight to double it would be 2^63 + 2^11)"},
        {"1.7976931348623158e308", std::numeric_limits<double>::max(),
         "below the midpoint (2^54 - 1) * 2^970 = 1.79769313486231580793...e308 by many 64-bit "
         "steps: the largest double"},
        {"1.7976931348623159e308", inf, "above that midpoint: out of range"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(doubleOf(row.text), row.expected) << row.text << ": " << row.why;
    }

    // Exact binary values written out in full, longer than 24 digits: the conversion's cut
    // lowers them by less than 10^-23 of their value, far less than half a 64-bit step
    // (2^-64 of it). Where the value has at most 64 bits the 64-bit rounding gives it back;
    // a 65-bit value, a 64-bit tie, goes to its lower neighbour. Rounded up at the 24th
    // digit instead, the text lies just as little above the value.
    const u128 above53 = ((u128{1} << 53) + 1) << 11;  // (1 + 2^-53) * 2^64
    const struct {
        u128 m;
        int e;
        bool roundedUp;
        double expected;
        const char* why;
    } binaryRows[] = {
        {1, -1075, false, 0.0, "half the smallest denormal, a tie: to the even 0"},
        {1, -1075, true, 0.0,
         "just above it: to 2^-1075 at 64 bits, a tie, to 0 (straight to double, 2^-1074)"},
        {3, -1075, false, 0x1p-1073, "three halves of the smallest denormal: to 2 * 2^-1074"},
        {5, -1075, true, 0x1p-1073, "five halves: a tie, to the even 2 * 2^-1074"},
        {(u128{1} << 53) - 1, -1075, false, 0x1p-1022,
         "midway between the largest denormal and 2^-1022: to the even 2^-1022"},
        {(u128{1} << 54) - 1, 970, false, inf,
         "midway between the largest double and 2^1024: to the even 2^1024, out of range"},
        {(u128{1} << 54) - 3, 970, true, (0x1p53 - 2) * 0x1p971,
         "midway below the largest double, whose last bit is 1: to the even one below it"},
        {above53 + 1, -164, false, 0x1p-100,
         "(1 + 2^-53 + 2^-64) * 2^-100, a 64-bit tie, cut below it: to the 53-bit midpoint "
         "(1 + 2^-53) * 2^-100 at 64 bits, then to the even 2^-100"},
        {above53 + 1, -164, true, (1 + 0x1p-52) * 0x1p-100,
         "the same rounded up above the tie: to (1 + 2^-53 + 2^-63) * 2^-100, then up"},
        {above53 + 1, 36, false, 0x1p100, "the same at 2^100, cut: to 2^100"},
        {above53 + 1, 36, true, (1 + 0x1p-52) * 0x1p100, "rounded up: to (1 + 2^-52) * 2^100"},
    };
    for (const auto& row : binaryRows) {
        const Decimal exact = exactDecimal(row.m, row.e);
        ASSERT_GT(exact.digits.size(), 24u);
        const std::string text = plainText(row.roundedUp ? cutDigits(exact, 24, true) : exact);
        EXPECT_EQ(doubleOf(text), row.expected) << row.why << ": " << text.substr(0, 40);
    }
}

// ---- the comparison with the C library ----

// The value the rule gives, by the library: the first 24 digits converted to long double
// (the 64-bit significand here; the library rounds correctly), which is rounded to double.
double referenceValue(const Decimal& d) {
    const Decimal kept = cutDigits(d, 24, false);
    const std::string text = plainText(kept);
    std::fenv_t saved;
    std::feholdexcept(&saved);
    const long double extended = std::strtold(text.c_str(), nullptr);
    const double result = static_cast<double>(extended);
    std::fesetenv(&saved);
    return result;
}

// One of the written forms of digits * 10^exponent.
std::string writeToken(const Decimal& d, std::mt19937_64& random) {
    const long n = static_cast<long>(d.digits.size());
    std::string mantissa;
    long shown = d.exponent;  // the exponent written after the mantissa
    switch (random() % 4) {
    case 0:  // all digits before the point
        mantissa = d.digits + (random() % 2 ? "." : "");
        break;
    case 1:  // one digit before the point
        mantissa = d.digits.substr(0, 1) + "." + d.digits.substr(1);
        shown += n - 1;
        break;
    case 2: {  // the point anywhere, or zeros after it first, and no exponent when that is short
        const long point = static_cast<long>(random() % (n + 3)) - 2;  // digits before it
        mantissa = point <= 0 ? "0." + std::string(-point, '0') + d.digits
                              : d.digits.substr(0, point) + "." + d.digits.substr(point);
        shown += n - point;
        break;
    }
    default:
        mantissa = "." + d.digits;
        shown += n;
        break;
    }
    mantissa = std::string(random() % 3, '0') + mantissa;
    std::string exponent;
    if (shown != 0 || random() % 2) {
        const bool letter = random() % 4 != 0;
        if (letter) exponent += "EeDd"[random() % 4];
        if (shown < 0) exponent += '-';
        else if (!letter || random() % 2) exponent += '+';
        exponent += std::string(random() % 2, '0') + std::to_string(std::labs(shown));
    }
    return mantissa + exponent;
}

void compareWithLibrary(const Decimal& d, std::mt19937_64& random, long& compared, long& failed) {
    const bool negative = random() % 2;
    std::string token = negative ? "-" : random() % 4 ? "" : "+";
    token += writeToken(d, random);
    const double magnitude = referenceValue(d);
    const double expected = negative ? -magnitude : magnitude;
    std::feclearexcept(FE_ALL_EXCEPT);
    const DoubleConversion result = parseRealTokenToDouble(token);
    const bool flagsRaised = std::fetestexcept(FE_ALL_EXCEPT) != 0;
    const bool agrees = std::isinf(expected)
                            ? !result.ok && result.error == ErrorCode::RealDoubleRange
                            : result.ok && std::bit_cast<std::uint64_t>(result.value) ==
                                               std::bit_cast<std::uint64_t>(expected);
    ++compared;
    if (!agrees || flagsRaised) {
        if (++failed <= 20) {
            ADD_FAILURE() << token.substr(0, 80) << (token.size() > 80 ? "..." : "")
                          << "\n  library " << expected << " (" << std::hexfloat << expected
                          << std::defaultfloat << ")\n  converted "
                          << (result.ok ? std::to_string(result.value) : "refused") << " ("
                          << std::hexfloat << result.value << std::defaultfloat << ")"
                          << (flagsRaised ? ", raising flags" : "");
        }
    }
}

// Random digit strings, and exact binary values at or next to the midpoints of 64-bit and
// of 53-bit significands (normal and denormal doubles, the range's ends), each written
// out exactly and cut to a few lengths on either side of its value. With
// LAMVIS_REAL_SAMPLES set, that many samples instead of the default.
TEST(RealRounding, AgreesWithTheLibraryThroughExtendedPrecision) {
    if (std::numeric_limits<long double>::digits != 64) {
        GTEST_SKIP() << "long double is not the 64-bit-significand format here";
    }
    long samples = 50000;
    if (const char* text = std::getenv("LAMVIS_REAL_SAMPLES")) samples = std::atol(text);
    std::mt19937_64 random(20261208);
    auto below = [&](std::uint64_t n) { return random() % n; };
    auto oddOfLength = [&](int bits) {  // a random odd number of exactly `bits` bits
        u128 value = (u128{random()} << 64 | random()) & ((u128{1} << bits) - 1);
        return value | (u128{1} << (bits - 1)) | 1;
    };
    long compared = 0;
    long failed = 0;
    // An exact value, and its texts cut near 24 digits, below and above it.
    auto compareAround = [&](u128 m, int e) {
        const Decimal exact = exactDecimal(m, e);
        compareWithLibrary(exact, random, compared, failed);
        for (std::size_t count : {std::size_t{17} + below(6), std::size_t{23} + below(4)}) {
            compareWithLibrary(cutDigits(exact, count, false), random, compared, failed);
            compareWithLibrary(cutDigits(exact, count, true), random, compared, failed);
        }
    };
    for (long sample = 0; sample < samples; ++sample) {
        switch (sample % 6) {
        case 0: {  // random digits; now and then a saturating or far exponent
            Decimal d;
            d.digits = std::string(1, static_cast<char>('1' + below(9)));
            for (std::size_t n = below(30); n > 0; --n) d.digits += static_cast<char>('0' + below(10));
            const int kind = static_cast<int>(below(10));
            d.exponent = kind == 0   ? static_cast<long>(below(11000)) - 5500
                         : kind == 1 ? (below(2) ? 1 : -1) * static_cast<long>(5201 + below(1000000))
                                     : static_cast<long>(below(720)) - 380;
            compareWithLibrary(d, random, compared, failed);
            break;
        }
        case 1:
        case 2: {  // a 53-bit midpoint of normal doubles, and next to it by 64-bit half steps
            const u128 midpoint = below(8) == 0 ? (u128{1} << 54) - 1 - 2 * below(3) : oddOfLength(54);
            const int e = below(8) == 0 ? 970 - static_cast<int>(below(2)) * 2045
                                        : static_cast<int>(below(2046)) - 1075;
            const int offset = static_cast<int>(below(7)) - 3;
            compareAround((midpoint << 11) + offset, e - 11);
            break;
        }
        case 3: {  // a midpoint of denormals (or at the smallest normal), and next to it
            const int length = below(3) == 0 ? (below(2) ? 1 : 53) : 1 + static_cast<int>(below(53));
            const u128 midpoint = oddOfLength(length);
            const int shift = 65 - length;
            const int offset = static_cast<int>(below(7)) - 3;
            compareAround((midpoint << shift) + offset, -1075 - shift);
            break;
        }
        case 4: {  // a 64-bit midpoint, exactly or a quarter step off; at times a short text
            const u128 midpoint = oddOfLength(65);
            const int e = below(4) == 0 ? static_cast<int>(below(24)) - 8
                                        : static_cast<int>(below(2100)) - 1140;
            const int offset = static_cast<int>(below(3)) - 1;
            compareAround((midpoint << 1) + offset, e - 1);
            break;
        }
        default: {  // beyond the double range at either end, and just inside it
            const u128 m = oddOfLength(1 + static_cast<int>(below(66)));
            const int top = below(2) ? 1021 + static_cast<int>(below(6))
                                     : -1080 + static_cast<int>(below(10));
            compareAround(m, top - bitLength(m) + 1);
            break;
        }
        }
    }
    EXPECT_EQ(failed, 0) << "of " << compared << " texts";
    std::printf("[ compared ] %ld texts with the library's conversion\n", compared);
}

}  // namespace
