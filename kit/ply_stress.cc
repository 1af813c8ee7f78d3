#include "kit/ply_stress.h"

#include <cmath>

#include "kit/case_file.h"
#include "kit/render.h"
#include "kit/trig.h"

namespace kit {

const char* const LOAD_NAMES[6] = {"nx", "ny", "nxy", "mx", "my", "mxy"};
const char* const DEFORMATION_NAMES[6] = {"eps-xx", "eps-yy", "eps-xy",
                                          "kappa-xx", "kappa-yy", "kappa-xy"};
const char* const FACE_NAMES[3] = {"bottom", "middle", "top"};

namespace {

constexpr double EXACT_PI = 3.14159265358979323846;
constexpr double PROGRAM_PI = static_cast<double>(3.14159f);
constexpr double RADIANS_PER_DEGREE = EXACT_PI / 180;

std::optional<double> valueOf(const Results& r, const std::string& name) {
    const Quantity* q = r.find(name);
    if (q == nullptr) return std::nullopt;
    return q->value;
}

Vec3 times(const Mat3& m, const Vec3& v) {
    Vec3 out{};
    for (int i = 0; i < 3; ++i) out[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return out;
}

Mat3 times(const Mat3& a, const Mat3& b) {
    Mat3 out{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    return out;
}

// Ten to an integer power by repeated products (exact up to 10^22; no library power).
double powerOfTen(int n) {
    double p = 1;
    for (int i = 0; i < (n < 0 ? -n : n); ++i) p *= 10;
    return n < 0 ? 1 / p : p;
}

// z of each ply's faces from the mid-plane: bottom, middle, top.
std::vector<std::array<double, 3>> faceHeights(const Laminate& lam) {
    double h = 0;
    for (const LayupPly& p : lam.plies) h += lam.sets[p.set - 1].thickness;
    std::vector<std::array<double, 3>> z;
    double bottom = -h / 2;
    for (const LayupPly& p : lam.plies) {
        const double top = bottom + lam.sets[p.set - 1].thickness;
        z.push_back({bottom, (bottom + top) / 2, top});
        bottom = top;
    }
    return z;
}

}  // namespace

std::optional<double> halfUnit(const std::string& text) {
    std::size_t dot = text.find('.');
    if (dot == std::string::npos) return std::nullopt;
    std::size_t i = dot + 1;
    int digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'D')) ++i;
    if (i >= text.size() || (text[i] != '+' && text[i] != '-')) return std::nullopt;
    const bool negative = text[i] == '-';
    int exponent = 0;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        exponent = exponent * 10 + (text[i] - '0');
    if (i != text.size() || exponent > 400) return std::nullopt;
    return 0.5 * powerOfTen((negative ? -exponent : exponent) - digits);
}

std::optional<Laminate> laminateOf(const Results& r, std::string& why) {
    Laminate lam;
    for (int m = 1; m <= 10; ++m) {
        const std::string base = "set[" + std::to_string(m) + "].";
        if (r.find(base + "e2") == nullptr) break;  // the set whose negative e1 ended them
        auto e1 = valueOf(r, base + "e1"), e2 = valueOf(r, base + "e2"),
             nu12 = valueOf(r, base + "nu12"), t = valueOf(r, base + "thickness"),
             creep = valueOf(r, base + "creep-fraction");
        if (!e1 || !e2 || !nu12 || !t || !creep) {
            why = "material set " + std::to_string(m) + " has an answer that is not a plain number";
            return std::nullopt;
        }
        MaterialSet s{*e1, *e2, *nu12, 0, *t, *creep, false};
        if (g12Asked(*e1, *e2)) {
            auto g12 = valueOf(r, base + "g12");
            if (!g12) {
                why = "material set " + std::to_string(m) + " has no shear modulus that is a plain number";
                return std::nullopt;
            }
            s.g12 = *g12;
        } else {
            s.g12 = *e1 / ((*nu12 + 1.0) * 2.0);
            s.g12Derived = true;
        }
        lam.sets.push_back(s);
    }
    for (int k = 1; k <= 20; ++k) {
        const std::string base = "ply[" + std::to_string(k) + "].";
        if (r.find(base + "angle") == nullptr) break;
        auto set = valueOf(r, base + "set"), angle = valueOf(r, base + "angle");
        if (!set || !angle) {
            why = "ply " + std::to_string(k) + " has an answer that is not a plain number";
            return std::nullopt;
        }
        if (*set < 1 || *set > static_cast<double>(lam.sets.size()) || *set != std::floor(*set)) {
            why = "ply " + std::to_string(k) + " names no material set of the answers";
            return std::nullopt;
        }
        lam.plies.push_back({static_cast<int>(*set), *angle});
    }
    if (lam.plies.empty()) {
        why = "the answers give no ply (an answer file is needed: --answers)";
        return std::nullopt;
    }
    for (int i = 0; i < 6; ++i) {
        auto v = valueOf(r, LOAD_NAMES[i]);
        if (!v) {
            why = std::string("the answers give no load ") + LOAD_NAMES[i] + " that is a plain number";
            return std::nullopt;
        }
        lam.loads[i] = *v;
    }
    if (auto t = valueOf(r, "relaxation-time")) lam.relaxationTime = *t;
    return lam;
}

Mat3 reducedStiffness(const MaterialSet& s) {
    const double nu21 = s.nu12 * s.e2 / s.e1;
    const double d = 1 - s.nu12 * nu21;
    return {{{s.e1 / d, s.nu12 * s.e2 / d, 0}, {s.nu12 * s.e2 / d, s.e2 / d, 0}, {0, 0, s.g12}}};
}

Mat3 strainTransformation(double angle) {
    const CosSin cs = cosSinDegrees(angle);
    const double c2 = cs.cos * cs.cos, s2 = cs.sin * cs.sin, sc = cs.sin * cs.cos;
    return {{{c2, s2, sc}, {s2, c2, -sc}, {-2 * sc, 2 * sc, c2 - s2}}};
}

Mat3 stressTransformation(double angle) {
    const CosSin cs = cosSinDegrees(angle);
    const double c2 = cs.cos * cs.cos, s2 = cs.sin * cs.sin, sc = cs.sin * cs.cos;
    return {{{c2, s2, 2 * sc}, {s2, c2, -2 * sc}, {-sc, sc, c2 - s2}}};
}

std::vector<PlyState> plyStates(const Laminate& lam, const std::array<double, 6>& e) {
    const auto z = faceHeights(lam);
    std::vector<PlyState> out;
    for (std::size_t k = 0; k < lam.plies.size(); ++k) {
        const LayupPly& p = lam.plies[k];
        const Mat3 q = reducedStiffness(lam.sets[p.set - 1]);
        const Mat3 te = strainTransformation(p.angle);
        PlyState state;
        for (int f = 0; f < 3; ++f) {
            FaceState& face = state.faces[f];
            face.z = z[k][f];
            const Vec3 strain{e[0] + face.z * e[3], e[1] + face.z * e[4], e[2] + face.z * e[5]};
            face.eps = times(te, strain);
            face.sigma = times(q, face.eps);
        }
        out.push_back(state);
    }
    return out;
}

DerivedStresses deriveStresses(const Results& r, const Laminate& lam) {
    DerivedStresses out;
    std::array<double, 6> half{};
    for (int i = 0; i < 6; ++i) {
        const Quantity* q = r.find(DEFORMATION_NAMES[i]);
        std::optional<double> h = q ? halfUnit(q->text) : std::nullopt;
        if (q == nullptr || !q->value || !h) {
            out.error = std::string("the results print no ") + DEFORMATION_NAMES[i] +
                        " to derive the stresses from";
            return out;
        }
        out.deformation[i] = *q->value;
        half[i] = *h;
    }
    out.plies = plyStates(lam, out.deformation);
    int printedPlies = 0;
    while (r.find("ply[" + std::to_string(printedPlies + 1) + "].sigma-1")) ++printedPlies;
    if (printedPlies != static_cast<int>(lam.plies.size())) {
        out.error = "the results print the stresses of " + std::to_string(printedPlies) +
                    " plies, the answers give " + std::to_string(lam.plies.size());
        return out;
    }
    const char* const stressNames[3] = {"sigma-1", "sigma-2", "sigma-12"};
    for (std::size_t k = 0; k < lam.plies.size(); ++k) {
        const FaceState& mid = out.plies[k].faces[Middle];
        const Mat3 stiffness = reducedStiffness(lam.sets[lam.plies[k].set - 1]);
        const Mat3 te = strainTransformation(lam.plies[k].angle);
        const Mat3 m = times(stiffness, te);
        // T, turning laminate-axis stresses to material axes, and Q-bar = T^-1 Q Te.
        const Mat3 t = stressTransformation(lam.plies[k].angle);
        const Mat3 qbar = times(stressTransformation(-lam.plies[k].angle), m);
        const double z = std::fabs(mid.z);
        for (int i = 0; i < 3; ++i) {
            const std::string name = "ply[" + std::to_string(k + 1) + "]." + stressNames[i];
            const Quantity* q = r.find(name);
            std::optional<double> h = q ? halfUnit(q->text) : std::nullopt;
            if (q == nullptr || !q->value || !h) {
                out.error = "the results print no " + name + " (a field of asterisks?)";
                return out;
            }
            double rounding = *h, magnitude = 0;
            for (int j = 0; j < 3; ++j) rounding += std::fabs(m[i][j]) * (half[j] + z * half[j + 3]);
            // The program sums Q-bar e0 and Q-bar k0 z in laminate axes and turns the sum with
            // T, in single precision: its rounding is relative to the terms' sizes on that path
            // (a stress across the fibres can be a small difference of large ones).
            for (int l = 0; l < 3; ++l) {
                double row = 0;
                for (int j = 0; j < 3; ++j)
                    row += std::fabs(qbar[l][j]) * (std::fabs(out.deformation[j]) + z * std::fabs(out.deformation[j + 3]));
                magnitude += std::fabs(t[i][l]) * row;
            }
            // The program turns the angle into radians with 3.14159 in single precision:
            // its plies sit off the exact angle by up to dtheta. The stresses are Q Te e, and
            // each entry of Te changes by at most 2 per radian, so they move by at most
            // dtheta times the row of |Q| times 2 (|e-x| + |e-y| + |gamma-xy|) at the middle.
            const double theta = std::fabs(lam.plies[k].angle) * RADIANS_PER_DEGREE;
            const double dtheta = theta * (1 - PROGRAM_PI / EXACT_PI) + 0x1p-23 * (theta + 1);
            const double strain = std::fabs(out.deformation[0] + mid.z * out.deformation[3]) +
                                  std::fabs(out.deformation[1] + mid.z * out.deformation[4]) +
                                  std::fabs(out.deformation[2] + mid.z * out.deformation[5]);
            const double turned = dtheta * (std::fabs(stiffness[i][0]) + std::fabs(stiffness[i][1]) + std::fabs(stiffness[i][2])) * 2 * strain;
            const double tolerance = rounding + 1e-5 * magnitude + turned;
            const double difference = std::fabs(mid.sigma[i] - *q->value);
            if (!(difference <= tolerance)) {
                out.error = "the answers do not belong to these results: " + name + " is printed " +
                            q->text + ", the answers' stiffness and the printed strains give " +
                            shortest(mid.sigma[i]) + " (tolerance " + shortest(tolerance) + ")";
                return out;
            }
        }
    }
    return out;
}

}  // namespace kit
