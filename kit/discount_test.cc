#include "kit/discount.h"

#include <gtest/gtest.h>

#include "kit/envelope.h"

namespace kit {
namespace {

Strengths strengths() {
    Strengths s;
    s.xt = 1000, s.xc = 800, s.yt = 40, s.yc = 150, s.s = 60;
    return s;
}

// `sets` material sets, a ply on each.
Laminate laminate(int sets) {
    Laminate lam;
    for (int m = 0; m < sets; ++m) {
        lam.sets.push_back({100000.0 + m, 8000, 0.3, 4000, 0.2, 0, false});
        lam.plies.push_back({m + 1, 0});
    }
    return lam;
}

TEST(Discount, DegradedSetsAreAppendedWithinTheProgramsTen) {
    const struct {
        int sets;
        std::vector<PlyCondition> plies;
        int wantSets;  // 0: they run out
    } cases[] = {
        {2, {PlyCondition::Intact, PlyCondition::Intact}, 2},
        {2, {PlyCondition::MatrixFailed, PlyCondition::Intact}, 3},
        {2, {PlyCondition::MatrixFailed, PlyCondition::FibreFailed}, 4},
        {4, {PlyCondition::FibreFailed, PlyCondition::MatrixFailed, PlyCondition::MatrixFailed, PlyCondition::Intact}, 7},
        {5, std::vector<PlyCondition>(5, PlyCondition::MatrixFailed), 10},
        {6, std::vector<PlyCondition>(6, PlyCondition::MatrixFailed), 0},
    };
    for (const auto& c : cases) {
        Laminate lam = laminate(c.sets);
        Discount d = startDiscount(Criterion::TsaiWu, lam.plies.size());
        d.plies = c.plies;
        SetStrengths given(c.sets, strengths()), extended;
        std::string why;
        auto degraded = degradedLaminate(lam, d, given, extended, why);
        if (c.wantSets == 0) {
            EXPECT_FALSE(degraded) << c.sets;
            EXPECT_NE(why.find("ten material sets run out"), std::string::npos) << why;
            continue;
        }
        ASSERT_TRUE(degraded) << why;
        ASSERT_EQ(static_cast<int>(degraded->sets.size()), c.wantSets);
        EXPECT_EQ(extended.size(), degraded->sets.size());
        for (std::size_t k = 0; k < lam.plies.size(); ++k) {
            const MaterialSet& was = lam.sets[lam.plies[k].set - 1];
            const MaterialSet& now = degraded->sets[degraded->plies[k].set - 1];
            const bool intact = c.plies[k] == PlyCondition::Intact;
            EXPECT_EQ(degraded->plies[k].set > c.sets, !intact);
            EXPECT_EQ(now.e1, c.plies[k] == PlyCondition::FibreFailed ? was.e1 * DISCOUNT_FACTOR : was.e1);
            EXPECT_EQ(now.e2, intact ? was.e2 : was.e2 * DISCOUNT_FACTOR);
            EXPECT_EQ(now.g12, intact ? was.g12 : was.g12 * DISCOUNT_FACTOR);
            EXPECT_EQ(now.thickness, was.thickness);
        }
    }
}

// A ply state with the same stresses at its three faces.
PlyState uniform(double s1, double s2, double t12) {
    PlyState p;
    for (FaceState& f : p.faces) f.sigma = {s1, s2, t12};
    return p;
}

TEST(Discount, StepsFailTiesTogetherAndEnd) {
    Laminate lam = laminate(1);
    lam.plies = {{1, 0}, {1, 90}, {1, 90}, {1, 0}};
    SetStrengths given(1, strengths()), extended;
    Discount d = startDiscount(Criterion::MaxStress, 4);
    std::string why;
    auto degraded = degradedLaminate(lam, d, given, extended, why);
    ASSERT_TRUE(degraded);
    // The 90 plies reach yt = 40 at 2 (tied within a millionth), the 0 plies xt at 10.
    std::vector<PlyState> states = {uniform(100, 0, 0), uniform(0, 20, 0), uniform(0, 20 * (1 + 1e-8), 0),
                                    uniform(100, 0, 0)};
    advanceDiscount(d, *degraded, extended, states, 1.0);
    ASSERT_EQ(d.steps.size(), 1u);
    EXPECT_EQ(d.steps[0].plies, (std::vector<int>{2, 3}));
    EXPECT_NEAR(d.steps[0].loadFactor, 2, 1e-7);
    EXPECT_EQ(d.plies[1], PlyCondition::MatrixFailed);
    EXPECT_FALSE(d.finished);
    // The cracked plies are held on their fibres alone: their sigma-2 no longer counts.
    degraded = degradedLaminate(lam, d, given, extended, why);
    ASSERT_TRUE(degraded);
    advanceDiscount(d, *degraded, extended, {uniform(125, 0, 0), uniform(1, 30, 0), uniform(1, 30, 0), uniform(125, 0, 0)}, 1.2);
    ASSERT_EQ(d.steps.size(), 2u);
    EXPECT_EQ(d.steps[1].plies, (std::vector<int>{1, 4}));
    EXPECT_NEAR(d.steps[1].loadFactor, 8, 1e-12);
    EXPECT_EQ(d.plies[0], PlyCondition::FibreFailed);
    EXPECT_FALSE(d.finished);
    // The deformation a hundredfold and more: the laminate carries no more.
    degraded = degradedLaminate(lam, d, given, extended, why);
    advanceDiscount(d, *degraded, extended, {uniform(1, 0, 0), uniform(1000, 0, 0), uniform(1000, 0, 0), uniform(1, 0, 0)},
                    1.0 * COLLAPSE * 1.01);
    EXPECT_TRUE(d.finished);
    ASSERT_TRUE(d.lastPly);
    EXPECT_NEAR(*d.lastPly, 8, 1e-12);
    EXPECT_EQ(d.steps.size(), 2u);
}

TEST(Discount, NoFailureAtAnyFactor) {
    Laminate lam = laminate(1);
    SetStrengths given(1, strengths()), extended;
    Discount d = startDiscount(Criterion::TsaiWu, 1);
    std::string why;
    auto degraded = degradedLaminate(lam, d, given, extended, why);
    advanceDiscount(d, *degraded, extended, {uniform(0, 0, 0)}, 0);
    EXPECT_TRUE(d.finished);
    EXPECT_FALSE(d.lastPly);
}

TEST(Envelope, PlanesDirectionsAndLoads) {
    std::string bad;
    auto p = planeNamed("nxy,mx", bad);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->first, 2);
    EXPECT_EQ(p->second, 3);
    for (const char* wrong : {"nx", "nx,nx", "nx,nz", "nx,ny,nxy", ""}) EXPECT_FALSE(planeNamed(wrong, bad)) << wrong;
    EXPECT_EQ(envelopeDirection(18, 72), 90.0);
    // Exactly along the axes at multiples of 90 degrees.
    const struct {
        double degrees, a, b;
    } axes[] = {{0, 5, 0}, {90, 0, 5}, {180, -5, 0}, {270, 0, -5}};
    for (const auto& c : axes) {
        auto loads = directionLoads(*p, c.degrees, 5);
        EXPECT_EQ(loads[2], c.a) << c.degrees;
        EXPECT_EQ(loads[3], c.b) << c.degrees;
        EXPECT_EQ(loads[0], 0);
    }
    const std::array<double, 6> given{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(fixedLoads(given, *p), (std::array<double, 6>{1, 2, 0, 0, 5, 6}));
    EXPECT_EQ(envelopeScale(given, *p), 5.0);  // |(3, 4)|
    EXPECT_EQ(envelopeScale({0, 0, 0, 0, -7, 1}, *p), 7.0);
    EXPECT_EQ(envelopeScale({}, *p), 1.0);
    // A point at factor 2 of a direction of size 5: 10 along it; CSV with the loads' names.
    EnvelopePoint point = envelopePoint(Criterion::Hashin, *p, 90, 5, 2.0);
    point.ply = 3, point.mode = Mode::Shear;
    EnvelopePoint none = envelopePoint(Criterion::Hashin, *p, 180, 5, std::nullopt);
    EXPECT_EQ(envelopeCsv(*p, {point, none}),
              "criterion,direction,nxy,mx,ply,face,mode\nhashin,90,0,10,3,bottom,shear\n"
              "hashin,180,infinite,infinite,,,\n");
}

}  // namespace
}  // namespace kit
