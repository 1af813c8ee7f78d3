#include "runtime/trig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct TrigCase {
    double x;
    double sine;    // sin(x) and cos(x) rounded to nearest, from a 3000-bit evaluation
    double cosine;
};

// Ply angles as the analysis converts them (float degrees times float pi over 180), the
// doubles nearest to multiples of pi/2, the argument of a double nearest to a multiple of
// pi/2 (x = 6381956970095103 * 2^797) and the largest double.
const TrigCase CASES[] = {
    {0x1.becde6aaaaaabp+0, 0x1.f838b87f9fac0p-1, -0x1.63a1ae4c276f7p-3},
    {-0x1.2d97c88000000p+1, -0x1.6a09e4d9b2926p-1, -0x1.6a09e7f634e57p-1},
    {0x1.b4551342aaaabp+10, -0x1.f8379dc076345p-1, 0x1.63babb88059c5p-3},
    {0x1.0d573b7fed800p+11, -0x1.94ee4fb6fb252p-2, 0x1.d6448a27b89f3p-1},
    {-0x1.aef2031377d55p+10, -0x1.a156dbdfd9bbfp-1, -0x1.2899c0cfab3acp-1},
    {0x1.ff53b29220000p+18, 0x1.b7a0c6d38811fp-1, -0x1.066ee71e43558p-1},
    {0x1.0413076188c00p+34, -0x1.e5a416be8ca45p-1, -0x1.445377d8acb2cp-2},
    {-0x1.6b51d431c02abp+63, -0x1.4ebb54af1b3f3p-2, 0x1.e3df609db503dp-1},
    {0x1.f835114eafaabp+121, 0x1.965e1e939ce83p-1, 0x1.377694c721d68p-1},
    {0x1.921fb54442d18p+0, 0x1.0000000000000p+0, 0x1.1a62633145c07p-54},
    {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53, -0x1.0000000000000p+0},
    {-0x1.921fb54442d18p+2, 0x1.1a62633145c07p-52, 0x1.0000000000000p+0},
    {0x1.0f0cf064dd592p+73, -0x1.b453ab76bf397p-1, 0x1.0be2cef01c8f4p-1},
    {0x1.6ac5b262ca1ffp+849, 0x1.0000000000000p+0, -0x1.14ae72e6ba22fp-61},
    {0x1.fffffffffffffp+1023, 0x1.452fc98b34e97p-8, -0x1.fffe62ecfab75p-1},
    {0x1.921fb54442d19p-1, 0x1.6a09e667f3bcdp-1, 0x1.6a09e667f3bccp-1},
    {0x1.7e43c8800759cp+996, -0x1.a2c16b010e385p-1, -0x1.2699022adc4c1p-1},
};

// Within one unit in the last place of the value rounded to nearest: the reduced argument
// is exact, and only the final rounding of the extended result may fall the other way.
void expectWithinOneUlp(double actual, double expected, double x, const char* what) {
    const double below = std::nextafter(expected, -std::numeric_limits<double>::infinity());
    const double above = std::nextafter(expected, std::numeric_limits<double>::infinity());
    EXPECT_TRUE(actual >= below && actual <= above)
        << what << "(" << std::hexfloat << x << ") = " << actual << ", expected " << expected;
}

TEST(ReducedTrig, LargeArgumentsAreReducedExactly) {
    for (const TrigCase& c : CASES) {
        expectWithinOneUlp(reducedSin(c.x), c.sine, c.x, "sin");
        expectWithinOneUlp(reducedCos(c.x), c.cosine, c.x, "cos");
    }
}

TEST(ReducedTrig, NonFiniteArgumentsGiveNaN) {
    const double infinity = std::numeric_limits<double>::infinity();
    for (double x : {infinity, -infinity, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_TRUE(std::isnan(reducedSin(x)));
        EXPECT_TRUE(std::isnan(reducedCos(x)));
    }
}

}  // namespace
