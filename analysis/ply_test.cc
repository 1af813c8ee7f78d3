#include "analysis/ply.h"

#include <gtest/gtest.h>

namespace {

// Entry (i, j), counted from 1, of a 3 by 3 matrix stored by columns.
float at(const float* m, int i, int j) { return m[(j - 1) * 3 + (i - 1)]; }

TEST(PlyTransformation, ZeroDegreesIsTheIdentityExactly) {
    AngleTable angles;
    float t[9];
    float tPrime[9];
    stressTransformationOf(angles, 0.0f, t);
    inverseStressTransformationOf(angles, 0.0f, tPrime);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) {
            EXPECT_EQ(at(t, i, j), i == j ? 1.0f : 0.0f) << i << "," << j;
            EXPECT_EQ(at(tPrime, i, j), i == j ? 1.0f : 0.0f) << i << "," << j;
        }
}

// The angle goes through 3.14159 in single precision, so the quarter-turn terms are a
// little off: these are the values that rounding gives.
struct AngleCase {
    float angle;
    float sc, s2, c2;
    double tolerance;
};

class AngleTermsTest : public ::testing::TestWithParam<AngleCase> {};

TEST_P(AngleTermsTest, TermsAndMatrixLayout) {
    AngleTable angles;
    const AngleCase& c = GetParam();
    const AngleTerms terms = angles.termsOf(c.angle);
    EXPECT_NEAR(terms.sc, c.sc, c.tolerance);
    EXPECT_NEAR(terms.s2, c.s2, c.tolerance);
    EXPECT_NEAR(terms.c2, c.c2, c.tolerance);

    float t[9];
    stressTransformationOf(angles, c.angle, t);
    const float rows[3][3] = {{terms.c2, terms.s2, 2.0f * terms.sc},
                              {terms.s2, terms.c2, -2.0f * terms.sc},
                              {-terms.sc, terms.sc, terms.c2 - terms.s2}};
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(at(t, i, j), rows[i - 1][j - 1]) << i << "," << j;
}

INSTANTIATE_TEST_SUITE_P(
    Angles, AngleTermsTest,
    ::testing::Values(
        // 45 degrees: sc is exactly one half, the squares straddle it.
        AngleCase{45.0f, 0.5f, 0.49999937f, 0.50000066f, 2e-8},
        // 90 degrees: theta falls 1.27E-06 short of a right angle.
        AngleCase{90.0f, 1.2675908e-06f, 1.0f, 1.6067864e-12f, 1e-13},
        AngleCase{30.0f, 0.43301252f, 0.24999966f, 0.75000036f, 2e-8}));

TEST(PlyTransformation, InverseIsTheTransformationOfTheNegatedAngle) {
    AngleTable angles;
    for (float angle : {45.0f, 30.0f, -60.0f, 90.0f, 17.5f}) {
        float t[9];
        float tPrime[9];
        stressTransformationOf(angles, -angle, t);
        inverseStressTransformationOf(angles, angle, tPrime);
        for (int e = 0; e < 9; ++e) EXPECT_EQ(t[e], tPrime[e]) << angle << " entry " << e;

        // And T' T is the identity up to rounding.
        float product[9];
        stressTransformationOf(angles, angle, t);
        multiplyMatrices(tPrime, t, 3, product);
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j) EXPECT_NEAR(at(product, i, j), i == j ? 1.0 : 0.0, 1e-5);
    }
}

TEST(PlyCompliance, EntriesByRow) {
    MaterialSet set;
    set.e1 = 100.0f;
    set.e2 = 10.0f;
    set.nu12 = 0.25f;
    set.g12 = 5.0f;
    float s[9];
    plyComplianceOf(set, s);
    const float rows[3][3] = {{0.01f, -0.0025f, 0.0f}, {-0.0025f, 0.1f, 0.0f}, {0.0f, 0.0f, 0.2f}};
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(at(s, i, j), rows[i - 1][j - 1]) << i << "," << j;
}

TEST(MatrixProducts, SumIsRoundedAfterEveryTerm) {
    // 1 + 2^-24 rounds back to 1 in single precision (a tie, to even), twice over; a sum
    // kept wider than single would reach 1 + 2^-23, which is representable.
    const float half = 1.0f / 16777216.0f;
    const float a[9] = {1.0f, 0.0f, 0.0f, half, 0.0f, 0.0f, half, 0.0f, 0.0f};  // row 1: 1, h, h
    const float identityColumn[9] = {1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    float c[9];
    multiplyMatrices(a, identityColumn, 3, c);
    EXPECT_EQ(c[0], 1.0f);

    const float v[3] = {1.0f, 1.0f, 1.0f};
    float r[3];
    multiplyMatrixVector(a, v, 3, r);
    EXPECT_EQ(r[0], 1.0f);
}

}  // namespace
