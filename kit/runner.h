// Runs of the program for the subcommands: where the program is, a run on answer bytes, the
// inputs of an answer file (from the run's read trace, inputs.h), and a pool of N runs at a
// time.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kit/inputs.h"
#include "kit/laminate_case.h"
#include "kit/process.h"
#include "kit/provenance.h"
#include "kit/results.h"

namespace kit {

// The command that runs the program: `program` if given, else $LAMVIS2_PROGRAM, else the
// program beside the kit's own executable, else `lamvis2` on the path; preceded by the words
// of $LAMVIS2_EMULATOR when set (an emulator such as qemu-aarch64).
std::vector<std::string> programCommand(const std::string& program);

// The provenance of the rows of runs of `command`: the kit's version, and its program (the
// last word), found along the path when it is a bare name, with the SHA-256 of its file.
Provenance provenanceOf(const std::vector<std::string>& command);

// Calls `work(i)` for i = 0 .. count - 1, `jobs` at a time (0: the number of processors).
void forEach(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& work);

// A file for a run's read trace, in the folder for temporary files, removed with this.
class TraceFile {
public:
    TraceFile();
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;
    // The variable that asks the program to write it.
    Environment environment() const;
    // What the run wrote into it ("" when nothing).
    std::string contents() const;

private:
    std::string path_;
};

// The pairing of a run's prompts with the lines of `answers`, from its read trace.
InputPairing pairTracedRun(const std::string& answers, const ProcessResult& run,
                           const std::string& trace);

struct AnsweredRun {
    ProcessResult run;        // the whole answer file
    InputPairing pairing;     // each prompt with its answer line
};

// Runs the program once on the answer file, with its read trace, and pairs the prompts with
// the answer lines.
AnsweredRun runAnswers(const std::vector<std::string>& command, const std::string& answers);

// The program's runs through the kit's process layer, for the library's loops.
RunProgram programRunner(const std::vector<std::string>& command);

// Adds the strength quantities of the case file whose text is `caseText` to `r`, and the
// last-ply failures that `wanted` names (each a ply discount's runs of `command`).
void addCaseFileStrength(Results& r, std::string_view caseText, const std::string& caseFile,
                         const std::vector<std::string>& wanted, const std::vector<std::string>& command);

// Runs the program on `answers` (with its read trace when the inputs are wanted) and reads
// its output, adding the inputs (a pairing that fails is a warning) and the derived
// quantities: a row of a study, for the command and the Python package alike. `error` says
// when the run could not be made (`runFailed`) or its output is not a results file.
// With `caseText`, the text of the (filled) case file `caseFile` that gave the answers, its
// strength quantities too (addCaseFileStrength).
Results runAndRead(const std::vector<std::string>& command, const std::string& answers,
                   bool withInputs, std::string& error, std::string_view caseText = {},
                   const std::string& caseFile = "", const std::vector<std::string>& wanted = {},
                   bool* runFailed = nullptr);

}  // namespace kit
