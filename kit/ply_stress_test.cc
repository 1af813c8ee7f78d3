#include "kit/ply_stress.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "kit/render.h"
#include "kit/strength.h"

namespace kit {
namespace {

// A printed E12.4 field of v, as the program writes it.
std::string printed(double v) {
    if (v == 0) return ".0000E+00";
    int e = static_cast<int>(std::floor(std::log10(std::fabs(v)))) + 1;
    long mantissa = std::lround(std::fabs(v) / std::pow(10.0, e) * 1e4);
    if (mantissa == 10000) mantissa = 1000, ++e;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s.%04ldE%c%02d", v < 0 ? "-" : "", mantissa, e < 0 ? '-' : '+',
                  std::abs(e));
    return buf;
}

void add(Results& r, const std::string& name, double v, QuantityKind kind) {
    Quantity q;
    q.name = name;
    q.kind = kind;
    q.text = kind == QuantityKind::Input ? shortest(v) : printed(v);
    q.value = kind == QuantityKind::Input ? v : std::stod(q.text);
    r.quantities.push_back(q);
}

// An isotropic material (E = 1000, nu = 0.25; g12 derived by the program) of total thickness
// 0.5 in `plies` equal plies at `angle`, under nx = 10 and mx = 1.25. Closed forms: the
// membrane strains nx / (E h) (1, -nu) = (0.02, -0.005), the curvatures 12 mx / (E h^3) (1,
// -nu) = (0.12, -0.03), both exact in four digits; the laminate-axis stress sigma-x =
// nx / h + 12 mx z / h^3 = 20 + 120 z, and in the ply's axes sigma-1 = sigma-x c^2, sigma-2 =
// sigma-x s^2, sigma-12 = -sigma-x s c.
Results isotropicPlate(int plies, double angle, double e1Typed) {
    Results r;
    const QuantityKind in = QuantityKind::Input, out = QuantityKind::Printed;
    add(r, "set[1].e1", e1Typed, in);
    add(r, "set[1].e2", e1Typed, in);
    add(r, "set[1].nu12", 0.25, in);
    add(r, "set[1].thickness", 0.5 / plies, in);
    add(r, "set[1].creep-fraction", 0, in);
    for (int k = 1; k <= plies; ++k) {
        add(r, "ply[" + std::to_string(k) + "].set", 1, in);
        add(r, "ply[" + std::to_string(k) + "].angle", angle, in);
    }
    const double loads[6] = {10, 0, 0, 1.25, 0, 0};
    for (int i = 0; i < 6; ++i) add(r, LOAD_NAMES[i], loads[i], in);
    const double e[6] = {0.02, -0.005, 0, 0.12, -0.03, 0};
    for (int i = 0; i < 6; ++i) add(r, DEFORMATION_NAMES[i], e[i], out);
    const double c = std::cos(angle * M_PI / 180), s = std::sin(angle * M_PI / 180);
    for (int k = 1; k <= plies; ++k) {
        const double z = -0.25 + (k - 0.5) * 0.5 / plies, sx = 20 + 120 * z;
        add(r, "ply[" + std::to_string(k) + "].sigma-1", sx * c * c, out);
        add(r, "ply[" + std::to_string(k) + "].sigma-2", sx * s * s, out);
        add(r, "ply[" + std::to_string(k) + "].sigma-12", -sx * s * c, out);
    }
    return r;
}

TEST(PlyStress, ClosedFormsAtEveryFace) {
    const struct {
        int plies;
        double angle;
    } cases[] = {{1, 0}, {1, 30}, {1, 90}, {1, -45}, {2, 0}, {2, 60}, {5, 135}};
    for (const auto& c : cases) {
        Results r = isotropicPlate(c.plies, c.angle, 1000);
        std::string why;
        auto lam = laminateOf(r, why);
        ASSERT_TRUE(lam) << why;
        EXPECT_TRUE(lam->sets[0].g12Derived);
        DerivedStresses d = deriveStresses(r, *lam);
        ASSERT_TRUE(d.ok()) << d.error;
        ASSERT_EQ(d.plies.size(), static_cast<std::size_t>(c.plies));
        const double co = std::cos(c.angle * M_PI / 180), si = std::sin(c.angle * M_PI / 180);
        for (int k = 0; k < c.plies; ++k)
            for (int f = 0; f < 3; ++f) {
                const double z = -0.25 + (k + f * 0.5) * 0.5 / c.plies, sx = 20 + 120 * z;
                const FaceState& face = d.plies[k].faces[f];
                EXPECT_NEAR(face.z, z, 1e-15);
                const double expected[3] = {sx * co * co, sx * si * si, -sx * si * co};
                // Strains: eps-x = sigma-x / E, eps-y = -nu sigma-x / E, turned to the ply.
                const double ex = sx / 1000, ey = -0.25 * sx / 1000;
                const double strain[3] = {ex * co * co + ey * si * si, ex * si * si + ey * co * co,
                                          2 * (ey - ex) * si * co};
                for (int i = 0; i < 3; ++i) {
                    EXPECT_NEAR(face.sigma[i], expected[i], 1e-12 * 80) << c.angle << " ply " << k << " face " << f;
                    EXPECT_NEAR(face.eps[i], strain[i], 1e-15 * 80) << c.angle << " ply " << k << " face " << f;
                }
            }
    }
}

TEST(PlyStress, AnswersThatDoNotBelongAreRefused) {
    // The same printed results with another modulus in the answers (1 % off: the stresses
    // scale with it, beyond the printed rounding), and the unchanged ones accepted.
    const struct {
        double e1;
        bool agrees;
    } cases[] = {{1000, true}, {1010, false}, {990, false}, {1000.2, true}};
    for (const auto& c : cases) {
        Results printedWith = isotropicPlate(3, 30, 1000);
        Results answers = isotropicPlate(3, 30, c.e1);
        // The printed part of the first with the inputs of the second.
        for (Quantity& q : printedWith.quantities)
            if (q.kind == QuantityKind::Input) q = *answers.find(q.name);
        std::string why;
        auto lam = laminateOf(printedWith, why);
        ASSERT_TRUE(lam) << why;
        DerivedStresses d = deriveStresses(printedWith, *lam);
        EXPECT_EQ(d.ok(), c.agrees) << c.e1 << ": " << d.error;
    }
}

// The face stresses without strengths: every ply and face, in strength's names, values and
// order (the quantities strength gives them before its criteria's), at the closed form's z;
// none, with the reason, where the answers do not belong to the results.
TEST(PlyStress, FaceQuantitiesWithoutStrengths) {
    const struct {
        int plies;
        double angle;
        double e1Answered;  // 1000: the answers of the results
    } cases[] = {{1, 0, 1000}, {3, 30, 1000}, {4, -45, 1000}, {3, 30, 1010}};
    for (const auto& c : cases) {
        Results r = isotropicPlate(c.plies, c.angle, 1000);
        const Results answers = isotropicPlate(c.plies, c.angle, c.e1Answered);
        for (Quantity& q : r.quantities)
            if (q.kind == QuantityKind::Input) q = *answers.find(q.name);
        std::string why;
        auto lam = laminateOf(r, why);
        ASSERT_TRUE(lam) << why;
        FaceStresses faces = faceStressesOf(r, *lam);
        if (c.e1Answered != 1000) {
            EXPECT_FALSE(faces.ok());
            EXPECT_TRUE(faces.quantities.empty());
            EXPECT_NE(faces.error.find("ply"), std::string::npos) << faces.error;
            continue;
        }
        ASSERT_TRUE(faces.ok()) << faces.error;
        ASSERT_EQ(faces.quantities.size(), static_cast<std::size_t>(c.plies) * 3 * 6);
        // Strength with any strengths names the same numbers first at each face.
        Strengths some;
        some.xt = 1500, some.xc = 1200, some.yt = 50, some.yc = 200, some.s = 70;
        StrengthReport rep = strengthOf(r, *lam, SetStrengths{some}, StrengthOptions{});
        ASSERT_TRUE(rep.ok()) << rep.error;
        std::vector<const Quantity*> strengthFaces;
        for (const Quantity& q : rep.quantities)
            if (q.name.find("sigma-") != std::string::npos || q.name.find(".eps-") != std::string::npos ||
                q.name.find("gamma-12") != std::string::npos)
                strengthFaces.push_back(&q);
        ASSERT_EQ(strengthFaces.size(), faces.quantities.size());
        const double co = std::cos(c.angle * M_PI / 180), si = std::sin(c.angle * M_PI / 180);
        for (std::size_t i = 0; i < faces.quantities.size(); ++i) {
            const Quantity& q = faces.quantities[i];
            const int k = static_cast<int>(i / 18), f = static_cast<int>(i / 6 % 3), m = static_cast<int>(i % 6);
            const std::string name = "ply[" + std::to_string(k + 1) + "]." + FACE_NAMES[f] + "." +
                                     (m < 3 ? std::array{"sigma-1", "sigma-2", "sigma-12"}[m]
                                            : std::array{"eps-1", "eps-2", "gamma-12"}[m - 3]);
            EXPECT_EQ(q.name, name);
            EXPECT_EQ(q.kind, QuantityKind::Derived);
            EXPECT_EQ(q.table, "strength");
            EXPECT_EQ(q.name, strengthFaces[i]->name);
            EXPECT_EQ(q.value, strengthFaces[i]->value) << q.name;
            EXPECT_EQ(q.text, strengthFaces[i]->text) << q.name;
            if (m < 3) {
                const double z = -0.25 + (k + f * 0.5) * 0.5 / c.plies, sx = 20 + 120 * z;
                const double expected[3] = {sx * co * co, sx * si * si, -sx * si * co};
                EXPECT_NEAR(*q.value, expected[m], 1e-12 * 80) << q.name;
            }
        }
    }
}

TEST(PlyStress, HalfUnitOfThePrintedDigits) {
    const struct {
        const char* text;
        double half;
    } cases[] = {{".2262E-02", 0.5e-6}, {"-.1000E+01", 0.5e-3}, {".0000E+00", 0.5e-4},
                 {".5000+100", 0.5e96}, {"-.1234D-05", 0.5e-9}};
    for (const auto& c : cases) {
        auto h = halfUnit(c.text);
        ASSERT_TRUE(h) << c.text;
        EXPECT_NEAR(*h, c.half, c.half * 1e-14) << c.text;
    }
    EXPECT_FALSE(halfUnit("*********"));
}

}  // namespace
}  // namespace kit
