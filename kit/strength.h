// Strength of a laminate from a run's printed results: per ply and face the stresses and
// strains in the material axes (ply_stress.h), each criterion's strength ratio R, failure
// index 1/R and mode (criteria.h); per criterion the first-ply failure (R, ply, face, mode,
// the failure loads R times each load) and, with a load factor F, the margin R/F - 1. All as
// kit quantities of kind Derived in the table "strength" (doc/names.md). Free of file and
// process calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/criteria.h"
#include "kit/ply_stress.h"
#include "kit/results.h"
#include "kit/strengths.h"

namespace kit {

// The strengths of each material set (set m at [m - 1]); none for a set without them.
using SetStrengths = std::vector<std::optional<Strengths>>;

struct StrengthOptions {
    std::vector<Criterion> criteria{std::begin(ALL_CRITERIA), std::end(ALL_CRITERIA)};
    std::optional<double> factor;  // ultimate over limit load, for the margins
};

struct FirstPly {
    Failure failure;   // factor none: no load reaches any surface
    int ply = 0;       // 1-based; 0 when none
    Face face = Bottom;
};

struct StrengthReport {
    std::vector<Criterion> criteria;
    std::vector<PlyState> plies;
    // failures[k][face][i]: ply k + 1, criterion criteria[i].
    std::vector<std::array<std::vector<Failure>, 3>> failures;
    std::vector<FirstPly> firstPly;  // per criterion
    std::array<double, 6> loads{};
    std::optional<double> factor;
    std::vector<Quantity> quantities;
    std::string error;  // why there are no strength numbers
    bool ok() const { return error.empty(); }
};

// The sets' strengths, set m at strengths[m - 1]: a set that a ply uses must have them.
std::string checkStrengthsCover(const Laminate& laminate, const SetStrengths& strengths);

// The failures of every ply and face of `states` (the plies of `laminate`).
std::vector<std::array<std::vector<Failure>, 3>> plyFailures(
    const Laminate& laminate, const SetStrengths& strengths,
    const std::vector<PlyState>& states, const std::vector<Criterion>& criteria);

// The least R over plies and faces (the first ply, then face, on a tie) for criterion i.
FirstPly firstPlyOf(const std::vector<std::array<std::vector<Failure>, 3>>& failures, std::size_t i);

// The first-ply failure of one criterion when the loads of `scaled` are multiplied on top of
// those of `base` (none: no fixed loads): the least factor over plies and faces.
FirstPly firstPlyFailure(const Laminate& laminate, const SetStrengths& strengths, Criterion c,
                         const std::vector<PlyState>& scaled, const std::vector<PlyState>* base);

StrengthReport strengthOf(const Results& results, const Laminate& laminate,
                          const SetStrengths& strengths, const StrengthOptions& options);

// The stresses and strains of ply k + 1 at `face`, as the strength table names them
// (ply[k].FACE.sigma-1 ... gamma-12), appended to `out`.
void appendFaceQuantities(std::vector<Quantity>& out, std::size_t k, Face face, const FaceState& state);

// Each ply's stresses and strains at its bottom, middle and top faces, which need no
// strengths (the names and values that strengthOf gives them, in its order); empty, with
// `error` saying why, where the results do not allow them (deriveStresses).
struct FaceStresses {
    std::vector<Quantity> quantities;
    std::string error;
    bool ok() const { return error.empty(); }
};
FaceStresses faceStressesOf(const Results& results, const Laminate& laminate);

// Adds the strength quantities of every criterion to `results` (whose inputs must be there)
// when `caseText`, a case file called `caseFile`, gives strengths for the sets of its plies;
// otherwise, where strengths are given but there can be no numbers, a warning says why.
void addCaseStrength(Results& results, std::string_view caseText, const std::string& caseFile);

// The report as text: a table of stresses and strains per ply and face, one of each
// criterion's R and mode, and the first-ply failures.
std::string strengthText(const StrengthReport& report);

// A number for the text tables: five significant digits, the same on every platform.
std::string fiveDigits(double v);

// Whether `name` is one of the strength names of doc/names.md (ply[k].FACE..., first-ply...,
// last-ply..., set[m].tsai-wu...).
bool isStrengthQuantityName(std::string_view name);

// A derived quantity of the table "strength".
Quantity strengthQuantity(std::string name, std::optional<double> value, std::string text = "");

}  // namespace kit
