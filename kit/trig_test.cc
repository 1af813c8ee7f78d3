#include "kit/trig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kit {
namespace {

// Units in the last place between a result and a long double reference.
double ulps(double got, long double reference) {
    const double ref = static_cast<double>(reference);
    const double unit = std::nextafter(std::fabs(ref), INFINITY) - std::fabs(ref);
    // Near zero a result is measured against the scale of the arguments' rounding, 2^-53.
    return static_cast<double>(std::fabs(got - reference)) / std::max(unit, 0x1p-53);
}

struct Exact {
    double degrees, cos, sin;
};

TEST(TrigDegrees, MultiplesOfNinetyAreExact) {
    const Exact cases[] = {
        {0, 1, 0},       {90, 0, 1},       {180, -1, 0},     {270, 0, -1},
        {360, 1, 0},     {-90, 0, -1},     {-180, -1, 0},    {-270, 0, 1},
        {450, 0, 1},     {-720, 1, 0},     {9e15, 1, 0},     {360 * 0x1p60, 1, 0},
        {90 + 360 * 1e12, 0, 1},
    };
    for (const Exact& c : cases) {
        CosSin r = cosSinDegrees(c.degrees);
        EXPECT_EQ(r.cos, c.cos) << c.degrees;
        EXPECT_EQ(r.sin, c.sin) << c.degrees;
        // +0, never -0: the same bits as the exact value.
        EXPECT_EQ(std::signbit(r.cos), std::signbit(c.cos)) << c.degrees;
        EXPECT_EQ(std::signbit(r.sin), std::signbit(c.sin)) << c.degrees;
    }
}

TEST(TrigDegrees, KnownValuesWithinAnUlp) {
    const long double pi = 3.14159265358979323846264338327950288L;
    const long double half = 0.5L, root2 = std::sqrt(2.0L) / 2, root3 = std::sqrt(3.0L) / 2;
    const struct {
        double degrees;
        long double cos, sin;
    } cases[] = {
        {30, root3, half},   {45, root2, root2},    {60, half, root3},
        {-30, root3, -half}, {135, -root2, root2},  {210, -root3, -half},
        {-315, root2, root2}, {330 + 360 * 1e6, root3, -half},
        // 1e20 is 280 degrees past a multiple of 360 (1e20 mod 9 = 1, mod 40 = 0).
        {1e20, std::cos(280 * pi / 180), std::sin(280 * pi / 180)},
    };
    for (const auto& c : cases) {
        CosSin r = cosSinDegrees(c.degrees);
        EXPECT_LE(ulps(r.cos, c.cos), 1.0) << c.degrees;
        EXPECT_LE(ulps(r.sin, c.sin), 1.0) << c.degrees;
    }
}

TEST(TrigDegrees, AgreesWithTheLibraryOnASweep) {
    // The library's long double sine of the exactly reduced angle is the reference.
    const long double radiansPerDegree = 3.14159265358979323846264338327950288L / 180;
    double worst = 0;
    for (int i = -20000; i <= 20000; ++i) {
        const double degrees = i * 0.0371 + (i % 7) * 1e-9;
        const long double reduced = std::fmod(static_cast<long double>(degrees), 360.0L);
        CosSin r = cosSinDegrees(degrees);
        worst = std::max({worst, ulps(r.cos, std::cos(reduced * radiansPerDegree)),
                          ulps(r.sin, std::sin(reduced * radiansPerDegree))});
    }
    EXPECT_LE(worst, 1.5);
}

TEST(TrigDegrees, NotFiniteGivesNotANumber) {
    for (double d : {INFINITY, -INFINITY, NAN}) {
        CosSin r = cosSinDegrees(d);
        EXPECT_TRUE(std::isnan(r.cos) && std::isnan(r.sin)) << d;
    }
}

}  // namespace
}  // namespace kit
