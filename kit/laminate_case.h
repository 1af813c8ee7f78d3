// Between a case file and the laminate the strength computations use: the laminate a case
// describes, and the answers (through the case format's writer) that give the program a
// laminate of the kit's own, such as one with degraded sets. Free of file and process calls.
#pragma once

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

}  // namespace kit
