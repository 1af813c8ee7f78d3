#include "kit/load.h"

#include <cstdio>

#include "kit/derived.h"
#include "kit/files.h"
#include "kit/runner.h"
#include "kit/strength.h"

namespace kit {

int trouble(const std::string& message) {
    std::fprintf(stderr, "lamvis2-kit: %s\n", message.c_str());
    return 2;
}

namespace {
// An answer file is a few dozen lines; each line costs a run of the program to pair.
constexpr std::size_t ANSWER_FILE_LIMIT = 1 << 20;
constexpr std::size_t ANSWER_LINES_LIMIT = 10000;
constexpr std::size_t RESULTS_FILE_LIMIT = 16 << 20;
}  // namespace

bool loadResults(const std::string& path, const LoadOptions& options, Results& results,
                 std::string& error) {
    std::optional<std::string> stderrText;
    if (!options.stderrFile.empty()) {
        stderrText = readSmallFile(options.stderrFile, ANSWER_FILE_LIMIT, error);
        if (!stderrText) return false;
    }
    // With answers, the file is held whole (a results file is a few kilobytes) to be compared
    // with the run's bytes; otherwise it is read in pieces, whatever its size.
    std::optional<std::string> bytes;
    if (!path.empty()) {
        if (!options.answers.empty() && path != "-") {
            bytes = readSmallFile(path, RESULTS_FILE_LIMIT, error);
            if (!bytes) return false;
            results = readResults(path, *bytes, stderrText);
        } else {
            results = readResultsFile(path, error, stderrText);
        }
        if (!error.empty()) return false;
        if (!results.ok()) {
            error = path + ":" + std::to_string(results.errorLine) + ": " + results.error;
            return false;
        }
    }
    if (options.answers.empty()) {
        for (Quantity& q : deriveQuantities(results)) results.quantities.push_back(std::move(q));
        return true;
    }
    std::optional<std::string> answers = readAnswers(options.answers, error);
    if (!answers) return false;
    if (answerLines(*answers).size() > ANSWER_LINES_LIMIT) {
        error = options.answers + ":" + std::to_string(ANSWER_LINES_LIMIT + 1) +
                ": more lines than an answer file of the program has";
        return false;
    }
    AnsweredRun run = runAnswers(programCommand(options.program), *answers, options.jobs);
    if (!run.run.error.empty()) {
        error = run.run.error;
        return false;
    }
    if (!run.pairing.error.empty()) {
        error = options.answers + ": " + run.pairing.error;
        return false;
    }
    if (path.empty()) {
        results = readResults(options.answers + " (run)", run.run.out, run.run.err, run.run.status);
        if (!results.ok()) {
            error = options.answers + ": the program's output is not a results file: " + results.error;
            return false;
        }
    } else {
        // With the bytes that this file holds, the run also tells how it ended.
        if (bytes && *bytes == run.run.out && !stderrText)
            results = readResults(path, *bytes, run.run.err, run.run.status);
        else
            results.warnings.push_back("the answers " + options.answers +
                                       " do not give this file's bytes: the inputs are those of a "
                                       "new run of the program");
    }
    for (Quantity& q : run.pairing.inputs) results.quantities.push_back(std::move(q));
    if (run.pairing.endedEarly)
        results.warnings.push_back(options.answers +
                                   ": the answer file ends while the program still asks");
    if (run.pairing.unusedLines > 0)
        results.warnings.push_back(options.answers + ": " + std::to_string(run.pairing.unusedLines) +
                                   " line(s) after the run's end are not read");
    for (Quantity& q : deriveQuantities(results)) results.quantities.push_back(std::move(q));
    // A case file's strengths give the strength quantities too.
    if (isCaseFile(options.answers))
        if (std::optional<std::string> text = readSmallFile(options.answers, ANSWER_FILE_LIMIT, error))
            addCaseStrength(results, *text, options.answers);
    error.clear();
    return true;
}

}  // namespace kit
