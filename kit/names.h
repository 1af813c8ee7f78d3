// The names of doc/names.md as a check: whether a name given by a user (to -q, say) is one
// that the kit can ever give a value, and the nearest known names when it is not. Free of
// file and process calls.
#pragma once

#include <string>
#include <vector>

namespace kit {

// Whether `name` is a name of doc/names.md (printed, input or derived), indices in range.
bool knownName(const std::string& name);

// Up to three known names nearest to `name` (by edit distance, a difference of case counting
// less), nearest first.
std::vector<std::string> nearestNames(const std::string& name);

}  // namespace kit
