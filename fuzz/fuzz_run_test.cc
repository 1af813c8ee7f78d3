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
#include <vector>

#include "fuzz/fuzz_run.h"

namespace {

struct Case {
    std::string name, input, out, err;
    int status = 0;
    long fileSizeLimit = -1;
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

std::vector<std::filesystem::path> casePaths() {
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(TEST_SOURCE_DIR "/cases"))
        if (entry.path().extension() == ".case") paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    return paths;
}

TEST(FuzzRun, EveryCaseRunsInProcessAsThroughPipes) {
    const std::vector<std::filesystem::path> paths = casePaths();
    ASSERT_FALSE(paths.empty());

    int faults = 0;
    bool trapping = false;
    for (const auto& path : paths) {
        const Case expected = parseCase(path);
        FloatingPointGuard guard;
        FuzzConsole console(guard);
        console.input = expected.input;
        console.outputLimit = expected.fileSizeLimit;
        const int status = runWholeProgram(console, guard);
        faults += guard.faultsMet();
        trapping = guard.trapping();
        EXPECT_EQ(status, expected.status) << expected.name;
        EXPECT_EQ(console.err, expected.err) << expected.name;
        if (console.commands.empty()) {
            EXPECT_EQ(console.out, expected.out) << expected.name;
        }
    }
    // The cases include faults of the analysis' arithmetic; with traps, the guard met them.
    if (trapping) {
        EXPECT_GT(faults, 0);
    }
}

// Each run starts from nothing: the cases run forwards and then backwards in one process,
// each after another predecessor (one that ended mid-statement, at the pause, with a fault),
// and a case's second run gives every byte, command and status of its first.
TEST(FuzzRun, ASecondRunInTheSameProcessInheritsNothing) {
    struct Result {
        int status;
        std::string out, err;
        std::vector<std::string> commands;
    };
    std::vector<std::filesystem::path> paths = casePaths();
    ASSERT_GT(paths.size(), 1u);
    auto runCase = [](const std::filesystem::path& path) {
        const Case c = parseCase(path);
        FloatingPointGuard guard;
        FuzzConsole console(guard);
        console.input = c.input;
        console.outputLimit = c.fileSizeLimit;
        const int status = runWholeProgram(console, guard);
        return Result{status, console.out, console.err, console.commands};
    };
    std::vector<Result> first;
    for (const auto& path : paths) first.push_back(runCase(path));
    for (std::size_t i = paths.size(); i-- > 0;) {
        const Result again = runCase(paths[i]);
        const std::string name = paths[i].stem().string();
        EXPECT_EQ(again.status, first[i].status) << name;
        EXPECT_EQ(again.out, first[i].out) << name;
        EXPECT_EQ(again.err, first[i].err) << name;
        EXPECT_EQ(again.commands, first[i].commands) << name;
    }
}

}  // namespace
