// The program on a pseudo-terminal: standard input and output are both terminals, so one
// console record serves both, and every prompt's line is ended before the user types.
#include <gtest/gtest.h>

#include <string>

#include "tests/harness.h"

namespace {

const std::string BANNER = "Viscoelastic laminate code, rev 9/11/99\r\n\r\n";
const std::string FIRST_PROMPTS =
    "Material set           1: \r\nEnter modulus in fiber direction (-1 to stop): ";

// End of input (Ctrl-D) at the first prompt: the prompt's line is ended before the read,
// the report follows on the same terminal, and the close-down ends the line that input
// left open.
TEST(Terminal, EndOfInputAtFirstPrompt) {
    RunResult run = runWithPty(programPath(), "\x04");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.out, BANNER + FIRST_PROMPTS + "\r\n" +
                           "\r\nrun-time error F6501: READ(CON)\r\n- end of file encountered\r\n" +
                           "\r\n");
    EXPECT_EQ(run.status, 1);
}

// A negative modulus ends the material dialogue at once; the layup dialogue's headings
// start right after the typed line, with no empty line between.
TEST(Terminal, PromptsAlternateWithTypedLines) {
    RunResult run = runWithPty(programPath(), "-1\n\x04");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.out.substr(0, BANNER.size() + FIRST_PROMPTS.size() + 2),
              BANNER + FIRST_PROMPTS + "\r\n");
    std::string rest = run.out.substr(BANNER.size() + FIRST_PROMPTS.size() + 2);
    EXPECT_EQ(rest.substr(0, 46), "Define layup sequence, starting at bottom...\r\n");
    EXPECT_EQ(run.status, 1);
}

}  // namespace
