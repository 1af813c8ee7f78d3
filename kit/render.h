// The read results as text, JSON and CSV.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "kit/case_file.h"
#include "kit/compare.h"
#include "kit/results.h"

namespace kit {

// The kit's version, in every JSON it writes.
extern const char* const VERSION;

nlohmann::ordered_json toJson(const Results& r);
nlohmann::ordered_json toJson(const Quantity& q);
// A case file as the kit read it, with the answers it writes (`lamvis2-kit case --json`).
nlohmann::ordered_json toJson(const CaseFile& c);
std::string toText(const Results& r);
// A comparison as `lamvis2-kit compare --json` writes it.
nlohmann::ordered_json toJson(const Comparison& c, const Results& archived, const Results& fresh,
                              const CompareOptions& options);
std::string toCsv(const Results& r);
std::string csvField(const std::string& s);
// A report of two lines on one, for a table cell.
std::string oneLine(std::string s);
// The text of quantity `name` in `r` as a summary cell of run and study: printed numbers as
// printed, inputs as answered, derived ones shortest ("" when it is not there).
std::string cell(const Results& r, const std::string& name);
// JSON as the kit writes it (indented by one blank, or on one line with indent < 0), a line
// end after it. A text that is not UTF-8 (an answer line of other bytes) has each bad byte
// replaced by U+FFFD, where the library would stop the program.
std::string jsonText(const nlohmann::ordered_json& j, int indent = 1);
// The shortest text that reads back as `v`.
std::string shortest(double v);

}  // namespace kit
