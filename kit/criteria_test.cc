#include "kit/criteria.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kit {
namespace {

// A carbon/epoxy-like set with unequal tension and compression strengths.
Strengths strengths() {
    Strengths s;
    s.xt = 1500, s.xc = 1200, s.yt = 50, s.yc = 250, s.s = 70;
    return s;
}
const MaterialSet SET{140000, 10000, 0.3, 5000, 0.125, 0, false};

// The material-axis strains of a stress state of the set (plane stress compliance).
FaceLoad state(double s1, double s2, double t12) {
    FaceLoad f;
    f.sigma = {s1, s2, t12};
    f.eps = {s1 / SET.e1 - SET.nu12 * s2 / SET.e1, -SET.nu12 * s1 / SET.e1 + s2 / SET.e2, t12 / SET.g12};
    return f;
}

TEST(Criteria, UniaxialStressGivesTheStrengthItself) {
    // A single stress component: every criterion fails it at its strength (the quadratic
    // ones reduce to F11 X^2 + F1 X = X / Xc + 1 - X / Xc = 1, Hashin's matrix compression to
    // yc^2 / (4 st^2) - (yc^2 / (4 st^2) - 1) = 1), so R = strength / stress.
    const Strengths s = strengths();
    const Allowables a = allowablesOf(s, SET);
    const struct {
        FaceLoad load;
        double r;
        Mode mode;
    } cases[] = {
        {state(300, 0, 0), 1500.0 / 300, Mode::FibreTension},
        {state(-300, 0, 0), 1200.0 / 300, Mode::FibreCompression},
        {state(0, 20, 0), 50.0 / 20, Mode::MatrixTension},
        {state(0, -100, 0), 250.0 / 100, Mode::MatrixCompression},
        {state(0, 0, -35), 70.0 / 35, Mode::Shear},
    };
    for (Criterion c : ALL_CRITERIA)
        for (const auto& k : cases) {
            Failure f = strengthRatio(c, a, k.load);
            ASSERT_TRUE(f.factor) << criterionName(c);
            EXPECT_NEAR(*f.factor, k.r, k.r * 1e-14) << criterionName(c) << " " << modeName(k.mode);
            // Hashin names a shear failure by its matrix mode (s2 = 0 counts as tension).
            Mode expected = c == Criterion::Hashin && k.mode == Mode::Shear ? Mode::MatrixTension : k.mode;
            EXPECT_EQ(f.mode, expected) << criterionName(c) << " " << modeName(k.mode);
            EXPECT_FALSE(f.alreadyFailed);
        }
}

TEST(Criteria, CombinedStatesByHand) {
    Strengths s;
    s.xt = 1000, s.xc = 500, s.yt = 50, s.yc = 200, s.s = 100;
    s.f12star = 0;
    Allowables a = allowablesOf(s, SET);
    const double hoffmanA = (100.0 * 100 - 100.0 * 20) / (1000 * 500) + 20.0 * 20 / (50 * 200) + 20.0 * 20 / 10000;
    const double hoffmanB = (1 / 1000.0 - 1 / 500.0) * 100 + (1 / 50.0 - 1 / 200.0) * 20;
    const struct {
        Criterion c;
        FaceLoad load;
        double r;
        Mode mode;
    } cases[] = {
        // Tsai-Wu, F12 = 0: s2 = 20, t12 = 20: a = 1e-4 * 400 + 1e-4 * 400 = 0.08,
        // b = F2 s2 = 0.015 * 20 = 0.3; 0.08 R^2 + 0.3 R = 1, R = (-0.3 + sqrt(0.41)) / 0.16.
        {Criterion::TsaiWu, state(0, 20, 20), (-0.3 + std::sqrt(0.41)) / 0.16, Mode::MatrixTension},
        // Tsai-Hill, s1 = 100, s2 = 20, t12 = 20: 1/R^2 = 0.01 - 0.002 + 0.16 + 0.04 = 0.208.
        {Criterion::TsaiHill, state(100, 20, 20), 1 / std::sqrt(0.208), Mode::MatrixTension},
        // Hoffman on the same state: a R^2 + b R = 1.
        {Criterion::Hoffman, state(100, 20, 20),
         (-hoffmanB + std::sqrt(hoffmanB * hoffmanB + 4 * hoffmanA)) / (2 * hoffmanA), Mode::MatrixTension},
        // Hashin, s1 = 800, t12 = 60: fibre tension 0.64 + 0.36 = 1 at R = 1; the matrix
        // (t12 / S)^2 alone at R = 100 / 60.
        {Criterion::Hashin, state(800, 0, 60), 1, Mode::FibreTension},
        // Hashin matrix compression with st = yc / 2 = 100: (s2 / 200)^2 + 0 + (t / 100)^2:
        // s2 = -100, t = 50 gives 0.25 + 0.25 = 0.5 at R = 1, so R = sqrt(2).
        {Criterion::Hashin, state(0, -100, 50), std::sqrt(2.0), Mode::MatrixCompression},
        // Max-stress: the least of 1000/100, 50/20, 100/20.
        {Criterion::MaxStress, state(100, 20, 20), 2.5, Mode::MatrixTension},
    };
    for (const auto& k : cases) {
        Failure f = strengthRatio(k.c, a, k.load);
        ASSERT_TRUE(f.factor) << criterionName(k.c);
        EXPECT_NEAR(*f.factor, k.r, k.r * 1e-13) << criterionName(k.c);
        EXPECT_EQ(f.mode, k.mode) << criterionName(k.c);
    }
    // F12 from f12 itself and from f12star.
    s.f12 = -2e-6;
    EXPECT_EQ(allowablesOf(s, SET).f12, -2e-6);
    s.f12.reset();
    s.f12star = -0.5;
    EXPECT_NEAR(allowablesOf(s, SET).f12, -0.5 * std::sqrt(1 / (1000.0 * 500) / (50.0 * 200)), 1e-20);
}

TEST(Criteria, FactorFromAFixedState) {
    const Allowables a = allowablesOf(strengths(), SET);
    const struct {
        Criterion c;
        FaceLoad base, scaled;
        std::optional<double> factor;
        bool already;
        Mode mode;
    } cases[] = {
        // From 500 towards 1500 in steps of 100.
        {Criterion::MaxStress, state(500, 0, 0), state(100, 0, 0), 10.0, false, Mode::FibreTension},
        // Through zero: -200 + 17 * 100 = 1500.
        {Criterion::MaxStress, state(-200, 0, 0), state(100, 0, 0), 17.0, false, Mode::FibreTension},
        // Away from tension into compression: 500 - 17 * 100 = -1200.
        {Criterion::MaxStress, state(500, 0, 0), state(-100, 0, 0), 17.0, false, Mode::FibreCompression},
        // Tsai-Wu on s1 alone from 500 by 100: F11 s^2 + F1 s = 1 at s = 1500, R = 10.
        {Criterion::TsaiWu, state(500, 0, 0), state(100, 0, 0), 10.0, false, Mode::FibreTension},
        // Already beyond: s2 = 60 > yt.
        {Criterion::TsaiHill, state(0, 60, 0), state(0, 1, 0), 0.0, true, Mode::MatrixTension},
        // Nothing scaled: no factor reaches the surface.
        {Criterion::Hashin, state(100, 0, 0), state(0, 0, 0), std::nullopt, false, Mode::None},
        {Criterion::TsaiWu, state(0, 0, 0), state(0, 0, 0), std::nullopt, false, Mode::None},
    };
    for (const auto& k : cases) {
        Failure f = failureFactor(k.c, a, k.base, k.scaled);
        ASSERT_EQ(f.factor.has_value(), k.factor.has_value()) << criterionName(k.c);
        if (k.factor) {
            EXPECT_NEAR(*f.factor, *k.factor, 1e-12) << criterionName(k.c);
        }
        EXPECT_EQ(f.alreadyFailed, k.already) << criterionName(k.c);
        EXPECT_EQ(f.mode, k.mode) << criterionName(k.c);
    }
}

TEST(Criteria, MaxStrainUsesTheStrainAllowables) {
    Strengths s = strengths();
    // Default allowables: the strength over the modulus.
    Allowables a = allowablesOf(s, SET);
    EXPECT_EQ(a.e1t, 1500.0 / 140000);
    EXPECT_EQ(a.g12u, 70.0 / 5000);
    // Given allowables govern: eps-1 = 300 / 140000, e1t = 0.004: R = 0.004 * 140000 / 300.
    s.e1t = 0.004;
    Failure f = strengthRatio(Criterion::MaxStrain, allowablesOf(s, SET), state(300, 0, 0));
    ASSERT_TRUE(f.factor);
    EXPECT_NEAR(*f.factor, 0.004 * 140000 / 300, 1e-12);
    // The Poisson strain can govern: s1 = -300 gives eps-2 = 0.3 * 300 / 140000; with e2t
    // = 1e-4 it fails in matrix tension at R = 1e-4 / (0.3 * 300 / 140000).
    s.e2t = 1e-4;
    f = strengthRatio(Criterion::MaxStrain, allowablesOf(s, SET), state(-300, 0, 0));
    ASSERT_TRUE(f.factor);
    EXPECT_NEAR(*f.factor, 1e-4 / (0.3 * 300 / 140000), 1e-12);
    EXPECT_EQ(f.mode, Mode::MatrixTension);
}

TEST(Criteria, Names) {
    std::string bad;
    auto list = criteriaNamed("tsai-wu,hashin,tsai-wu", bad);
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<Criterion>{Criterion::TsaiWu, Criterion::Hashin}));
    EXPECT_EQ(criteriaNamed("all", bad)->size(), 6u);
    EXPECT_FALSE(criteriaNamed("tsai-wu,tsai-wo", bad));
    EXPECT_EQ(bad, "tsai-wo");
    EXPECT_FALSE(criteriaNamed("", bad));
}

}  // namespace
}  // namespace kit
