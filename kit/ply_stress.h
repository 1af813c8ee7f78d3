// Each ply's stresses and strains in its material axes at its bottom, middle and top faces,
// derived from the printed mid-plane strains and curvatures and the ply's reduced stiffness,
// computed in double precision from the inputs (the material sets and the layup of the
// answers). z is measured from the mid-plane, the bottom face of ply 1 at -h/2, as the
// program's layup. The derived middle stresses are held to the printed ones: they must agree
// to the rounding of the printed digits, or the inputs do not belong to these results.
// Free of file and process calls.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "kit/results.h"

namespace kit {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;  // by rows

struct MaterialSet {
    double e1 = 0, e2 = 0, nu12 = 0, g12 = 0, thickness = 0, creepFraction = 0;
    bool g12Derived = false;  // the program did not ask it: e1 / (2 (1 + nu12))
};

struct LayupPly {
    int set = 0;       // 1-based
    double angle = 0;  // degrees
};

// What the answers of a run describe: material sets, layup, loads, relaxation time.
struct Laminate {
    std::vector<MaterialSet> sets;  // set m is sets[m - 1]
    std::vector<LayupPly> plies;    // bottom up
    std::array<double, 6> loads{};  // nx, ny, nxy, mx, my, mxy
    double relaxationTime = 1;
};

extern const char* const LOAD_NAMES[6];         // "nx" ... "mxy"
extern const char* const DEFORMATION_NAMES[6];  // "eps-xx" ... "kappa-xy"

// The laminate of the inputs of `results` (an answer file's), or the reason there is none.
std::optional<Laminate> laminateOf(const Results& results, std::string& why);

// The reduced stiffness Q of a set, in its material axes.
Mat3 reducedStiffness(const MaterialSet& set);
// Laminate-axis strains (eps-xx, eps-yy, gamma-xy) to material-axis strains (eps-1, eps-2,
// gamma-12) of a ply at `angle` degrees from x to the fibres.
Mat3 strainTransformation(double angle);
// Laminate-axis stresses to material-axis stresses (sigma-1, sigma-2, sigma-12); its inverse
// is the transformation of the negated angle.
Mat3 stressTransformation(double angle);

enum Face { Bottom = 0, Middle = 1, Top = 2 };
extern const char* const FACE_NAMES[3];  // "bottom", "middle", "top"

struct FaceState {
    double z = 0;
    Vec3 sigma{};  // sigma-1, sigma-2, sigma-12
    Vec3 eps{};    // eps-1, eps-2, gamma-12
};

struct PlyState {
    std::array<FaceState, 3> faces;
};

// The stresses and strains of every ply at its three faces under the deformation
// (eps-xx ... kappa-xy).
std::vector<PlyState> plyStates(const Laminate& laminate, const std::array<double, 6>& deformation);

struct DerivedStresses {
    std::vector<PlyState> plies;
    std::array<double, 6> deformation{};
    std::string error;  // empty when derived and in agreement with the printed stresses
    bool ok() const { return error.empty(); }
};

// From the printed deformation of `results`, checked against its printed middle stresses.
// The tolerance of each stress is the printed strains' and curvatures' half units carried
// through the ply's stiffness, plus the printed stress's half unit, plus 1e-5 of the terms'
// magnitude on the program's path (Q-bar in laminate axes, then T) for its single precision, plus the turn of the stresses by
// the program's angle error (it takes pi as 3.14159 in single precision).
DerivedStresses deriveStresses(const Results& results, const Laminate& laminate);

// Half a unit of the last printed digit of a field such as "-.2262E-02".
std::optional<double> halfUnit(const std::string& text);

}  // namespace kit
