// The names of doc/names.md nearest to one that is none of them (isQuantityName, results.h),
// for the message that refuses it. Free of file and process calls.
#pragma once

#include <string>
#include <vector>

namespace kit {

// Up to three known names nearest to `name` (by edit distance, a difference of case counting
// less), nearest first.
std::vector<std::string> nearestNames(const std::string& name);

}  // namespace kit
