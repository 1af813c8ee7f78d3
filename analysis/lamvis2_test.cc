// The session over an in-process console: the dialogue rules, the laminate matrices against
// an independent double-precision lamination calculation, and the relaxation sweep.
#include "analysis/lamvis2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fake_console.h"

namespace {

struct Material {
    double e1, e2, nu12, g12, thickness, creepFraction;
};

struct Ply {
    int set;
    double angle;
};

// The answers of the material dialogue (with its stop when fewer than ten sets).
std::string materialAnswers(const std::vector<Material>& sets) {
    std::ostringstream text;
    text.precision(9);
    for (const Material& m : sets) {
        text << m.e1 << "\n" << m.e2 << "\n" << m.nu12 << "\n";
        if (std::fabs((m.e1 - m.e2) / m.e1) >= 0.001) text << m.g12 << "\n";
        text << m.thickness << "\n" << m.creepFraction << "\n";
    }
    if (sets.size() < 10) text << "-1\n";
    return text.str();
}

// The answers after the layup: six loads and the relaxation time.
std::string loadAnswers(const std::vector<double>& loads, double relaxationTime) {
    std::ostringstream text;
    text.precision(9);
    for (double load : loads) text << load << "\n";
    text << relaxationTime << "\n";
    return text.str();
}

const std::string NO_LOADS = "0\n0\n0\n0\n0\n0\n-1\n";

// The answers of a whole run, in dialogue order.
std::string answers(const std::vector<Material>& sets, const std::vector<Ply>& plies,
                    const std::vector<double>& loads, double relaxationTime) {
    std::ostringstream text;
    text.precision(9);
    for (const Ply& p : plies) text << p.set << "\n" << p.angle << "\n";
    if (plies.size() < 20) text << "-1\n";
    return materialAnswers(sets) + text.str() + loadAnswers(loads, relaxationTime);
}

// A session on a fake console and a run-time of its own.
struct FakeSession : FakeRun, AnalysisSession { FakeSession() : AnalysisSession(scope.io) {} };

// Runs a whole session on `input`; returns the exit status.
int runSession(FakeSession& session, const std::string& input, std::string* out = nullptr) {
    session.console.input = input;
    const int status = session.scope.runToExit([&] { session.run(); });
    if (out) *out = session.console.out;
    return status;
}

float at6(const float* m, int i, int j) { return m[(j - 1) * 6 + (i - 1)]; }

const Material CARBON = {181000, 10300, 0.28, 7170, 0.125, 0.02};
const Material GLASS = {38600, 8270, 0.26, 4140, 0.25, 0.05};
const Material ISOTROPIC = {100, 100, 0.25, 40, 1, 0};

// ---- The dialogue ----

TEST(SessionDialogue, IsotropyToleranceOnTheUnroundedDifference) {
    // |e1 - e2| / e1 of 0.0005 derives g12; of 0.002 asks for it. 1000 and 999 give 0.001 in
    // double, just below the float tolerance (0.0010000000475), which it would equal if the
    // difference were rounded to float: g12 is derived.
    struct Case {
        float e1;
        float e2;
        bool asked;
    };
    for (const Case& c : {Case{100, 99.95f, false}, Case{100, 100.05f, false}, Case{100, 99.8f, true},
                          Case{1000, 999, false}}) {
        std::ostringstream text;
        text << c.e1 << "\n" << c.e2 << "\n0.25\n" << (c.asked ? "30\n" : "") << "1\n0\n-1\n1\n0\n-1\n"
             << NO_LOADS;
        FakeSession session;
        std::string out;
        ASSERT_EQ(runSession(session, text.str(), &out), 0) << c.e2;
        EXPECT_EQ(out.find("Enter shear modulus: ") != std::string::npos, c.asked) << c.e2;
        EXPECT_EQ(session.materials[0].g12, c.asked ? 30.0f : static_cast<float>(c.e1 / 2.5)) << c.e2;
    }
}

TEST(SessionDialogue, TenSetsThenTheLayupWithoutAnEleventhPrompt) {
    // A null value at ply 1 leaves the counter at 11: rejected, asked again.
    const std::string input = materialAnswers(std::vector<Material>(10, ISOTROPIC)) + ",\n3\n45\n-1\n" + NO_LOADS;
    FakeSession session;
    std::string out;
    ASSERT_EQ(runSession(session, input, &out), 0);
    EXPECT_EQ(session.setsDefined, 10);
    EXPECT_EQ(out.find("Material set          11"), std::string::npos);
    EXPECT_NE(out.find("Enter creep fraction: \r\nDefine layup sequence, starting at bottom..."),
              std::string::npos);
    EXPECT_NE(out.find("\r\nmaterial set must be a number from 1 to 10\r\n\r\n"
                       "enter material set number for ply number  1: \r\n"),
              std::string::npos);
    EXPECT_EQ(session.layup.plyCount, 1);
    EXPECT_EQ(session.layup.plies[0].materialSet, 3);
}

TEST(SessionDialogue, SetNumbersOutsideTheDefinedSetsAreAskedAgain) {
    // Two sets; 0 and 3 are rejected at ply 1; a null at ply 2 repeats ply 1's number; a
    // null right after a rejected number is rejected again.
    const std::string input =
        materialAnswers({ISOTROPIC, CARBON}) + "0\n3\n2\n30\n,\n-30\n7\n,\n1\n0\n-1\n" + NO_LOADS;
    FakeSession session;
    std::string out;
    ASSERT_EQ(runSession(session, input, &out), 0);
    EXPECT_EQ(session.setsDefined, 2);
    ASSERT_EQ(session.layup.plyCount, 3);
    EXPECT_EQ(session.layup.plies[0].materialSet, 2);
    EXPECT_EQ(session.layup.plies[1].materialSet, 2);
    EXPECT_EQ(session.layup.plies[1].angle, -30.0f);
    EXPECT_EQ(session.layup.plies[2].materialSet, 1);

    std::size_t rejections = 0;
    for (std::size_t at = out.find("material set must be a number from 1 to  2\r\n");
         at != std::string::npos; at = out.find("material set must be a number from 1 to  2\r\n", at + 1))
        ++rejections;
    EXPECT_EQ(rejections, 4u);
}

TEST(SessionDialogue, TwentyPliesAndNoTwentyFirst) {
    // Twenty unit plies: the loads follow the 20th angle at once, and z runs from -10 to 10.
    const std::vector<Ply> plies(20, Ply{1, 0});
    std::string input = answers({ISOTROPIC}, plies, {0, 0, 0, 0, 0, 0}, -1);
    FakeSession session;
    std::string out;
    ASSERT_EQ(runSession(session, input, &out), 0);
    EXPECT_EQ(session.layup.plyCount, 20);
    EXPECT_NE(out.find("ply number 20: \r\nenter ply angle: \r\n\r\nlaminate stiffness matrix:"),
              std::string::npos);
    EXPECT_EQ(out.find("ply number 21"), std::string::npos);
    for (int k = 0; k <= 20; ++k) EXPECT_EQ(session.layup.z[k], static_cast<float>(k - 10)) << k;
}

TEST(SessionDialogue, InterfacesReferredToTheMidPlane) {
    // Three plies of thickness 0.125 and one of 0.25: total 0.625.
    FakeSession session;
    ASSERT_EQ(runSession(session,
                         answers({CARBON, GLASS}, {{1, 0}, {2, 90}, {1, 45}, {1, -45}},
                                 {0, 0, 0, 0, 0, 0}, -1)),
              0);
    const float expected[] = {-0.3125f, -0.1875f, 0.0625f, 0.1875f, 0.3125f};
    ASSERT_EQ(session.layup.plyCount, 4);
    for (int k = 0; k <= 4; ++k) EXPECT_EQ(session.layup.z[k], expected[k]) << k;
}

// ---- Laminate stiffness against classical lamination theory ----

TEST(LaminateStiffness, IsotropicUnitPly) {
    FakeSession session;
    ASSERT_EQ(runSession(session, answers({ISOTROPIC}, {{1, 0}}, {0, 0, 0, 0, 0, 0}, -1)), 0);
    const float* a = session.laminateStiffness;
    const double a11 = 100.0 / 0.9375;
    const double a12 = 25.0 / 0.9375;
    const double expectedA[3][3] = {{a11, a12, 0}, {a12, a11, 0}, {0, 0, 40}};
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) {
            EXPECT_NEAR(at6(a, i, j), expectedA[i - 1][j - 1], 2e-5) << i << "," << j;
            EXPECT_EQ(at6(a, i + 3, j), 0.0f) << "B lower " << i << "," << j;
            EXPECT_EQ(at6(a, i, j + 3), 0.0f) << "B upper " << i << "," << j;
            EXPECT_NEAR(at6(a, i + 3, j + 3), expectedA[i - 1][j - 1] / 12.0, 2e-6) << "D " << i << "," << j;
        }
}

// Q-bar of a ply by the textbook closed form, in double precision with the exact pi.
void textbookQBar(const Material& m, double angleDegrees, double q[3][3]) {
    const double nu21 = m.nu12 * m.e2 / m.e1;
    const double d = 1.0 - m.nu12 * nu21;
    const double q11 = m.e1 / d, q22 = m.e2 / d, q12 = m.nu12 * m.e2 / d, q66 = m.g12;
    const double t = angleDegrees * std::numbers::pi / 180.0;
    const double c = std::cos(t), s = std::sin(t);
    const double c2 = c * c, s2 = s * s, c4 = c2 * c2, s4 = s2 * s2;
    q[0][0] = q11 * c4 + 2 * (q12 + 2 * q66) * s2 * c2 + q22 * s4;
    q[1][1] = q11 * s4 + 2 * (q12 + 2 * q66) * s2 * c2 + q22 * c4;
    q[0][1] = q[1][0] = (q11 + q22 - 4 * q66) * s2 * c2 + q12 * (s4 + c4);
    q[2][2] = (q11 + q22 - 2 * q12 - 2 * q66) * s2 * c2 + q66 * (s4 + c4);
    q[0][2] = q[2][0] = (q11 - q12 - 2 * q66) * s * c2 * c + (q12 - q22 + 2 * q66) * s2 * s * c;
    q[1][2] = q[2][1] = (q11 - q12 - 2 * q66) * s2 * s * c + (q12 - q22 + 2 * q66) * s * c2 * c;
}

struct LaminateCase {
    const char* name;
    std::vector<Material> sets;
    std::vector<Ply> plies;
};

class LaminateCrossCheck : public ::testing::TestWithParam<LaminateCase> {};

TEST_P(LaminateCrossCheck, ABDToFourSignificantDigits) {
    const LaminateCase& c = GetParam();
    FakeSession session;
    ASSERT_EQ(runSession(session, answers(c.sets, c.plies, {0, 0, 0, 0, 0, 0}, -1)), 0);

    double h = 0.0;
    for (const Ply& p : c.plies) h += c.sets[p.set - 1].thickness;
    double abd[6][6] = {};
    double z = -h / 2.0;
    for (const Ply& p : c.plies) {
        const Material& m = c.sets[p.set - 1];
        double q[3][3];
        textbookQBar(m, p.angle, q);
        const double top = z + m.thickness;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                abd[i][j] += q[i][j] * (top - z);
                abd[i + 3][j] += q[i][j] * (top * top - z * z) / 2.0;
                abd[i][j + 3] += q[i][j] * (top * top - z * z) / 2.0;
                abd[i + 3][j + 3] += q[i][j] * (top * top * top - z * z * z) / 3.0;
            }
        z = top;
    }

    // Each block is compared on the scale of its largest entry (B on the scale of A h, as a
    // symmetric layup has no B to speak of).
    double scaleA = 0, scaleD = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            scaleA = std::max(scaleA, std::fabs(abd[i][j]));
            scaleD = std::max(scaleD, std::fabs(abd[i + 3][j + 3]));
        }
    const double scaleB = scaleA * h;
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j) {
            const double scale = (i <= 3 && j <= 3) ? scaleA : (i > 3 && j > 3) ? scaleD : scaleB;
            EXPECT_NEAR(at6(session.laminateStiffness, i, j), abd[i - 1][j - 1], 5e-5 * scale)
                << c.name << " entry " << i << "," << j;
        }

    // The compliance is the inverse: A B D times it is the identity to single precision.
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j) {
            double sum = 0.0;
            for (int l = 1; l <= 6; ++l)
                sum += static_cast<double>(at6(session.laminateStiffness, i, l)) *
                       at6(session.laminateCompliance, l, j);
            EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-4) << c.name << " " << i << "," << j;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Laminates, LaminateCrossCheck,
    ::testing::Values(
        LaminateCase{"QuasiIsotropicCarbon",
                     {CARBON},
                     {{1, 0}, {1, 45}, {1, -45}, {1, 90}, {1, 90}, {1, -45}, {1, 45}, {1, 0}}},
        LaminateCase{"GlassCrossPly", {GLASS}, {{1, 0}, {1, 90}, {1, 90}, {1, 0}}},
        LaminateCase{"UnsymmetricCrossPly", {CARBON}, {{1, 0}, {1, 90}}},
        LaminateCase{"AngleHybrid", {CARBON, GLASS}, {{2, 30}, {1, -30}, {1, 60}, {2, 15}, {1, -75}}}),
    [](const ::testing::TestParamInfo<LaminateCase>& info) { return std::string(info.param.name); });

// ---- Load response ----

TEST(LoadResponse, ZeroDegreePlyUnderNxCarriesNxOverT) {
    FakeSession session;
    ASSERT_EQ(runSession(session, answers({CARBON}, {{1, 0}}, {100, 0, 0, 0, 0, 0}, -1)), 0);
    EXPECT_NEAR(session.plyStress[0], 100.0 / 0.125, 800 * 1e-5);
    EXPECT_NEAR(session.plyStress[1], 0.0, 800 * 1e-5);
    EXPECT_NEAR(session.plyStress[2], 0.0, 800 * 1e-5);
}

TEST(LoadResponse, NinetyDegreePlyUnderNxCarriesItAcrossTheFibres) {
    FakeSession session;
    ASSERT_EQ(runSession(session, answers({CARBON}, {{1, 90}}, {100, 0, 0, 0, 0, 0}, -1)), 0);
    EXPECT_NEAR(session.plyStress[0], 0.0, 800 * 1e-4);
    EXPECT_NEAR(session.plyStress[1], 800.0, 800 * 1e-4);
    EXPECT_NEAR(session.plyStress[2], 0.0, 800 * 1e-4);
}

// ---- Relaxation sweep ----

TEST(RelaxationSweep, NumberOfRowsFollowsTheSinglePrecisionTime) {
    struct Case {
        double relaxationTime;
        int rows;
    };
    // 1.0: 16 rows (the 17th time comes out at 100.000015); 0.91: 17 (the last at exactly
    // 91.0); negative: none; a time whose hundredth is zero: one row at time zero.
    for (const Case& c : {Case{1.0, 16}, Case{0.91, 17}, Case{-1.0, 0}, Case{1.0e-45, 1}}) {
        FakeSession session;
        std::string out;
        ASSERT_EQ(runSession(session, answers({ISOTROPIC}, {{1, 0}}, {1, 0, 0, 0, 0, 0}, c.relaxationTime), &out),
                  0)
            << c.relaxationTime;
        EXPECT_EQ(session.sweepRows, c.rows) << c.relaxationTime;
    }
}

TEST(RelaxationSweep, FirstRowTimeAndZeroCreepFractions) {
    FakeSession session;
    std::string out;
    ASSERT_EQ(runSession(session, answers({ISOTROPIC}, {{1, 0}}, {1, 2, 3, 0.5, 0, 0}, 1.0), &out), 0);
    const std::string zeros = "   .0000E+00   .0000E+00   .0000E+00   .0000E+00   .0000E+00   .0000E+00";
    EXPECT_NE(out.find("Enter relaxation time\r\n  .1000E-01" + zeros + "\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\n  .5623E+02" + zeros + "\r\n"), std::string::npos);
    for (float value : session.creepDeformation) EXPECT_EQ(value, 0.0f);
}

TEST(RelaxationSweep, CreepDeformationTendsToItsLimit) {
    // One isotropic ply of unit thickness at 0 degrees under Ny and Nxy: the elastic stress
    // stays N / t, so the creep strains tend to c N / (t e2) and c N / (t g12), and for a
    // single ply the creep deformation equals them: 0.5 * 10 / 100 and 0.5 * 10 / 40.
    Material creeping = ISOTROPIC;
    creeping.creepFraction = 0.5;
    FakeSession session;
    ASSERT_EQ(runSession(session, answers({creeping}, {{1, 0}}, {0, 10, 10, 0, 0, 0}, 1.0)), 0);
    EXPECT_NEAR(session.creepDeformation[0], 0.0, 1e-6);
    EXPECT_NEAR(session.creepDeformation[1], 0.05, 1e-5);
    EXPECT_NEAR(session.creepDeformation[2], 0.125, 1e-5);
    for (int i = 3; i < 6; ++i) EXPECT_NEAR(session.creepDeformation[i], 0.0, 1e-6);
}

}  // namespace
