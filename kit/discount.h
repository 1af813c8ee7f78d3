// Last-ply failure by ply discount, the bookkeeping: which plies have failed and how, the
// laminate of degraded material sets for the next run of the program, and the next failure
// from that run's ply states; and the steps' loop, each run made through the caller's
// RunProgram. Free of file and process calls.
//
// A ply that fails in a matrix mode (matrix tension or compression, shear) keeps its fibres:
// its E2 and G12 are multiplied by DISCOUNT_FACTOR and only its fibre stress is held to the
// criterion afterwards (its sigma-2 and sigma-12, eps-2 and gamma-12 taken as zero), so that it
// can still fail in a fibre mode. A ply that fails in a fibre mode carries nothing more: all
// its moduli are multiplied by the factor. The degraded sets are appended to the answers' sets
// (one for each set and state in use), which the program's ten sets bound.
//
// The laminate carries no more, and the last step's load factor is its last-ply failure, when
// every ply has failed in a fibre mode; or when no ply can fail further at any factor; or when
// its deformation under the loads (the work of the loads, the sum of each load times its
// strain or curvature) has grown to COLLAPSE times the intact laminate's, that is, when its
// stiffness against these loads is no more than the degraded plies'.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kit/criteria.h"
#include "kit/laminate_case.h"
#include "kit/ply_stress.h"
#include "kit/strength.h"

namespace kit {

// Small enough that a failed ply keeps 0.1 % of its stiffness in the failed directions, large
// enough that the laminate stiffness stays well conditioned for the program's single
// precision (its condition grows about as 1 / factor: 1e3 leaves the inversion's error near
// 1e-4 of the values, below the four printed digits) and that no modulus is zero (a zero
// modulus ends the program's run with a division by zero).
constexpr double DISCOUNT_FACTOR = 1e-3;

constexpr double COLLAPSE = 0.1 / DISCOUNT_FACTOR;

enum class PlyCondition { Intact, MatrixFailed, FibreFailed };

struct DiscountStep {
    double loadFactor = 0;      // the factor on the loads at which these plies failed
    std::vector<int> plies;     // 1-based
    std::vector<Mode> modes;    // of each
    std::vector<Face> faces;    // where each failed
    int sets = 0;               // material sets of the run that found it
};

struct Discount {
    Criterion criterion = Criterion::TsaiWu;
    std::vector<PlyCondition> plies;
    double loadFactor = 0;
    std::vector<DiscountStep> steps;
    bool finished = false;
    std::optional<double> lastPly;  // the factor beyond which the laminate carries no more
    std::optional<double> intactWork;  // the work of the loads on the intact laminate
    std::string stop;               // why the steps ended (or could not go on)
};

Discount startDiscount(Criterion criterion, std::size_t plies);

// The laminate of the next run: the answers' sets, then the degraded ones, each failed ply
// on its degraded set; `strengths` extended alike. None, with `why`, when the program's sets
// run out or a degraded set's shear modulus would not be taken by the program (its moduli
// within 0.1 %).
std::optional<Laminate> degradedLaminate(const Laminate& original, const Discount& d,
                                         const SetStrengths& strengths, SetStrengths& extended,
                                         std::string& why);

// Takes the ply states of the run of `degraded` (the laminate of degradedLaminate) and finds
// the next failure: the plies that fail at the least factor (within a millionth of it),
// at the current load factor or above. Ends the discount when every ply has failed, or when
// no factor makes any ply fail.
// `work` is the work of the scaled loads on the run's deformation. With `base` (the ply
// states under the loads that stay fixed), the factor multiplies only the loads of `states`
// on top of them: state = base + factor * states.
void advanceDiscount(Discount& d, const Laminate& degraded, const SetStrengths& extended,
                     const std::vector<PlyState>& states, double work,
                     const std::vector<PlyState>* base = nullptr);

// The work of `loads` on `deformation` (eps-xx ... kappa-xy).
double loadWork(const std::array<double, 6>& loads, const std::array<double, 6>& deformation);

struct DiscountRun {
    Discount discount;
    int runs = 0;
    std::string error;  // a run that could not be made or ended in a report
};

// Last-ply failure by ply discount: each step a run of the program (`run`, the caller's) on
// the degraded laminate. With `fixed` (loads that stay as they are while the laminate's own
// loads are scaled), each step also runs the degraded laminate under them alone.
DiscountRun discountByRuns(const RunProgram& run, const Laminate& laminate, const SetStrengths& strengths,
                           Criterion criterion, const std::optional<std::array<double, 6>>& fixed = std::nullopt);

// The discount's table of steps as text, and as quantities last-ply.CRITERION...
std::string discountText(const DiscountRun& run);
std::vector<Quantity> discountQuantities(const DiscountRun& run, const Laminate& laminate);

// Adds last-ply.CRITERION... for each criterion that a name of `wanted` asks (last-ply.NAME
// or last-ply.NAME.x) to `results` (with its inputs), when `caseText`, a case file, gives
// strengths: run and study -q take them so. Each step a run of `run`.
void addLastPly(Results& results, std::string_view caseText, const std::string& caseFile,
                const std::vector<std::string>& wanted, const RunProgram& run);

}  // namespace kit
