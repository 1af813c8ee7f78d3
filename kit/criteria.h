// Failure criteria of a ply face in its material axes: max-stress, max-strain, tsai-hill,
// tsai-wu, hoffman and hashin (plane stress, 1980). The core is the least factor lambda > 0
// at which the state sigma0 + lambda sigmaD reaches the criterion's surface: the strength
// ratio R of a state sigma is the factor with sigma0 = 0 and sigmaD = sigma; a failure
// envelope holds some loads fixed (sigma0) and scales others (sigmaD). Free of file and
// process calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/ply_stress.h"
#include "kit/strengths.h"

namespace kit {

enum class Criterion { MaxStress, MaxStrain, TsaiHill, TsaiWu, Hoffman, Hashin };
constexpr Criterion ALL_CRITERIA[] = {Criterion::MaxStress, Criterion::MaxStrain,
                                      Criterion::TsaiHill,  Criterion::TsaiWu,
                                      Criterion::Hoffman,   Criterion::Hashin};
const char* criterionName(Criterion c);
std::optional<Criterion> criterionNamed(std::string_view name);
// A comma-separated list ("tsai-wu,hashin", "all"); the unknown name in `bad` if any.
std::optional<std::vector<Criterion>> criteriaNamed(std::string_view list, std::string& bad);

enum class Mode { None, FibreTension, FibreCompression, MatrixTension, MatrixCompression, Shear };
const char* modeName(Mode m);  // "fibre-tension", ...; "" for None
bool isFibreMode(Mode m);

// The strengths of a set with every default filled in, and Tsai-Wu's coefficients.
struct Allowables {
    double xt, xc, yt, yc, s, st;
    double e1t, e1c, e2t, e2c, g12u;
    double f1, f2, f11, f22, f66, f12;
};
Allowables allowablesOf(const Strengths& strengths, const MaterialSet& set);

struct FaceLoad {
    Vec3 sigma{};  // sigma-1, sigma-2, sigma-12
    Vec3 eps{};    // eps-1, eps-2, gamma-12
};

struct Failure {
    std::optional<double> factor;  // none: no factor reaches the surface (R infinite)
    Mode mode = Mode::None;        // the mode at the surface
    bool alreadyFailed = false;    // sigma0 itself is on or beyond the surface (factor 0)
};

// The least lambda > 0 at which `base` + lambda `scaled` reaches the surface.
Failure failureFactor(Criterion c, const Allowables& a, const FaceLoad& base, const FaceLoad& scaled);
// The strength ratio R of a state.
Failure strengthRatio(Criterion c, const Allowables& a, const FaceLoad& state);

}  // namespace kit
