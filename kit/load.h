// Loading a results file for the subcommands, with the inputs of its answer file and the
// derived quantities.
#pragma once

#include <optional>
#include <string>

#include "kit/batch.h"
#include "kit/results.h"

namespace kit {

struct LoadOptions {
    std::string answers;     // answer file ("" for none)
    std::string stderrFile;  // what the run wrote to standard error ("" for none)
    std::string program;     // the program ("" to look for it)
    unsigned jobs = 0;
};

// Reads `path` (or, with `path` empty, the run of the program on the answers), adds the
// inputs and the derived quantities. Returns false, with `error` ("FILE:LINE: what"), on
// trouble: answers whose run does not print the file's numbers among it. `ranProgram`, when
// given, receives the program run, when one was.
bool loadResults(const std::string& path, const LoadOptions& options, Results& results,
                 std::string& error, std::optional<Provenance>* ranProgram = nullptr);

// The kit's message for trouble, on standard error, and exit status 2.
int trouble(const std::string& message);

}  // namespace kit
