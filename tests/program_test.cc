// Whole-program cases: every tests/cases/*.case file is one run of the program through
// pipes, with its standard input and the exact standard output, standard error and exit
// status expected.
//
// A case file holds free comment lines, then sections introduced by "--- stdin",
// "--- stdout", "--- stderr" and "--- status", and optionally "--- file size limit" (a
// number of bytes: standard output is then a file under that limit). Each stdin line gets
// LF appended, each stdout and stderr line CR LF. Escapes: \\ \r \n \t \xHH, and \z at
// the end of a line drops its terminator. A section "--- stdout closed" (empty) runs the
// program with nobody reading its standard output. A section "--- comspec" (Windows cases)
// holds the value COMSPEC has when the program starts, an empty line meaning unset; the
// program is then started by the command interpreter after it has set the variable.
//
// With LAMVIS2_EMULATOR and LAMVIS2_PROGRAM set, the same cases run a binary built for
// another platform through its emulator (run only the Cases/* tests then). With
// LAMVIS2_CASE_PLATFORM set (win32), the cases of that folder below tests/cases run too.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "tests/harness.h"

namespace {

struct ProgramCase {
    std::string name;
    std::string input, out, err;
    int status = 0;
    long fileSizeLimit = 0;  // 0: standard output is a pipe
    bool outputClosed = false;
    bool setsComspec = false;
    std::string comspec;
};

bool decodeLine(const std::string& line, std::string& bytes) {
    bool terminate = true;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c != '\\' || i + 1 == line.size()) {
            bytes += c;
            continue;
        }
        char e = line[++i];
        switch (e) {
            case '\\': bytes += '\\'; break;
            case 'r': bytes += '\r'; break;
            case 'n': bytes += '\n'; break;
            case 't': bytes += '\t'; break;
            case 'z': terminate = false; break;
            case 'x':
                bytes += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                i += 2;
                break;
            default: bytes += '\\'; bytes += e; break;
        }
    }
    return terminate;
}

ProgramCase parseCase(const std::filesystem::path& path) {
    ProgramCase parsed;
    parsed.name = path.stem().string();
    std::istringstream text(readFile(path.string()));
    std::string line, section, statusText, limitText;
    while (std::getline(text, line)) {
        if (line.rfind("--- ", 0) == 0) {
            section = line.substr(4);
            if (section == "stdout closed") parsed.outputClosed = true;
            if (section == "comspec") parsed.setsComspec = true;
            continue;
        }
        if (section.empty() || section == "stdout closed") continue;
        if (section == "comspec") {
            decodeLine(line, parsed.comspec);
            continue;
        }
        if (section == "status") {
            statusText += line;
            continue;
        }
        if (section == "file size limit") {
            limitText += line;
            continue;
        }
        std::string& target = section == "stdin" ? parsed.input
                              : section == "stdout" ? parsed.out
                                                    : parsed.err;
        if (decodeLine(line, target)) target += section == "stdin" ? "\n" : "\r\n";
    }
    if (!statusText.empty()) parsed.status = std::stoi(statusText);
    if (!limitText.empty()) parsed.fileSizeLimit = std::stol(limitText);
    return parsed;
}

std::vector<ProgramCase> loadCases() {
    std::vector<ProgramCase> cases;
    std::filesystem::path dir = std::filesystem::path(testSourceDir()) / "cases";
    std::vector<std::filesystem::path> dirs{dir};
    if (const char* platform = std::getenv("LAMVIS2_CASE_PLATFORM"); platform && *platform)
        dirs.push_back(dir / platform);
    for (const auto& folder : dirs) {
        if (!std::filesystem::exists(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".case") cases.push_back(parseCase(entry.path()));
    }
    std::sort(cases.begin(), cases.end(),
              [](const ProgramCase& a, const ProgramCase& b) { return a.name < b.name; });
    return cases;
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

void PrintTo(const ProgramCase& programCase, std::ostream* os) { *os << programCase.name; }

class CaseTest : public testing::TestWithParam<ProgramCase> {};

// The command of a case: with a COMSPEC value, the command interpreter sets it (or removes
// it) and starts the program, whose path it gets in the emulator's form (drive Z: is /).
std::vector<std::string> caseCommand(const ProgramCase& programCase) {
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
    const ProgramCase& expected = GetParam();
    const char* platform = std::getenv("LAMVIS2_CASE_PLATFORM");
    if (expected.fileSizeLimit > 0 && platform != nullptr && std::string(platform) == "win32")
        GTEST_SKIP() << "Windows has no file-size limit (under wine it would bind wine itself)";
    RunResult run = expected.fileSizeLimit > 0
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
                         [](const testing::TestParamInfo<ProgramCase>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CaseTest);

}  // namespace
