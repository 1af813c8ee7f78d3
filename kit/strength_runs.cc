#include "kit/strength_runs.h"

#include <cstdio>

#include "kit/files.h"
#include "kit/laminate_case.h"
#include "kit/load.h"
#include "kit/process.h"
#include "kit/render.h"
#include "kit/runner.h"

namespace kit {

namespace {
constexpr std::size_t CASE_LIMIT = 1 << 20;

int reportOf(const Results& r, const std::string& what) {
    std::fprintf(stderr, "%s\n", r.end.report->c_str());
    std::fprintf(stderr, "lamvis2-kit: %s ended in the report above: no strength numbers\n", what.c_str());
    return 1;
}
}  // namespace

int loadStrengthInput(const StrengthSource& source, StrengthInput& input) {
    std::string error;
    std::optional<CaseFile> theCase;
    if (isCaseFile(source.answers)) {
        std::optional<std::string> bytes = readSmallFile(source.answers, CASE_LIMIT, error);
        if (bytes) theCase = readCase(*bytes, source.answers, error);
        if (!theCase) return trouble(error);
    }
    // The strengths: a strengths file's, or the case's own.
    std::vector<CaseSet> strengthSets;
    std::string strengthsFile = source.strengths;
    if (!source.strengths.empty()) {
        std::optional<std::string> bytes = readSmallFile(source.strengths, CASE_LIMIT, error);
        std::optional<StrengthsFile> file;
        if (bytes) file = readStrengths(*bytes, source.strengths, error);
        if (!file) return trouble(error);
        strengthSets = file->sets;
    } else if (theCase) {
        strengthSets = theCase->sets;
        strengthsFile = source.answers;
    } else {
        return trouble(source.answers + ":1: an answer file holds no strengths: give --strengths "
                       "FILE, or a case file whose [[set]] tables have them");
    }

    std::optional<Laminate> lam = theCase ? laminateOfCase(*theCase) : std::nullopt;
    if (source.needResults || !lam) {
        LoadOptions load;
        load.answers = source.answers;
        load.program = source.program;
        load.jobs = source.jobs;
        if (!loadResults(source.results, load, input.results, error)) return trouble(error);
        if (input.results.end.report && !input.results.find("ply[1].sigma-1"))
            return reportOf(input.results, source.results.empty() ? "the run of " + source.answers : source.results);
        std::string why;
        lam = laminateOf(input.results, why);
        if (!lam) return trouble(source.answers + ": " + why);
    }
    input.laminate = *lam;
    std::vector<int> plySets;
    for (const LayupPly& p : lam->plies) plySets.push_back(p.set);
    if (std::string missing = missingStrengths(strengthsFile, strengthSets, plySets); !missing.empty())
        return trouble(missing);
    input.strengths = caseStrengths(strengthSets);
    return 0;
}

std::optional<DerivedStresses> runLaminate(const std::vector<std::string>& command,
                                           const Laminate& laminate, std::string& error) {
    return laminateRun(programRunner(command), laminate, error);
}

DiscountRun runDiscount(const std::vector<std::string>& command, const Laminate& laminate,
                        const SetStrengths& strengths, Criterion criterion,
                        const std::optional<std::array<double, 6>>& fixed) {
    return discountByRuns(programRunner(command), laminate, strengths, criterion, fixed);
}


}  // namespace kit
