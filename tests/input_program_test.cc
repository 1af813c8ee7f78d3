// Console input as a whole program sees it: the read_values driver through pipes (input
// and output records separate) and on a pseudo-terminal (one shared record).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/harness.h"

namespace {

RunResult runDriver(bool terminal, const std::string& script, const std::string& input) {
    setenv("READ_VALUES_SCRIPT", script.c_str(), 1);
    const std::string program = driverPath("read_values");
    return terminal ? runWithPty({program}, input) : runWithPipes({program}, input);
}

// The report of an input error up to its message text, which is checked elsewhere.
std::string reportHead(const std::string& number) {
    return "\r\nrun-time error " + number + ": READ(CON)\r\n- ";
}

bool startsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

struct PipeRow {
    std::string script;
    std::string input;
    std::string out;
    std::string error;  // reported number, empty for a normal end
};

TEST(InputProgram, ThroughPipes) {
    const PipeRow rows[] = {
        {"pi pr", "7\n2.5\n", "Value: \r\n7\r\nValue: \r\n2.5\r\n", ""},
        {"i i", std::string(1000, ' ') + "5" + std::string(500, ' ') + "x\n6", "5\r\n6\r\n", ""},
        // the answer before a Ctrl-Z line is read
        {"i i", "5\r\n\x1a\r\n", "5\r\n", "F6501"},
        {"pr", "abc\n", "Value: \r\n", "F6103"},
        // out-of-range values are refused by the reader, not trapped as arithmetic faults
        {"r", "1e400\n", "", "F6102"},
        {"r", "-1e39\n", "", "F6104"},
        {"r r", "1e-400\n1e-45\n", "0\r\n1.40129846e-45\r\n", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script + " / " + row.input.substr(0, 20));
        RunResult run = runDriver(false, row.script, row.input);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.out, row.out);
        if (row.error.empty()) {
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(startsWith(run.err, reportHead(row.error))) << run.err;
            EXPECT_EQ(run.err.substr(run.err.size() - 2), "\r\n");
        }
    }
}

// With echo off the terminal shows the same bytes as the pipes: the input statement ends
// the prompt's line before the read, and the result follows on the next line.
TEST(InputProgram, PromptsOnTerminalMatchPipes) {
    RunResult run = runDriver(true, "pi pr", "7\n2.5\n");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.out, "Value: \r\n7\r\nValue: \r\n2.5\r\n");
    EXPECT_EQ(run.status, 0);
}

// End of input (Ctrl-D) at the second prompt: its line was ended before the read, the
// report follows, and the close-down ends the line the read left open.
TEST(InputProgram, EndOfInputOnTerminal) {
    RunResult run = runDriver(true, "pr pr", "4\n\x04");
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(startsWith(run.out, "Value: \r\n4\r\nValue: \r\n" + reportHead("F6501")))
        << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - 4), "\r\n\r\n");
    EXPECT_EQ(run.status, 1);
}

TEST(InputProgram, TerminalLineLimit) {
    RunResult accepted = runDriver(true, "i i", "1" + std::string(129, ' ') + "\n2\n");
    ASSERT_FALSE(accepted.timedOut);
    EXPECT_EQ(accepted.out, "1\r\n2\r\n");
    EXPECT_EQ(accepted.status, 0);

    RunResult refused = runDriver(true, "i", "1" + std::string(130, ' ') + "\n");
    ASSERT_FALSE(refused.timedOut);
    EXPECT_TRUE(startsWith(refused.out, reportHead("F6407"))) << refused.out;
    EXPECT_EQ(refused.status, 1);
}

// A front end that writes one answer and waits for the next prompt before it writes the
// next one is served at once: each answer is read as soon as its line is complete, and
// the bytes are those of the same answers written all at once. The pause reads its answer
// the same way. (With LAMVIS2_EMULATOR and LAMVIS2_PROGRAM set, through that emulator:
// each read then comes before its answer is there.)
TEST(InputProgram, DialogueOneAnswerAtATime) {
    const std::vector<std::vector<DialogueStep>> dialogues = {
        {{"(-1 to stop): ", "100\n"},
         {"transverse direction: ", "100\r\n"},
         {"Poisson ratio: ", "0.25\n"},
         {"ply thickness: ", "1\n"},
         {"creep fraction: ", "0.5\n"},
         {"(-1 to stop): ", "-1\n"},
         {"ply number  1: ", "1\n"},
         {"ply angle: ", "0\n"},
         {"ply number  2: ", "-1\n"},
         {"   Nx: ", "10\n"},
         {"   Ny: ", "0\n"},
         {"  Nxy: ", "0\n"},
         {"   Mx: ", "0\n"},
         {"   My: ", "0\n"},
         {"  Mxy: ", "0\n"},
         {"Enter relaxation time", "1.0\n"}},
        {{"(-1 to stop): ", "-1\n"}, {"ply number  1: ", "-1\n"}, {"Singular matrix.\r\n", "\n"}},
    };
    for (const auto& steps : dialogues) {
        std::string answers;
        for (const DialogueStep& step : steps) answers += step.answer;
        SCOPED_TRACE(answers);
        RunResult driven = runDialogue(programCommand(), steps, 10.0);
        RunResult whole = runWithPipes(programCommand(), answers);
        ASSERT_FALSE(driven.timedOut) << driven.out;
        ASSERT_FALSE(whole.timedOut);
        EXPECT_EQ(driven.out, whole.out);
        EXPECT_EQ(driven.err, whole.err);
        EXPECT_EQ(driven.status, whole.status);
    }
}

}  // namespace
