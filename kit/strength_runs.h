// The runs behind strength, last-ply failure and envelopes: the inputs (results, answers or
// case, strengths), a run of the program on a laminate of the kit's own, and the ply
// discount's runs. The computations are the library's (ply_stress, criteria, strength,
// discount); this part reads files and starts processes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "kit/case_file.h"
#include "kit/discount.h"
#include "kit/results.h"
#include "kit/runner.h"
#include "kit/strength.h"

namespace kit {

struct StrengthSource {
    std::string results;    // results file ("" to run the program on the answers)
    std::string answers;    // answer file or case file
    std::string strengths;  // strengths file ("" for the case's own)
    std::string program;
    unsigned jobs = 0;
    bool needResults = true;  // false: the laminate alone (from a case, without pairing runs)
};

struct StrengthInput {
    Results results;            // with the inputs and derived quantities (needResults)
    Laminate laminate;
    SetStrengths strengths;
};

// Loads what a strength computation needs. Returns 0, or the exit status with the message
// written: 2 for bad input (FILE:LINE), 1 for a run that ended in a report (the report).
int loadStrengthInput(const StrengthSource& source, StrengthInput& input);

// The ply states and the printed deformation of a run of the program on `laminate`, its
// printed stresses held to the derived ones. None, with `error`, when the run ends in a
// report or disagrees.
std::optional<DerivedStresses> runLaminate(const std::vector<std::string>& command,
                                           const Laminate& laminate, std::string& error);

// Last-ply failure by ply discount (discountByRuns), each step a run of `command`.
DiscountRun runDiscount(const std::vector<std::string>& command, const Laminate& laminate,
                        const SetStrengths& strengths, Criterion criterion,
                        const std::optional<std::array<double, 6>>& fixed = std::nullopt);

}  // namespace kit
