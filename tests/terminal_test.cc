// The program on a pseudo-terminal: standard input and output are both terminals, so one
// console record serves both, and every prompt's line is ended before the user types.
// With LAMVIS2_EMULATOR and LAMVIS2_PROGRAM set, these run a binary built for another
// platform through its host (the WebAssembly module through its Node runner).
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
    RunResult run = runWithPty(programCommand(), "\x04");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.out, BANNER + FIRST_PROMPTS + "\r\n" +
                           "\r\nrun-time error F6501: READ(CON)\r\n- end of file encountered\r\n" +
                           "\r\n");
    EXPECT_EQ(run.status, 1);
}

// A negative modulus ends the material dialogue at once; the layup dialogue's headings
// start right after the typed line, with no empty line between.
TEST(Terminal, PromptsAlternateWithTypedLines) {
    RunResult run = runWithPty(programCommand(), "-1\n\x04");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.out.substr(0, BANNER.size() + FIRST_PROMPTS.size() + 2),
              BANNER + FIRST_PROMPTS + "\r\n");
    std::string rest = run.out.substr(BANNER.size() + FIRST_PROMPTS.size() + 2);
    EXPECT_EQ(rest.substr(0, 46), "Define layup sequence, starting at bottom...\r\n");
    EXPECT_EQ(run.status, 1);
}

// A whole dialogue typed on a terminal shows exactly the bytes that the same input gives
// through pipes: every record of the analysis has a blank carriage control, so ending a
// prompt's line at the input statement (shared record) or at the next record (separate
// records) writes the same line ends. The piped output itself is checked by the case file.
TEST(Terminal, WholeDialogueMatchesPipes) {
    const std::string text = readFile(testSourceDir() + "/cases/hand_isotropic_unit_ply.case");
    const std::string marker = "--- stdin\n";
    const std::size_t start = text.find(marker);
    ASSERT_NE(start, std::string::npos);
    const std::size_t end = text.find("\n---", start + marker.size());
    ASSERT_NE(end, std::string::npos);
    const std::string typed = text.substr(start + marker.size(), end + 1 - start - marker.size());
    ASSERT_EQ(typed.find('\\'), std::string::npos);  // no escapes to undo in these lines

    RunResult piped = runWithPipes(programCommand(), typed);
    RunResult terminal = runWithPty(programCommand(), typed);
    ASSERT_FALSE(piped.timedOut);
    ASSERT_FALSE(terminal.timedOut);
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(terminal.status, 0);
    EXPECT_EQ(piped.err, "");
    EXPECT_EQ(terminal.out, piped.out);
}

}  // namespace
