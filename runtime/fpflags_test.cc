// The software flags against the hardware's: for every operation the analysis' arithmetic
// performs, over the operands where flags arise (zeros of both signs, subnormals, values
// near the float and double limits, infinities, NaNs) and over random values, the software
// operation gives the hardware's result and raises exactly the invalid operation, division
// by zero and overflow flags that the hardware raises. The library classification is
// compared with the flags of the C library's own functions where that library follows the C
// standard's rules for IEEE arithmetic.
#include "runtime/fpflags.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "runtime/fpe.h"
#include "runtime/mathlib.h"

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

double fromBits(std::uint64_t bits) { return std::bit_cast<double>(bits); }

std::vector<double> specialOperands() {
    const double floatMax = FLT_MAX;
    // The midpoint between the largest float and 2^128: it rounds up, to infinity.
    const double floatOverflowTie = std::ldexp(static_cast<double>((1 << 25) - 1), 103);
    std::vector<double> values = {
        0.0, 1.0, 0.5, 3.0, 2.0, 1.0 / 3.0, 1.0e-300, 1.0e300,
        std::numeric_limits<double>::denorm_min(), 2.2e-308, DBL_MIN,
        static_cast<double>(std::numeric_limits<float>::denorm_min()), static_cast<double>(FLT_MIN),
        floatMax, std::nextafter(floatMax, INF), floatOverflowTie,
        std::nextafter(floatOverflowTie, 0.0), std::nextafter(floatOverflowTie, INF),
        std::ldexp(1.0, 128), DBL_MAX, DBL_MAX / 2, std::sqrt(DBL_MAX), std::nextafter(std::sqrt(DBL_MAX), INF),
        INF,
        std::numeric_limits<double>::quiet_NaN(),
        fromBits(0x7FF0000000000001ull),  // signaling NaNs
        fromBits(0x7FF4000000000000ull),
    };
    const std::size_t count = values.size();
    for (std::size_t i = 0; i < count; ++i) values.push_back(-values[i]);
    return values;
}

// Random doubles of every magnitude, some of them in the float range.
std::vector<double> randomOperands(int count) {
    std::mt19937_64 random(20261208);
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        const std::uint64_t bits = random();
        double x = fromBits(bits);
        if (i % 2 == 0) x = std::ldexp(std::ldexp(x, -std::ilogb(x)), static_cast<int>(random() % 300) - 150);
        if (!std::isnan(x)) values.push_back(x);
    }
    return values;
}

int hardwareFaults() {
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    return ((raised & FE_INVALID) ? FP_FLAG_INVALID : 0) |
           ((raised & FE_DIVBYZERO) ? FP_FLAG_DIVIDE_BY_ZERO : 0) |
           ((raised & FE_OVERFLOW) ? FP_FLAG_OVERFLOW : 0);
}

// The same value, bit for bit; any two NaNs count as the same: which operand's NaN a sum or
// product of two NaNs passes on is left open, and a compiler may commute the operands.
bool sameValue(double a, double b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

volatile double leftOperand;
volatile double rightOperand;
volatile double hardwareResult;
volatile float hardwareRounding;
volatile bool hardwareOutcome;

struct BinaryOperation {
    const char* name;
    void (*hardware)();
    double (*software)(double, double);
};

const BinaryOperation OPERATIONS[] = {
    {"+", [] { hardwareResult = leftOperand + rightOperand; }, softwareSum},
    {"-", [] { hardwareResult = leftOperand - rightOperand; }, softwareDifference},
    {"*", [] { hardwareResult = leftOperand * rightOperand; }, softwareProduct},
    {"/", [] { hardwareResult = leftOperand / rightOperand; }, softwareQuotient},
};

std::string describe(const char* operation, double a, double b) {
    char text[128];
    std::snprintf(text, sizeof text, "%a %s %a", a, operation, b);
    return text;
}

std::vector<std::pair<double, double>> operandPairs() {
    const std::vector<double> special = specialOperands();
    const std::vector<double> random = randomOperands(4000);
    std::vector<std::pair<double, double>> pairs;
    for (double a : special)
        for (double b : special) pairs.emplace_back(a, b);
    for (std::size_t i = 0; i + 1 < random.size(); ++i) pairs.emplace_back(random[i], random[i + 1]);
    for (double a : special)
        for (std::size_t i = 0; i < 200; ++i) {
            pairs.emplace_back(a, random[i]);
            pairs.emplace_back(random[i], a);
        }
    return pairs;
}

TEST(SoftwareFlags, ArithmeticRaisesWhatTheHardwareRaises) {
    for (const auto& [a, b] : operandPairs()) {
        for (const BinaryOperation& operation : OPERATIONS) {
            leftOperand = a;
            rightOperand = b;
            std::feclearexcept(FE_ALL_EXCEPT);
            operation.hardware();
            const int expectedFlags = hardwareFaults();
            signalState.softwareFlags = 0;
            const double result = operation.software(a, b);
            ASSERT_TRUE(sameValue(result, hardwareResult)) << describe(operation.name, a, b);
            ASSERT_EQ(signalState.softwareFlags, expectedFlags) << describe(operation.name, a, b);
        }
    }
    signalState.softwareFlags = 0;
}

TEST(SoftwareFlags, RoundingToFloatRaisesWhatTheHardwareRaises) {
    std::vector<double> values = specialOperands();
    for (double x : randomOperands(4000)) values.push_back(x);
    for (double x : values) {
        leftOperand = x;
        std::feclearexcept(FE_ALL_EXCEPT);
        hardwareRounding = static_cast<float>(leftOperand);
        const int expectedFlags = hardwareFaults();
        signalState.softwareFlags = 0;
        const float result = softwareRounding(x);
        ASSERT_EQ(std::bit_cast<std::uint32_t>(result), std::bit_cast<std::uint32_t>(hardwareRounding))
            << describe("to float", x, 0.0);
        ASSERT_EQ(signalState.softwareFlags, expectedFlags) << describe("to float", x, 0.0);
    }
    signalState.softwareFlags = 0;
}

// Ordered comparisons signal invalid on any NaN, equality only on a signaling one.
TEST(SoftwareFlags, ComparisonsRaiseWhatTheHardwareRaises) {
    const std::vector<double> values = specialOperands();
    for (double a : values) {
        for (double b : values) {
            leftOperand = a;
            rightOperand = b;
            std::feclearexcept(FE_ALL_EXCEPT);
            hardwareOutcome = leftOperand < rightOperand;
            const int orderedFlags = hardwareFaults();
            std::feclearexcept(FE_ALL_EXCEPT);
            hardwareOutcome = leftOperand == rightOperand;
            const int equalityFlags = hardwareFaults();
            signalState.softwareFlags = 0;
            EXPECT_EQ(softwareUnordered(a, b), std::isunordered(a, b));
            EXPECT_EQ(signalState.softwareFlags, orderedFlags) << describe("<", a, b);
            signalState.softwareFlags = 0;
            softwareUnorderedEquality(a, b);
            EXPECT_EQ(signalState.softwareFlags, equalityFlags) << describe("==", a, b);
        }
    }
    signalState.softwareFlags = 0;
}

#if defined(__GLIBC__)
// The library error the hardware flags of the C library's function give, as the run-time's
// wrappers read them; an underflow is accepted, so it counts as none.
int libraryErrorFromFlags() {
    const int raised = std::fetestexcept(FE_ALL_EXCEPT);
    if (raised & FE_INVALID) return MATH_DOMAIN;
    if (raised & FE_DIVBYZERO) return MATH_SING;
    if (raised & FE_OVERFLOW) return MATH_OVERFLOW;
    return 0;
}

TEST(SoftwareFlags, LibraryErrorsAreThoseTheLibraryRaises) {
    std::vector<double> values = specialOperands();
    for (double x : {-1.0, -2.0, -3.0, 0.25, 1.5, -0.5, 700.0, 709.0, 709.8, 710.0, 1000.0, -745.0,
                     -746.0, -1000.0, 1.0e22, 1.0e5, 1.0e154, 1.4e154, 5.7e102, 5.6e102})
        values.push_back(x);
    for (double x : randomOperands(400)) values.push_back(x);
    for (double x : values) {
        std::feclearexcept(FE_ALL_EXCEPT);
        double result = libraryExp(x);
        EXPECT_EQ(libraryErrorOfExp(x, result), libraryErrorFromFlags()) << describe("exp", x, 0.0);
        std::feclearexcept(FE_ALL_EXCEPT);
        libraryCos(x);
        EXPECT_EQ(libraryErrorOfCosOrSin(x), libraryErrorFromFlags()) << describe("cos", x, 0.0);
        std::feclearexcept(FE_ALL_EXCEPT);
        librarySin(x);
        EXPECT_EQ(libraryErrorOfCosOrSin(x), libraryErrorFromFlags()) << describe("sin", x, 0.0);
        for (double y : values) {
            std::feclearexcept(FE_ALL_EXCEPT);
            result = libraryPow(x, y);
            EXPECT_EQ(libraryErrorOfPow(x, y, result), libraryErrorFromFlags()) << describe("pow", x, y);
        }
    }
}
#endif

}  // namespace
