// Quantities derived from the printed ones: the laminate thickness (from the inputs) and the
// engineering constants of the membrane and bending blocks of the printed compliance.
#pragma once

#include <string>
#include <vector>

#include "kit/results.h"

namespace kit {

// Derived quantities of `results`, whose quantities may include the inputs (for the
// thickness, which the program does not print). Those that need what is missing are left
// out.
std::vector<Quantity> deriveQuantities(const Results& results);

// Whether any of `names` is an input or a quantity derived from the inputs: those need the
// pairing runs of the answer file (inputs.h), the others only the results.
bool needsInputs(const std::vector<std::string>& names);

}  // namespace kit
