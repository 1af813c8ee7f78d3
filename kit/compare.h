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
};

struct Difference {
    std::string name, table;
    std::string archivedText, newText;   // "" where the number is missing on that side
    std::optional<double> archived, fresh;
    int archivedLine = 0, newLine = 0;
    std::optional<double> absolute, relative;
    std::string marks;                   // "^" under each character of the texts that differs
    std::string why;                     // the explanation, for an explained difference
};

struct TableTally {
    std::string name;
    int count = 0, agree = 0, differ = 0, explained = 0;
};

struct Parting {
    DialogueLine archived, fresh;  // what each side printed where they part (line 0: nothing)
    std::string after;             // the last line the two printed alike
    std::string why;               // the explanation, when explained
};

struct Comparison {
    std::vector<TableTally> tables;
    std::vector<Difference> differences;  // counted
    std::vector<Difference> explained;    // not counted
    std::optional<Parting> parting;
    bool partingExplained = false;
    bool endsDiffer = false;
    std::string archivedEnd, newEnd;      // exit status and report of each
    bool agree() const {
        return differences.empty() && (!parting || partingExplained) && !endsDiffer;
    }
};

Comparison compareResults(const Results& archived, const Results& fresh, const CompareOptions& options);

// The texts right-aligned, with "^" under each column where they differ.
std::string differingDigits(const std::string& a, const std::string& b);

// A person's report of the comparison.
std::string comparisonText(const Comparison& c, const Results& archived, const Results& fresh,
                           const CompareOptions& options);

}  // namespace kit
