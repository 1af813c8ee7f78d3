// A study's grid: the placeholders {NAME} of an answer-file template, the ranges given for
// them, and the answer file of each grid point. Free of file and process calls.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kit {

struct Range {
    std::string name;
    std::vector<std::string> values;  // the texts put in place of {name}
};

// Parses "NAME=FROM:TO:STEP" (STEP may be negative when FROM > TO; FROM alone is one
// value). Returns false with `error` when it is malformed or yields no value.
bool parseRange(const std::string& spec, Range& range, std::string& error);

// The placeholders of `text`, in order of first appearance, each with the line it first
// appears on.
struct Placeholder {
    std::string name;
    int line;
};
std::vector<Placeholder> placeholders(const std::string& text);

// `text` with each {NAME} replaced by its value (names and values in the same order).
std::string fill(const std::string& text, const std::vector<std::string>& names,
                 const std::vector<std::string>& values);

// The grid points in order, the first range outermost: indices into each range's values.
std::vector<std::vector<std::size_t>> grid(const std::vector<Range>& ranges);

// The number of grid points (the product of the ranges' sizes), or nullopt above `limit`.
std::optional<std::size_t> gridSize(const std::vector<Range>& ranges, std::size_t limit);

// Grid point `i` (as grid() orders them): indices into each range's values.
std::vector<std::size_t> gridPoint(const std::vector<Range>& ranges, std::size_t i);

}  // namespace kit
