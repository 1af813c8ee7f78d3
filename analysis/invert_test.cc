#include "analysis/invert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A square matrix stored by columns, built from its rows.
std::vector<float> byColumns(const std::vector<std::vector<float>>& rows) {
    const std::size_t n = rows.size();
    std::vector<float> m(n * n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) m[j * n + i] = rows[i][j];
    return m;
}

std::vector<float> inverseOf(const std::vector<float>& a, int n) {
    std::vector<float> y(a.size(), 99.0f);
    invertMatrix(a.data(), n, n, y.data(), nullptr);
    return y;
}

// max |A Y - I| with the product formed in double.
double residual(const std::vector<float>& a, const std::vector<float>& y, int n) {
    double worst = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double sum = 0.0;
            for (int l = 0; l < n; ++l) sum += static_cast<double>(a[l * n + i]) * y[j * n + l];
            worst = std::max(worst, std::fabs(sum - (i == j ? 1.0 : 0.0)));
        }
    return worst;
}

TEST(InvertMatrix, IdentityInvertsToItselfExactly) {
    for (int n : {3, 6}) {
        std::vector<float> a(n * n, 0.0f);
        for (int i = 0; i < n; ++i) a[i * n + i] = 1.0f;
        EXPECT_EQ(inverseOf(a, n), a) << "order " << n;

        std::vector<int> pivots(n);
        float parity = 0.0f;
        std::vector<float> work = a;
        luDecompose(work.data(), n, n, pivots.data(), parity);
        for (int j = 0; j < n; ++j) EXPECT_EQ(pivots[j], j + 1);
        EXPECT_EQ(parity, 1.0f);
    }
}

TEST(InvertMatrix, DiagonalGivesRoundedReciprocals) {
    const std::vector<float> d = {3.0f, -7.0f, 0.1f, 1.0e-3f, 250.0f, 6.0f};
    std::vector<float> a(36, 0.0f);
    for (int i = 0; i < 6; ++i) a[i * 6 + i] = d[i];
    const std::vector<float> y = inverseOf(a, 6);
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(y[j * 6 + i], i == j ? static_cast<float>(1.0 / d[i]) : 0.0f) << i << "," << j;
}

// Pivot choice: each case names the pivot row expected for column 1 and the parity.
struct PivotCase {
    const char* name;
    std::vector<std::vector<float>> rows;
    int firstPivot;
    float parity;
};

class PivotTest : public ::testing::TestWithParam<PivotCase> {};

TEST_P(PivotTest, PivotRowAndInverse) {
    const PivotCase& c = GetParam();
    const int n = static_cast<int>(c.rows.size());
    const std::vector<float> a = byColumns(c.rows);

    std::vector<float> work = a;
    std::vector<int> pivots(n);
    float parity = 0.0f;
    luDecompose(work.data(), n, n, pivots.data(), parity);
    EXPECT_EQ(pivots[0], c.firstPivot);
    EXPECT_EQ(parity, c.parity);

    const std::vector<float> original = a;
    const std::vector<float> y = inverseOf(a, n);
    EXPECT_EQ(a, original);  // the input is left as given, exchanges or not
    EXPECT_LT(residual(a, y, n), 1e-5);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PivotTest,
    ::testing::Values(
        // Scaled candidates of column 1: 1/4 in row 1, 3/3 in row 2.
        PivotCase{"RowExchange", {{1, 4}, {3, 1}}, 2, -1.0f},
        // Scaled candidates both exactly 1 (largest entries 2 and 4): the later row wins.
        PivotCase{"TieGoesToLaterRow", {{2, 1}, {4, 3}}, 2, -1.0f},
        PivotCase{"NoExchange", {{4, 1}, {1, 4}}, 1, 1.0f},
        // Column 1 takes row 3, column 2 then exchanges again: parity back to +1.
        PivotCase{"ThreeByThree", {{0.5f, 2, 1}, {1, 1, 8}, {3, 1, 1}}, 3, 1.0f},
        PivotCase{"Laminate6",
                  {{120, 4, 0.5f, 0, 3, 0},
                   {4, 90, 0, 2, 0, 0.1f},
                   {0.5f, 0, 30, 0, 0, 1},
                   {0, 2, 0, 10, 0.4f, 0},
                   {3, 0, 0, 0.4f, 8, 0},
                   {0, 0.1f, 1, 0, 0, 2}},
                  1, 1.0f}),
    [](const ::testing::TestParamInfo<PivotCase>& info) { return std::string(info.param.name); });

TEST(InvertMatrix, EqualRowsGiveEntriesOfOrderTenToTheTwenty) {
    // Rows (1, 2) and (1, 2): the last pivot comes out exactly zero and becomes TINY_PIVOT.
    const std::vector<float> a = byColumns({{1, 2}, {1, 2}});
    const std::vector<float> y = inverseOf(a, 2);
    const float big = static_cast<float>(1.0 / static_cast<double>(TINY_PIVOT));
    // Worked through by hand: the rows are exchanged (tie), U = [[1, 2], [0, TINY]], and
    // the solves give column 1 = (-2 big, big), column 2 = (2 big, -big).
    EXPECT_FLOAT_EQ(y[0], -2.0f * big);
    EXPECT_FLOAT_EQ(y[1], big);
    EXPECT_FLOAT_EQ(y[2], 2.0f * big);
    EXPECT_FLOAT_EQ(y[3], -big);
}

TEST(LuSolve, SolvesWithThePermutationAndLeavesTheFactorsAlone) {
    const std::vector<float> a = byColumns({{0, 2, 1}, {1, 0, 0}, {0, 1, 4}});
    std::vector<float> work = a;
    std::vector<int> pivots(3);
    float parity = 0.0f;
    luDecompose(work.data(), 3, 3, pivots.data(), parity);
    const std::vector<float> factors = work;

    // x = (1, 2, 3): b = A x = (7, 1, 14).
    std::vector<float> b = {7, 1, 14};
    luSolve(work.data(), 3, 3, pivots.data(), b.data());
    EXPECT_NEAR(b[0], 1.0f, 1e-6);
    EXPECT_NEAR(b[1], 2.0f, 1e-6);
    EXPECT_NEAR(b[2], 3.0f, 1e-6);
    EXPECT_EQ(work, factors);

    // A right-hand side whose first entry is zero after the row exchange (row 2 is the
    // first pivot), so the forward substitution starts later.
    b = {2, 0, 1};
    std::vector<float> rhs = b;
    luSolve(work.data(), 3, 3, pivots.data(), b.data());
    for (int i = 0; i < 3; ++i) {
        double sum = 0.0;
        for (int l = 0; l < 3; ++l) sum += static_cast<double>(a[l * 3 + i]) * b[l];
        EXPECT_NEAR(sum, rhs[i], 1e-6) << i;
    }
}

}  // namespace
