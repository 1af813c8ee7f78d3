// The inputs of a run: each prompt with the answer line it consumed. They are found from the
// program's own run, not from a second copy of the dialogue's rules: run with
// LAMVIS2_READ_TRACE naming a file, the program notes there, for each input line it begins to
// take, the read statement taking it and how many bytes of output stood before it
// (consoleio/read_trace.h). The last line a statement takes is the one that answered it (the
// lines before it, empty ones, it skipped); the prompt is the last line printed before it.
// This part only pairs; the run is the caller's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kit/results.h"

namespace kit {

// One line of the read trace: the read statement, the bytes of output before it, the
// number of the input line it began to take.
struct TracedRead {
    long long statement = 0, outputBytes = 0, line = 0;
};

// The environment variable that asks the program for the trace, and the trace's first line.
constexpr const char* READ_TRACE_VARIABLE = "LAMVIS2_READ_TRACE";
constexpr std::string_view READ_TRACE_FIRST_LINE = "lamvis2 read trace 1";

// The reads of a trace; false, with `error`, when `text` is not a read trace.
bool parseReadTrace(std::string_view text, std::vector<TracedRead>& reads, std::string& error);

// The answer file's lines, without their line ends; a last line without a line end is a
// line too.
std::vector<std::string> answerLines(std::string_view answers);

struct InputPairing {
    std::vector<Quantity> inputs;   // kind Input, in the order the program read them
    int unusedLines = 0;            // lines after the one that ended the run
    bool endedEarly = false;        // the program still wanted input after the last line
    std::string error;              // the runs do not agree with one another
};

// Whether a run that ended with `status`, having written `err` to standard error, stopped at
// a read for want of input (the end-of-input report F6501).
bool wantedInput(int status, std::string_view err);

// `out` is the run's standard output, `reads` its trace; `wantedInput`: it ended at a read for
// want of input (F6501).
InputPairing pairInputs(const std::vector<std::string>& lines, std::string_view out,
                        const std::vector<TracedRead>& reads, bool wantedInput);

}  // namespace kit
