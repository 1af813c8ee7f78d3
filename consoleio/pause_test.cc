#include "consoleio/pause.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "consoleio/record.h"
#include "runtime/error.h"
#include "tests/fake_console.h"

namespace {

const std::string PROMPT = "Singular matrix.\r\n";

struct AnswerCase {
    const char* name;
    bool terminal;
    std::string input;
    std::vector<std::string> commands;  // what the pause runs
    std::string rest;                   // what is left for the next console input statement
};

// The input not yet taken: what the console record and its read-ahead still hold, then
// the unread bytes.
std::string unreadInput(const FakeConsole& console, ConsoleUnits& units) {
    const UnitRecord& unit = units.input();
    std::string held;
    if (unit.position <= unit.lastIndex)
        held.assign(unit.recordBuffer + unit.position,
                    static_cast<std::size_t>(unit.lastIndex - unit.position + 1));
    const ReadAhead& ahead = unit.readAhead;
    held.append(ahead.bytes + ahead.start, static_cast<std::size_t>(ahead.end - ahead.start));
    return held + console.input.substr(console.inputPosition);
}

TEST(PauseForInput, RunsOnlyAnswersOfTwoOrMoreCharacters) {
    const std::string longCommand = "echo " + std::string(140, 'a');
    const AnswerCase cases[] = {
        {"empty line", false, "\n", {}, ""},
        {"blanks and tabs", false, " \t  \t\nnext\n", {}, "next\n"},
        {"command", false, "dir\nnext\n", {"dir"}, "next\n"},
        {"trailing blanks and tabs removed", false, "ls -l \t \nx\n", {"ls -l"}, "x\n"},
        {"inner blanks kept", false, "  a  b \n", {"  a  b"}, ""},
        {"one character", false, "x\n", {}, ""},
        {"one character with blanks", false, "q   \n7\n", {}, "7\n"},
        {"terminal lone ctrl-z", true, "\x1a\r\n", {}, ""},
        {"two characters", false, "ab\n", {"ab"}, ""},
        {"last line without line end", false, "dir", {"dir"}, ""},
        {"CR LF line end", false, "ls\r\nnext\n", {"ls"}, "next\n"},
        {"CR alone", false, "ls\rnext\n", {"ls"}, "next\n"},
        {"long line keeps 128 and skips the rest", false, longCommand + "\n5\n",
         {longCommand.substr(0, 128)}, "5\n"},
        {"terminal empty line", true, "\n", {}, ""},
        {"terminal command", true, "dir\nnext\n", {"dir"}, "next\n"},
        {"terminal CR LF", true, "ab \r\n", {"ab"}, ""},
        {"terminal one character", true, "x\n", {}, ""},
        {"terminal end of input", true, "", {}, ""},
        // End of input typed after the text of a line: a short read with no line end, so
        // there is nothing to drop.
        {"terminal line ended by end of input", true, "echo hi", {"echo hi"}, ""},
        // 128 bytes are read; the last two stand where the line end would be, and the rest
        // of the line is left for the next input statement.
        {"terminal long line", true, longCommand + "\n5\n", {longCommand.substr(0, 126)},
         longCommand.substr(128) + "\n5\n"},
    };
    for (const AnswerCase& c : cases) {
        FakeConsole console;
        console.inputTerminal = c.terminal;
        console.outputTerminal = c.terminal;
        console.input = c.input;
        FakeConsoleScope scope(console);
        int status = scope.runToExit([&] {
            pauseForInput(scope.io.units, 16, "Singular matrix.");
            EXPECT_EQ(unreadInput(console, scope.io.units), c.rest) << c.name;
        });
        EXPECT_EQ(status, 0) << c.name;
        EXPECT_EQ(console.commands, c.commands) << c.name;
        EXPECT_EQ(console.out, PROMPT) << c.name;
        EXPECT_EQ(console.err, "") << c.name;
    }
}

TEST(PauseForInput, OpenLineIsEndedFirstAndStaysOwed) {
    for (bool terminal : {false, true}) {
        FakeConsole console;
        console.inputTerminal = terminal;
        console.outputTerminal = terminal;
        console.input = "\n";
        FakeConsoleScope scope(console);
        scope.io.units.output().lineOpen = true;
        pauseForInput(scope.io.units, 16, "Singular matrix.");
        EXPECT_EQ(console.out, "\r\n" + PROMPT) << terminal;
        EXPECT_TRUE(scope.io.units.output().lineOpen) << terminal;
    }
}

TEST(PauseForInput, WithoutTextShowsTheDefaultPrompt) {
    FakeConsole console;
    console.input = "\n";
    FakeConsoleScope scope(console);
    pauseForInput(scope.io.units, 0, nullptr);
    EXPECT_EQ(console.out,
              "Pause - Please enter a blank line (to continue) or a DOS command.\r\n");
}

TEST(PauseForInput, EndOfRedirectedInputIsReportedWithTheLastStatementKind) {
    struct Case {
        StatementKind kind;
        const char* label;
        std::string input;
    };
    const Case cases[] = {
        {StatementKind::Write, "WRITE", ""},
        {StatementKind::Read, "READ", ""},
        // a Ctrl-Z line ends the input for the pause too
        {StatementKind::Write, "WRITE", "\x1a\r\necho no\n"},
    };
    for (const Case& c : cases) {
        FakeConsole console;
        console.input = c.input;
        FakeConsoleScope scope(console);
        scope.run.errors.lastStatementKind = c.kind;
        int status = scope.runToExit([&] { pauseForInput(scope.io.units, 16, "Singular matrix."); });
        EXPECT_EQ(status, 1) << c.label;
        EXPECT_EQ(console.err, std::string("\r\nrun-time error F6501: ") + c.label + "(CON)\r\n- " +
                                   messageText(ErrorCode::EndOfFile) + "\r\n");
        EXPECT_TRUE(console.commands.empty());
    }
}

}  // namespace
