// The read results as text, JSON and CSV.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "kit/case_file.h"
#include "kit/results.h"

namespace kit {

nlohmann::ordered_json toJson(const Results& r);
nlohmann::ordered_json toJson(const Quantity& q);
// A case file as the kit read it, with the answers it writes (`lamvis2-kit case --json`).
nlohmann::ordered_json toJson(const CaseFile& c);
std::string toText(const Results& r);
std::string toCsv(const Results& r);
std::string csvField(const std::string& s);
// A report of two lines on one, for a table cell.
std::string oneLine(std::string s);
// The shortest text that reads back as `v`.
std::string shortest(double v);

}  // namespace kit
