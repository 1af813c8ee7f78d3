#include "kit/load.h"

#include <cstdio>

#include "kit/compare.h"
#include "kit/derived.h"
#include "kit/files.h"
#include "kit/batch.h"
#include "kit/runner.h"
#include "kit/strength.h"

namespace kit {

int trouble(const std::string& message) {
    std::fprintf(stderr, "lamvis2-kit: %s\n", message.c_str());
    return 2;
}

namespace {
// An answer file is a few dozen lines.
constexpr std::size_t ANSWER_FILE_LIMIT = 1 << 20;
constexpr std::size_t ANSWER_LINES_LIMIT = 10000;
constexpr std::size_t RESULTS_FILE_LIMIT = 16 << 20;
}  // namespace

bool loadResults(const std::string& path, const LoadOptions& options, Results& results,
                 std::string& error, std::optional<Provenance>* ranProgram) {
    std::optional<std::string> stderrText;
    int fromStandardInput = (path == "-") + (options.answers == "-") + (options.stderrFile == "-");
    if (fromStandardInput > 1) {
        error = "standard input (-) can be only one of the files";
        return false;
    }
    if (!options.stderrFile.empty()) {
        stderrText = readSmallFile(options.stderrFile, ANSWER_FILE_LIMIT, error, "a standard error file");
        if (!stderrText) return false;
    }
    // With answers, the file is held whole (a results file is a few kilobytes) to be compared
    // with the run's bytes; otherwise it is read in pieces, whatever its size.
    std::optional<std::string> bytes;
    if (!path.empty()) {
        if (!options.answers.empty() && path != "-") {
            bytes = readSmallFile(path, RESULTS_FILE_LIMIT, error, "a results file");
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
    std::vector<std::string> command = programCommand(options.program);
    if (ranProgram) *ranProgram = provenanceOf(command);
    AnsweredRun run = runAnswers(command, *answers);
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
        // Answers that do not belong to the results would pair the file's numbers with
        // another run's inputs (another laminate's thickness, say): the run of the answers
        // must print the file's numbers.
        Results fresh = readResults(options.answers + " (run)", run.run.out, run.run.err, run.run.status);
        Comparison c = compareResults(results, fresh, CompareOptions{});
        if (!fresh.ok() || !c.differences.empty()) {
            error = path + ": the answers " + options.answers + " do not belong to these results: ";
            if (!fresh.ok()) {
                error += "their run prints no results (" + fresh.error + ")";
            } else {
                const Difference& d = c.differences.front();
                error += std::to_string(c.differences.size()) + " number(s) differ, the largest " + d.name +
                         (d.archivedLine ? ", " + d.archivedText + " at line " + std::to_string(d.archivedLine)
                                         : std::string(", not printed here")) +
                         (d.newLine ? ", " + d.newText + " in their run" : std::string(", not printed in their run"));
            }
            return false;
        }
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
