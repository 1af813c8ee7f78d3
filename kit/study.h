// A study's grid: the placeholders {NAME} of an answer-file template, the ranges given for
// them, and the answer file of each grid point. Free of file and process calls.
#pragma once

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

// The most values a range may yield, and the most points a grid may have: more is surely a
// mistake in a step.
constexpr std::size_t MAX_VALUES = 1000000;
constexpr std::size_t MAX_GRID_POINTS = 1000000;

// The number of points of the grid of `ranges`; false, with `error`, when a range has no
// value or the grid has more than MAX_GRID_POINTS points.
bool gridSize(const std::vector<Range>& ranges, std::size_t& size, std::string& error);

// Grid point `i` (0 <= i < the grid's size), the first range outermost: indices into each
// range's values.
std::vector<std::size_t> gridPoint(const std::vector<Range>& ranges, std::size_t i);

// The grid points in order (gridPoint of 0, 1, ...).
std::vector<std::vector<std::size_t>> grid(const std::vector<Range>& ranges);

// The text of a value of a range, as parseRange writes FROM + i STEP.
std::string valueText(double v);

}  // namespace kit
