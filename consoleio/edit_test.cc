// Numeric editing: Iw.m and Ew.d fields, the exact decimal digits of stored values and
// their rounding, checked against hand-derived fields and against an independent exact
// expansion (binary long division) over many single-precision values.
#include "consoleio/edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

EditDescriptor integerDescriptor(int width, int minimum = 1) {
    EditDescriptor descriptor;
    descriptor.code = EditCode::Integer;
    descriptor.width = width;
    descriptor.digits = minimum;
    return descriptor;
}

EditDescriptor exponentDescriptor(int width, int digits, int exponentDigits = 2,
                                  EditCode code = EditCode::Exponent) {
    EditDescriptor descriptor;
    descriptor.code = code;
    descriptor.width = width;
    descriptor.digits = digits;
    descriptor.exponentDigits = exponentDigits;
    return descriptor;
}

// The field as the item loop lays it into the record: right-justified, or all asterisks.
std::string field(const EditedField& edited, int width) {
    const int count = static_cast<int>(edited.chars.size());
    if (edited.overflow || count > width) return std::string(static_cast<std::size_t>(width), '*');
    return std::string(static_cast<std::size_t>(width - count), ' ') + edited.chars;
}

struct IntegerCase {
    std::int32_t value;
    int width;
    int minimum;
    const char* expected;
};

TEST(EditInteger, FieldsFollowTheIwmRules) {
    const IntegerCase cases[] = {
        {7, 3, 1, "  7"},    {-12, 3, 1, "-12"},  {1000, 3, 1, "***"}, {0, 3, 1, "  0"},
        {20, 2, 1, "20"},    {100, 2, 1, "**"},   {-5, 2, 1, "-5"},    {-10, 2, 1, "**"},
        {42, 6, 4, "  0042"}, {-42, 6, 4, " -0042"}, {0, 3, 0, "   "}, {5, 3, 4, "***"},
        {INT32_MIN, 11, 1, "-2147483648"}, {INT32_MAX, 12, 1, "  2147483647"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "I" << c.width << "." << c.minimum << " of " << c.value);
        EXPECT_EQ(field(editInteger(c.value, integerDescriptor(c.width, c.minimum)), c.width),
                  c.expected);
    }
}

TEST(EditInteger, PlusSignWhenRequested) {
    EditDescriptor descriptor = integerDescriptor(4);
    descriptor.plusSign = true;
    EXPECT_EQ(editInteger(7, descriptor).chars, "+7");
    EXPECT_EQ(editInteger(-7, descriptor).chars, "-7");
    descriptor.digits = 0;
    EXPECT_EQ(editInteger(0, descriptor).chars, "");  // no digits and m = 0: no sign either
}

struct RealCase {
    double value;
    bool doublePrecision;
    EditDescriptor descriptor;
    const char* expected;
};

float f(float value) { return value; }

TEST(EditReal, FieldsOfTheExponentForm) {
    const float denormMin = std::numeric_limits<float>::denorm_min();
    const RealCase cases[] = {
        {f(123.456f), false, exponentDescriptor(12, 4), "   .1235E+03"},
        {f(-123.456f), false, exponentDescriptor(12, 4), "  -.1235E+03"},
        {0.0, false, exponentDescriptor(12, 4), "   .0000E+00"},
        {-0.0, false, exponentDescriptor(12, 4), "   .0000E+00"},
        {f(1.0f), false, exponentDescriptor(12, 4), "   .1000E+01"},
        {f(0.1f), false, exponentDescriptor(12, 4), "   .1000E+00"},
        {f(9.99996f), false, exponentDescriptor(12, 4), "   .1000E+02"},
        {f(2.0345f), false, exponentDescriptor(12, 4), "   .2034E+01"},
        {f(0.99995f), false, exponentDescriptor(12, 4), "   .9999E+00"},
        {f(0.12345f), false, exponentDescriptor(12, 4), "   .1235E+00"},
        {f(-2.5e-5f), false, exponentDescriptor(12, 4), "  -.2500E-04"},
        {f(1.0e-10f), false, exponentDescriptor(12, 4), "   .1000E-09"},
        {f(3.0e38f), false, exponentDescriptor(12, 4), "   .3000E+39"},
        {denormMin, false, exponentDescriptor(12, 4), "   .1401E-44"},
        {f(1.0f / 3.0f), false, exponentDescriptor(15, 8), "  .33333330E+00"},
        {f(123.456f), false, exponentDescriptor(8, 4), "********"},
        {1.0e100, true, exponentDescriptor(12, 4), "   .1000+101"},
        {1.0e-100, true, exponentDescriptor(12, 4), "   .1000E-99"},
        {1.0e-101, true, exponentDescriptor(12, 4), "   .1000-100"},
        // A double item keeps up to 16 significant digits.
        {1.0 / 3.0, true, exponentDescriptor(24, 18), " .333333333333333300E+00"},
        // The D form writes its own letter; Ee widens the exponent or overflows it.
        {1.0, true, exponentDescriptor(12, 4, 2, EditCode::DoubleExponent), "   .1000D+01"},
        {f(1.0f), false, exponentDescriptor(12, 4, 3), "  .1000E+001"},
        {f(1.0e10f), false, exponentDescriptor(10, 4, 1), "**********"},
        {1.0e100, true, exponentDescriptor(12, 4, 3), "  .1000E+101"},
        // d = 0 puts one zero before the point.
        {f(7.0f), false, exponentDescriptor(8, 0), "  0.E+02"},  // .7 rounds up to .1E+02
        // A negative value cut to no digits at all loses its sign.
        {f(-0.3f), false, exponentDescriptor(8, 0), "  0.E+00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << c.value << " expecting |" << c.expected << "|");
        EXPECT_EQ(field(editReal(c.value, c.doublePrecision, c.descriptor), c.descriptor.width),
                  c.expected);
    }
}

TEST(EditReal, SpecialValuesFillTheWidthWithoutSign) {
    const double inf = std::numeric_limits<double>::infinity();
    const double defaultNan = std::bit_cast<double>(std::uint64_t{0xFFF8000000000000});
    const double otherNan = std::bit_cast<double>(std::uint64_t{0x7FF8000000000001});
    const double signalling = std::bit_cast<double>(std::uint64_t{0x7FF0000000000001});
    const EditDescriptor e12 = exponentDescriptor(12, 4);
    EXPECT_EQ(field(editReal(inf, false, e12), 12), "1#INF.......");
    EXPECT_EQ(field(editReal(-inf, false, e12), 12), "1#INF.......");
    EXPECT_EQ(field(editReal(defaultNan, false, e12), 12), "1#IND.......");
    EXPECT_EQ(field(editReal(otherNan, false, e12), 12), "1#QNAN......");
    EXPECT_EQ(field(editReal(signalling, true, e12), 12), "1#SNAN......");
    EXPECT_EQ(field(editReal(inf, false, exponentDescriptor(4, 1)), 4), "****");
}

struct DigitsCase {
    double value;
    char sign;
    const char* digits;
    int exponent;
};

TEST(ToDecimalDigits, SeventeenDigitsOfTheExactValue) {
    // Exact expansions worked out separately, then cut to 18 digits and rounded half up.
    const DigitsCase cases[] = {
        {f(123.456f), ' ', "12345600128173828", 3},         // 123.45600128173828125
        {0.1, ' ', "10000000000000001", 0},                 // .100000000000000005551...
        {f(1.0f / 3.0f), ' ', "3333333432674408", 0},       // .333333343267440795898...
        {f(-2.5e-5f), '-', "24999999368446879", -4},        // -.0000249999993684468790...
        {std::numeric_limits<float>::denorm_min(), ' ', "14012984643248171", -44},
        {std::numeric_limits<float>::max(), ' ', "34028234663852886", 39},
        {1234567890123456.25, ' ', "12345678901234563", 16},  // a tie goes up, not to even
        {1.0e18, ' ', "1", 19},
        {0.0, ' ', "0", 0},
        {-0.0, ' ', "0", 0},
        {-1.0, '-', "1", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "digits " << c.digits);
        const DecimalDigits number = toDecimalDigits(c.value);
        EXPECT_TRUE(number.valid);
        EXPECT_EQ(number.sign, c.sign);
        EXPECT_EQ(number.digits, c.digits);
        EXPECT_EQ(number.exponent, c.exponent);
    }
}

TEST(RoundDigits, LooksOnlyAtTheNextDigit) {
    struct Case {
        const char* digits;
        int count;
        const char* rounded;
        int exponent;
        bool carried;
    } cases[] = {
        {"99994999170303345", 4, "9999", 0, false},
        {"99999599456787109", 4, "10000", 1, true},
        {"12345", 4, "1235", 0, false},
        {"12344999", 4, "1234", 0, false},   // only digit 5 counts, not the 9s after it
        {"123", 7, "123", 0, false},         // shorter than the count: unchanged
        {"95", 1, "10", 1, true},
        {"5", 0, "1", 1, true},
    };
    for (const auto& c : cases) {
        DecimalDigits number;
        number.digits = c.digits;
        EXPECT_EQ(roundDigits(c.count, number), c.carried) << c.digits;
        EXPECT_EQ(number.digits, c.rounded) << c.digits;
        EXPECT_EQ(number.exponent, c.exponent) << c.digits;
    }
    DecimalDigits negative;
    negative.sign = '-';
    negative.digits = "3";
    roundDigits(0, negative);
    EXPECT_EQ(negative.sign, ' ');
}

// ---------------------------------------------------------------------------------------
// Independent exact expansion of a float: the value as N / 2^149 with N a binary big
// integer; integer digits by repeated division by 10, fraction digits by repeated
// multiplication by 10.

using Binary = std::vector<std::uint64_t>;  // 32-bit limbs, least significant first
constexpr int FRACTION_BITS = 149;
constexpr std::size_t LIMBS = 10;

bool isZero(const Binary& n) {
    for (auto limb : n)
        if (limb != 0) return false;
    return true;
}

int divideByTen(Binary& n) {
    std::uint64_t remainder = 0;
    for (std::size_t i = n.size(); i-- > 0;) {
        const std::uint64_t current = (remainder << 32) | n[i];
        n[i] = current / 10;
        remainder = current % 10;
    }
    return static_cast<int>(remainder);
}

void multiplyByTen(Binary& n) {
    std::uint64_t carry = 0;
    for (auto& limb : n) {
        const std::uint64_t product = limb * 10 + carry;
        limb = product & 0xFFFFFFFFu;
        carry = product >> 32;
    }
}

Binary shiftedLeft(std::uint64_t value, int shift) {
    Binary n(LIMBS, 0);
    for (int bit = 0; bit < 64; ++bit)
        if ((value >> bit) & 1) {
            const int position = bit + shift;
            n[static_cast<std::size_t>(position / 32)] |= std::uint64_t{1} << (position % 32);
        }
    return n;
}

// Splits n into n >> FRACTION_BITS (returned) and the low FRACTION_BITS bits (left in n).
Binary splitIntegerPart(Binary& n) {
    constexpr std::size_t wordShift = FRACTION_BITS / 32;
    constexpr int bitShift = FRACTION_BITS % 32;
    Binary high(LIMBS, 0);
    for (std::size_t i = 0; i + wordShift < LIMBS; ++i) {
        std::uint64_t word = n[i + wordShift] >> bitShift;
        if (i + wordShift + 1 < LIMBS) word |= n[i + wordShift + 1] << (32 - bitShift);
        high[i] = word & 0xFFFFFFFFu;
    }
    n[wordShift] &= (std::uint64_t{1} << bitShift) - 1;
    for (std::size_t i = wordShift + 1; i < LIMBS; ++i) n[i] = 0;
    return high;
}

// All significant digits of a finite non-zero float, and its exponent (0.DIGITS * 10^exp).
std::pair<std::string, int> exactExpansion(float value) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    const int biased = static_cast<int>((bits >> 23) & 0xFF);
    std::uint64_t mantissa = bits & 0x7FFFFF;
    int power = -149;
    if (biased != 0) {
        mantissa |= 0x800000;
        power = biased - 150;
    }
    Binary fraction = shiftedLeft(mantissa, power + FRACTION_BITS);
    Binary integer = splitIntegerPart(fraction);
    std::string integerDigits;
    while (!isZero(integer)) integerDigits.insert(integerDigits.begin(), static_cast<char>('0' + divideByTen(integer)));
    std::string fractionDigits;
    while (!isZero(fraction)) {
        multiplyByTen(fraction);
        Binary digit = splitIntegerPart(fraction);
        fractionDigits += static_cast<char>('0' + digit[0]);
    }
    std::string all = integerDigits + fractionDigits;
    int exponent = static_cast<int>(integerDigits.size());
    const auto first = all.find_first_not_of('0');
    exponent -= static_cast<int>(first);
    all.erase(0, first);
    return {all, exponent};
}

// Keeps `count` digits, rounding half up on the next one; returns the carry out.
bool roundHalfUp(std::string& digits, std::size_t count) {
    digits.resize(std::max(digits.size(), count + 1), '0');
    const bool up = digits[count] >= '5';
    digits.resize(count);
    if (!up) return false;
    for (std::size_t i = count; i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
    digits.pop_back();
    return true;
}

std::string expectedExponentField(bool negative, std::string digits, int exponent, int d) {
    // The 17 digits are rounded again, to min(d, 7), looking at digit n+1 only.
    const std::size_t n = static_cast<std::size_t>(std::min(d, 7));
    if (n < digits.size() && roundHalfUp(digits, n)) {
        digits = "1" + std::string(n, '0');
        ++exponent;
    }
    digits.resize(static_cast<std::size_t>(d), '0');
    std::string text = negative ? "-." : ".";
    text += digits;
    text += exponent < 0 ? "E-" : "E+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    text += static_cast<char>('0' + magnitude / 10);
    text += static_cast<char>('0' + magnitude % 10);
    return text;
}

TEST(EditReal, MatchesAnIndependentExactExpansionOverManyFloats) {
    std::mt19937 random(20240611);
    std::vector<float> values = {
        std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::min(),
        std::numeric_limits<float>::max(), std::bit_cast<float>(0x007FFFFFu),
        std::bit_cast<float>(0x00800001u), std::bit_cast<float>(0x7F7FFFFEu),
        0.99995f, 9.99996f, 2.0345f, 1.0f / 3.0f,
    };
    for (int i = 0; i < 40000; ++i) {
        std::uint32_t bits = random();
        if (i % 4 == 0) bits &= 0x807FFFFFu | (random() % 3u << 23);  // denormals and the smallest
        values.push_back(std::bit_cast<float>(bits));
    }
    int checked = 0;
    for (float value : values) {
        if (!std::isfinite(value) || value == 0.0f) continue;
        auto [all, exponent] = exactExpansion(value);
        std::string digits = all;
        if (roundHalfUp(digits, 17)) ++exponent;
        digits.erase(digits.find_last_not_of('0') + 1);

        const DecimalDigits number = toDecimalDigits(static_cast<double>(value));
        ASSERT_EQ(number.digits, digits) << "exact " << all;
        ASSERT_EQ(number.exponent, exponent) << "exact " << all;
        ASSERT_EQ(number.sign, value < 0 ? '-' : ' ');

        for (int d : {4, 8}) {
            const EditedField edited = editReal(value, false, exponentDescriptor(d + 8, d));
            ASSERT_FALSE(edited.overflow);
            ASSERT_EQ(edited.chars, expectedExponentField(value < 0, digits, exponent, d))
                << "exact " << all;
        }
        ++checked;
    }
    EXPECT_GT(checked, 35000);
}

}  // namespace
