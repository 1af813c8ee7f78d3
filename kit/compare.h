// The comparison of two results files, number by number and by name, and of their
// dialogues line by line. Free of file and process calls.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kit/results.h"

namespace kit {

struct CompareOptions {
    // Two numbers agree when they are printed alike, or (with a tolerance) when their
    // absolute difference is at most `absolute` or their relative difference (to the smaller
    // magnitude) at most `relative`.
    double relative = 0;
    double absolute = 0;
    // The archive came from the legacy program: differences that its known departures
    // explain are listed apart and not counted.
    bool legacy = false;
    // A noise floor: a difference of at most `floor` times the scale of its table (the largest
    // magnitude printed in it, on either side; the relaxation times and the relaxation
    // deformations each their own) is round-off, listed apart and not counted.
    // 0: none, every difference counts.
    double floor = 0;
};

struct Difference {
    std::string name, table;
    std::string archivedText, newText;   // "" where the number is missing on that side
    std::optional<double> archived, fresh;
    int archivedLine = 0, newLine = 0;
    std::optional<double> absolute, relative;
    std::string marks;                   // "^" under each character of the texts that differs
    std::string why;                     // the explanation, for an explained difference
    double scaled = 0;                   // absolute / the table's scale (infinite: one side missing)
};

struct TableTally {
    std::string name;
    int count = 0, agree = 0, differ = 0, explained = 0, roundOff = 0;
    double scale = 0;                         // the largest magnitude printed in it
    std::optional<double> largestAbsolute, largestRelative;  // of its counted differences
};

struct Parting {
    DialogueLine archived, fresh;  // what each side printed where they part (line 0: nothing)
    std::string after;             // the last line the two printed alike
    std::string why;               // the explanation, when explained
};

struct Comparison {
    std::vector<TableTally> tables;
    std::vector<Difference> differences;  // counted, largest (to the table's scale) first
    std::vector<Difference> explained;    // not counted
    std::vector<Difference> roundOff;     // below the floor, not counted, largest first
    std::optional<Parting> parting;
    bool partingExplained = false;
    bool endsDiffer = false;
    std::string archivedEnd, newEnd;      // exit status and report of each
    bool afterEndDiffers = false;         // text after the end of a run on one side, not alike
    bool agree() const {
        return differences.empty() && (!parting || partingExplained) && !endsDiffer && !afterEndDiffers;
    }
};

Comparison compareResults(const Results& archived, const Results& fresh, const CompareOptions& options);

// The texts right-aligned, with "^" under each column where they differ.
std::string differingDigits(const std::string& a, const std::string& b);

// A person's report of the comparison.
std::string comparisonText(const Comparison& c, const Results& archived, const Results& fresh,
                           const CompareOptions& options);

}  // namespace kit
