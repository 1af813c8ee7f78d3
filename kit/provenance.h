// Where a row's numbers come from, as the summary and study rows end: the results' SHA-256,
// whether the run is complete, its warnings, the kit's version and the program it ran. Free
// of file and process calls (finding and hashing the program is runner.h's provenanceOf), so
// that the command line and the Python package write the same cells.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kit/results.h"

namespace kit {

// The kit, and the program it runs (its path, and the SHA-256 of its file; "" when it cannot
// be found).
struct Provenance {
    std::string kit, program, programSha256;
};
nlohmann::ordered_json toJson(const Provenance& p);

// The columns that end every summary and study row, in order.
extern const std::vector<std::string> PROVENANCE_COLUMNS;

// Their CSV cells for `r` (r.sha256 empty: a row without results, whose SHA-256 and
// completeness are empty): the warnings joined by "; " on one line, completeness true/false.
std::vector<std::string> provenanceCells(const Results& r, const Provenance& p);

// Their values in a JSON row, appended to `row` in order: the SHA-256 and completeness null
// for a row without results, the warnings a list.
void addProvenance(nlohmann::ordered_json& row, const Results& r, const Provenance& p);

}  // namespace kit
