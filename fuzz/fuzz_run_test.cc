// The in-process run of the fuzz targets against the whole-program cases: every
// tests/cases/*.case run through the fake console must give the case's exact standard
// output, standard error and exit status, as the program does through pipes. This holds
// the harness to the program: the floating-point fault reported at the next console call
// instead of in the signal handler, the write failures, and the reset between runs (the
// cases run one after another in one process). A case whose pause runs a command is
// compared without its standard output, which the command would have added to.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz/fuzz_run.h"
#include "tests/case_file.h"

namespace {

struct Case : CaseFile {
    std::vector<std::string> commands;  // run at the pause
};

// Runs the cases in one process, in their order: what each printed, its status and the
// commands its pause ran; `faults` counts the floating-point faults the guard met.
std::vector<Case> runCases(const std::vector<Case>& cases, int& faults, bool& trapping) {
    std::vector<Case> results;
    for (const Case& c : cases) {
        FloatingPointGuard guard;
        FuzzConsole console(guard);
        console.input = c.input;
        console.outputLimit = c.fileSizeLimit;
        const int status = runWholeProgram(console, guard);
        faults += guard.faultsMet();
        trapping = guard.trapping();
        Case result = c;
        result.out = console.out;
        result.err = console.err;
        result.status = status;
        result.commands = console.commands;
        results.push_back(result);
    }
    return results;
}

std::vector<Case> allCases() {
    std::vector<Case> cases;
    for (const CaseFile& c : readCaseFiles({TEST_SOURCE_DIR "/cases"})) cases.push_back({c, {}});
    return cases;
}

TEST(FuzzRun, EveryCaseRunsInProcessAsThroughPipes) {
    const std::vector<Case> cases = allCases();
    ASSERT_FALSE(cases.empty());
    int faults = 0;
    bool trapping = false;
    const std::vector<Case> results = runCases(cases, faults, trapping);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(results[i].status, cases[i].status) << cases[i].name;
        EXPECT_EQ(results[i].err, cases[i].err) << cases[i].name;
        if (results[i].commands.empty()) {
            EXPECT_EQ(results[i].out, cases[i].out) << cases[i].name;
        }
    }
    // The cases include faults of the analysis' arithmetic; with traps, the guard met them.
    if (trapping) {
        EXPECT_GT(faults, 0);
    }
}

// Each run starts from nothing: run backwards, each case follows another predecessor (one
// that ended mid-statement, at the pause, with a fault) and gives all its first run gave.
TEST(FuzzRun, ASecondRunInTheSameProcessInheritsNothing) {
    std::vector<Case> cases = allCases();
    int faults = 0;
    bool trapping = false;
    const std::vector<Case> first = runCases(cases, faults, trapping);
    std::reverse(cases.begin(), cases.end());
    const std::vector<Case> again = runCases(cases, faults, trapping);
    auto seen = [](const Case& c) { return std::tie(c.status, c.out, c.err, c.commands); };
    for (std::size_t i = 0, j = cases.size() - 1; i < cases.size(); ++i, --j)
        EXPECT_TRUE(seen(again[j]) == seen(first[i])) << cases[j].name;
}

}  // namespace
