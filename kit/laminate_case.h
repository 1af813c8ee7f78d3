// Between a case file and the laminate the strength computations use: the laminate a case
// describes, and the answers (through the case format's writer) that give the program a
// laminate of the kit's own, such as one with degraded sets. Free of file and process calls.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "kit/case_file.h"
#include "kit/ply_stress.h"

namespace kit {

// The laminate of a case that gives its sets, plies and loads (none for one that names an
// answer file of its own).
std::optional<Laminate> laminateOfCase(const CaseFile& c);

// The answer file that gives the program `laminate`.
std::string laminateAnswers(const Laminate& laminate);

// What a run of the program gave: its exit status, standard output and standard error, or why
// it could not be made (`error`).
struct ProgramRun {
    int status = -1;
    std::string out, err, error;
};

// Runs the program with `answers` on its standard input: the caller's process layer (the
// kit's command, the Python package), so that this library starts no process itself.
using RunProgram = std::function<ProgramRun(const std::string& answers)>;

// The ply states and the printed deformation of a run of the program on `laminate`, its
// printed stresses held to the derived ones. None, with `error`, when the run could not be
// made, ends in a report or disagrees.
std::optional<DerivedStresses> laminateRun(const RunProgram& run, const Laminate& laminate, std::string& error);

}  // namespace kit
