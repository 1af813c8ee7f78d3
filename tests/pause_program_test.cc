// The pause through the real start-up: the pause_driver writes a line, pauses with the text
// of a singular matrix, writes another line and then ends or reads one integer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/harness.h"

namespace {

const std::string BEFORE = "Before pause\r\nSingular matrix.\r\n";
// The line end owed before the pause is written again by the next record: an empty line.
const std::string AFTER = "\r\nAfter pause\r\n";

RunResult runPause(const std::string& mode, const std::string& input, bool terminal) {
    setenv("PAUSE_DRIVER_MODE", mode.c_str(), 1);
    RunResult result = terminal ? runWithPty({driverPath("pause_driver")}, input)
                                : runWithPipes({driverPath("pause_driver")}, input);
    unsetenv("PAUSE_DRIVER_MODE");
    return result;
}

// A list-directed record of "Value" and an integer: the integer right-justified in 11
// columns after the text.
std::string valueLine(const std::string& digits) {
    return "Value" + std::string(11 - digits.size(), ' ') + digits + "\r\n";
}

struct PauseCase {
    const char* name;
    const char* mode;
    std::string input;
    std::string out;  // standard output (on a terminal, everything shown)
};

void runCases(const PauseCase* begin, const PauseCase* end, bool terminal) {
    for (const PauseCase* c = begin; c != end; ++c) {
        RunResult result = runPause(c->mode, c->input, terminal);
        EXPECT_FALSE(result.timedOut) << c->name;
        EXPECT_EQ(result.status, 0) << c->name;
        EXPECT_EQ(result.out, c->out) << c->name;
        EXPECT_EQ(result.err, "") << c->name;
    }
}

TEST(PauseProgram, AnswersThroughPipes) {
    const std::string a123(123, 'a');
    const PauseCase cases[] = {
        {"blank line", "end", "\n", BEFORE + AFTER},
        {"blanks and tabs", "end", "  \t \n", BEFORE + AFTER},
        {"command output comes before the next record", "end", "echo from the command\n",
         BEFORE + "from the command\n" + AFTER},
        // Run as a command this would complain on standard error.
        {"one character is not run", "end", "x\n", BEFORE + AFTER},
        {"next input takes the following line", "read", "echo hi\n42\n",
         BEFORE + "hi\n" + AFTER + valueLine("42")},
        {"long answer: 128 kept, rest of line skipped", "read", "echo " + a123 + "bbb\n5\n",
         BEFORE + a123 + "\n" + AFTER + valueLine("5")},
    };
    runCases(std::begin(cases), std::end(cases), false);
}

TEST(PauseProgram, EndOfInputAtThePauseThroughPipes) {
    RunResult result = runPause("end", "", false);
    EXPECT_EQ(result.status, 1);
    // The owed line end is still open: the close-down writes it.
    EXPECT_EQ(result.out, BEFORE + "\r\n");
    // The most recent statement was the WRITE before the pause.
    const std::string head = "\r\nrun-time error F6501: WRITE(CON)\r\n- ";
    ASSERT_GT(result.err.size(), head.size() + 2);
    EXPECT_EQ(result.err.substr(0, head.size()), head);
    EXPECT_EQ(result.err.substr(result.err.size() - 2), "\r\n");
}

TEST(PauseProgram, AnswersOnATerminal) {
    const std::string a121(121, 'a');
    const PauseCase cases[] = {
        {"blank line", "end", "\n", BEFORE + AFTER},
        {"command output comes before the next record", "end", "echo from the command\n",
         BEFORE + "from the command\n" + AFTER},
        {"one character is not run", "end", "x\n", BEFORE + AFTER},
        {"end of input is an empty answer", "end", "\x04", BEFORE + AFTER},
        {"next input takes the following line", "read", "echo hi\n42\n",
         BEFORE + "hi\n" + AFTER + valueLine("42")},
        // 128 bytes are read: 126 characters are the answer, the two after them stand where
        // the line end would be, and the rest of the line is the next input.
        {"long answer: rest of the line is the next input", "read",
         "echo " + a121 + "zz77\n", BEFORE + a121 + "\n" + AFTER + valueLine("77")},
    };
    runCases(std::begin(cases), std::end(cases), true);
}

}  // namespace
