// Quantities derived from the printed ones: the laminate thickness (from the inputs) and the
// engineering constants of the membrane and bending blocks of the printed compliance.
#pragma once

#include <vector>

#include "kit/results.h"

namespace kit {

// Derived quantities of `results`, whose quantities may include the inputs (for the
// thickness, which the program does not print). Those that need what is missing are left
// out.
std::vector<Quantity> deriveQuantities(const Results& results);

}  // namespace kit
