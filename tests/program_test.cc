// Whole-program cases: every tests/cases/*.case file (tests/case_file.h) is one run of the
// program through pipes. A case with a COMSPEC value is started by the command interpreter
// after it has set the variable.
//
// With LAMVIS2_EMULATOR and LAMVIS2_PROGRAM set, the same cases run a binary built for
// another platform through its emulator (run only the Cases/* tests then). With
// LAMVIS2_CASE_PLATFORM set (win32), the cases of that folder below tests/cases run too.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/case_file.h"
#include "tests/harness.h"

// A failing case is named by its file (found by argument lookup: CaseFile is global).
static void PrintTo(const CaseFile& programCase, std::ostream* os) { *os << programCase.name; }

namespace {

std::vector<CaseFile> loadCases() {
    const std::filesystem::path dir = std::filesystem::path(testSourceDir()) / "cases";
    std::vector<std::filesystem::path> dirs{dir};
    if (const char* platform = std::getenv("LAMVIS2_CASE_PLATFORM"); platform && *platform)
        dirs.push_back(dir / platform);
    return readCaseFiles(dirs);
}

// Shows bytes with their line ends visible, for readable failure messages.
std::string visible(const std::string& bytes) {
    std::string shown;
    for (char c : bytes) {
        if (c == '\r') shown += "\\r";
        else if (c == '\n') shown += "\\n\n";
        else if (static_cast<unsigned char>(c) < 32) shown += "\\x" + std::to_string(c);
        else shown += c;
    }
    return shown;
}

class CaseTest : public testing::TestWithParam<CaseFile> {};

// The command of a case: with a COMSPEC value, the command interpreter sets it (or removes
// it) and starts the program, whose path it gets in the emulator's form (drive Z: is /).
std::vector<std::string> caseCommand(const CaseFile& programCase) {
    std::vector<std::string> command = programCommand();
    if (!programCase.setsComspec) return command;
    std::string program = std::filesystem::absolute(command.back()).string();
    std::replace(program.begin(), program.end(), '/', '\\');
    command.back() = "cmd";
    command.push_back("/c");
    command.push_back("set COMSPEC=" + programCase.comspec + "&& Z:" + program);
    return command;
}

TEST_P(CaseTest, MatchesExpectedBytes) {
    const CaseFile& expected = GetParam();
    const char* platform = std::getenv("LAMVIS2_CASE_PLATFORM");
    if (expected.fileSizeLimit >= 0 && platform != nullptr && std::string(platform) == "win32")
        GTEST_SKIP() << "Windows has no file-size limit (under wine it would bind wine itself)";
    RunResult run = expected.fileSizeLimit >= 0
                        ? runWithOutputFile(caseCommand(expected), expected.input,
                                            expected.fileSizeLimit, 120.0)
                        : runWithPipes(caseCommand(expected), expected.input, 120.0,
                                       expected.outputClosed);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(visible(run.out), visible(expected.out)) << "standard output of " << expected.name;
    EXPECT_EQ(visible(run.err), visible(expected.err)) << "standard error of " << expected.name;
    EXPECT_EQ(run.status, expected.status);
}

INSTANTIATE_TEST_SUITE_P(Cases, CaseTest, testing::ValuesIn(loadCases()),
                         [](const testing::TestParamInfo<CaseFile>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CaseTest);

}  // namespace
