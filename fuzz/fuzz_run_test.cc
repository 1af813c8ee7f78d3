// The in-process run of the fuzz targets against the whole-program cases: every
// tests/cases/*.case run through the fake console must give the case's exact standard
// output, standard error and exit status, as the program does through pipes. This holds
// the harness to the program: the floating-point fault reported at the next console call
// instead of in the signal handler, the write failures, and the reset between runs (the
// cases run one after another in one process). A case whose pause runs a command is
// compared without its standard output, which the command would have added to.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz/fuzz_run.h"

namespace {

struct Case {
    std::string name, input, out, err;
    int status = 0;
    long fileSizeLimit = -1;
    std::vector<std::string> commands;  // run at the pause
};

// Case file lines: escapes \\ \r \n \t \xHH, and \z at the end drops the line's end.
bool decodeLine(const std::string& line, std::string& bytes) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            bytes += line[i];
            continue;
        }
        const char e = line[++i];
        if (e == 'z') return false;
        if (e == 'x') {
            bytes += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
            i += 2;
            continue;
        }
        bytes += e == 'r' ? "\r" : e == 'n' ? "\n" : e == 't' ? "\t" : e == '\\' ? "\\" : std::string{'\\', e};
    }
    return true;
}

Case parseCase(const std::filesystem::path& path) {
    Case parsed;
    parsed.name = path.stem().string();
    std::ifstream file(path, std::ios::binary);
    std::string line, section;
    while (std::getline(file, line)) {
        if (line.rfind("--- ", 0) == 0) {
            section = line.substr(4);
        } else if (section == "status") {
            parsed.status = std::stoi(line);
        } else if (section == "file size limit") {
            parsed.fileSizeLimit = std::stol(line);
        } else if (!section.empty()) {
            std::string& target = section == "stdin" ? parsed.input : section == "stdout" ? parsed.out : parsed.err;
            if (decodeLine(line, target)) target += section == "stdin" ? "\n" : "\r\n";
        }
    }
    return parsed;
}

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
        results.push_back({c.name, c.input, console.out, console.err, status, c.fileSizeLimit, console.commands});
    }
    return results;
}

std::vector<Case> allCases() {
    std::vector<Case> cases;
    for (const auto& entry : std::filesystem::directory_iterator(TEST_SOURCE_DIR "/cases"))
        if (entry.path().extension() == ".case") cases.push_back(parseCase(entry.path()));
    std::sort(cases.begin(), cases.end(), [](const Case& a, const Case& b) { return a.name < b.name; });
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
