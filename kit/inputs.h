// The inputs of a run: each prompt with the answer line it consumed. They are found from
// runs of the program itself, not from a second copy of the dialogue's rules: the program
// run on the first k lines of the answer file stops at its next read for want of input
// (report F6501), having printed exactly what it prints before that read; so the run on k
// lines shows where the read that line k + 1 may answer stands, and whether line k + 1
// was taken there (the run on k + 1 lines goes on past it) or skipped (an empty line: it
// still waits at the same read). This part only pairs; the runs are the caller's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kit/results.h"

namespace kit {

// The run of the program on the first k lines of the answer file, k = 0 .. lines.
struct PrefixRun {
    std::string out;            // its standard output
    bool wantedInput = false;   // it stopped at a read for want of input (F6501)
};

// The answer file's lines, without their line ends; a last line without a line end is a
// line too.
std::vector<std::string> answerLines(std::string_view answers);

struct InputPairing {
    std::vector<Quantity> inputs;   // kind Input, in the order the program read them
    int unusedLines = 0;            // lines after the one that ended the run
    bool endedEarly = false;        // the program still wanted input after the last line
    std::string error;              // the runs do not agree with one another
};

// Where the first k lines of `answers` end, each with its line end as the file has it:
// element k is the length of the prefix of k lines (k = 0 .. answerLines(answers).size()).
std::vector<std::size_t> answerPrefixEnds(std::string_view answers);

// Whether a run that ended with `status`, having written `err` to standard error, stopped at
// a read for want of input (the end-of-input report F6501).
bool wantedInput(int status, std::string_view err);

// `runs[k]` is the run on the first k lines (runs.size() == lines.size() + 1).
InputPairing pairInputs(const std::vector<std::string>& lines, const std::vector<PrefixRun>& runs);

}  // namespace kit
