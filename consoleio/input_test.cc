#include "consoleio/input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "consoleio/output.h"
#include "consoleio/reader.h"
#include "tests/fake_console.h"
#include "tests/drivers/driver_output.h"
#include "tests/read_statement.h"

namespace {

constexpr std::int32_t INT_MIN32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t INT_MAX32 = std::numeric_limits<std::int32_t>::max();
constexpr float FLOAT_MAX = std::numeric_limits<float>::max();

// ---- conversions ------------------------------------------------------------------------

struct IntegerRow {
    std::string text;
    TokenMode mode;
    bool ok;
    std::int32_t value;  // when ok
    int number;          // reported number when not ok
};

TEST(IntegerConversion, AcceptsAndRefusesByTheRules) {
    const TokenMode P = TokenMode::Plain;
    const std::vector<IntegerRow> rows = {
        {"0", P, true, 0, 0},
        {"-17", P, true, -17, 0},
        {"+", P, true, 0, 0},
        {"-", P, true, 0, 0},
        {"2147483647", P, true, INT_MAX32, 0},
        {"2147483648", P, false, 0, 6100},
        {"-2147483648", P, true, INT_MIN32, 0},
        {"-2147483649", P, false, 0, 6100},
        {"2.5", P, false, 0, 6101},
        {"abc", P, false, 0, 6101},
        {"12\x1a", P, true, 12, 0},
        {"1\x1a" "9x", P, true, 1, 0},
        {"16#1F", P, true, 31, 0},
        {"#1f", P, true, 31, 0},
        {"2#101", P, true, 5, 0},
        {"36#zZ", P, true, 35 * 36 + 35, 0},
        {"16#", P, true, 0, 0},
        {"16#FFFFFFFF", P, true, -1, 0},
        {"16#80000000", P, true, INT_MIN32, 0},
        {"16#100000000", P, false, 0, 6100},
        {"10#2147483648", P, false, 0, 6100},
        {"1#0", P, false, 0, 6303},
        {"37#1", P, false, 0, 6303},
        {"2#102", P, false, 0, 6101},
        {"8#-1", P, false, 0, 6101},
        {"16#1#2", P, false, 0, 6302},
        {"5", TokenMode::Quoted, false, 0, 6504},
        {"5", TokenMode::Parenthesized, false, 0, 6504},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        IntegerConversion result = parseIntegerToken(row.text, row.mode);
        ASSERT_EQ(result.ok, row.ok);
        if (row.ok) EXPECT_EQ(result.value, row.value);
        else EXPECT_EQ(6000 + messageNumber(result.error), row.number);
    }
}

struct RealRow {
    std::string text;
    bool ok;
    float value;  // when ok
    int number;   // reported number when not ok
};

TEST(RealConversion, AcceptsAndRefusesByTheRules) {
    // 1 + 2^-24 + 2^-53 is a tie of doubles; this text's 25th digit puts it above the tie,
    // so with all its digits it would become the double 1 + 2^-24 + 2^-52 and the float
    // 1 + 2^-23. Cut to 24 significant digits it lies below the tie, becomes the double
    // 1 + 2^-24, an exact float tie, which rounds to the even float 1.
    const std::string pastTwentyFourDigits = "1.000000059604644886412928";
    // The value goes through extended precision before double. This text lies less than
    // half an extended step above 1480 + 284.5/8192 + 2^-43, which is halfway between two
    // doubles: extended rounding lands exactly on that tie, which rounds to the even double
    // 1480 + 284.5/8192, itself halfway between two floats, which rounds to the even float
    // 1480 + 284/8192. Rounded straight to double the text would give the double above the
    // tie, and the float 1480 + 285/8192.
    const std::string extendedTie = "1480.03472900390636369";
    const std::vector<RealRow> rows = {
        {"5", true, 5.0f, 0},
        {"5.", true, 5.0f, 0},
        {".5", true, 0.5f, 0},
        {"-.5", true, -0.5f, 0},
        {"1e6", true, 1e6f, 0},
        {"1E+06", true, 1e6f, 0},
        {"2.5d-3", true, 2.5e-3f, 0},
        {"1.0+5", true, 100000.0f, 0},
        {"2.5-3", true, 2.5e-3f, 0},
        {"000123.4500", true, 123.45f, 0},
        {"3.402823466385289E+38", true, FLOAT_MAX, 0},
        {"-3.402823466385289E+38", true, -FLOAT_MAX, 0},
        {"1e-400", true, 0.0f, 0},
        {"1e-45", true, std::numeric_limits<float>::denorm_min(), 0},
        {"1e-46", true, 0.0f, 0},
        {"0e99999999999", true, 0.0f, 0},
        {"1234567890123456789012345678", true, 1.23456789012345678901234e27f, 0},
        {pastTwentyFourDigits, true, 1.0f, 0},
        {extendedTie, true, 1480.0f + 284.0f / 8192.0f, 0},
        {"abc", false, 0, 6103},
        {".", false, 0, 6103},
        {"+", false, 0, 6103},
        {"1.5e", false, 0, 6103},
        {"1.5e+", false, 0, 6103},
        {"1.0+", false, 0, 6103},
        {"12a", false, 0, 6103},
        {"1.2.3", false, 0, 6103},
        {"1e5.0", false, 0, 6103},
        {"16#1F", false, 0, 6103},
        {"1e39", false, 0, 6104},
        {"-1e39", false, 0, 6104},
        {"3.4028236e38", false, 0, 6104},
        {"1e400", false, 0, 6102},
        {"1e99999999999", false, 0, 6102},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        RealConversion result = parseRealToken(row.text);
        ASSERT_EQ(result.ok, row.ok);
        if (row.ok) EXPECT_EQ(result.value, row.value);
        else EXPECT_EQ(6000 + messageNumber(result.error), row.number);
    }
    EXPECT_EQ(messageNumber(parseRealToken("5", TokenMode::Quoted).error), 504);
    EXPECT_TRUE(std::signbit(parseRealToken("-0").value));
}

// ---- statements over a fake console ----------------------------------------------------

enum class Mode { Pipe, Terminal, Shared };


// Runs a script of input statements and returns their transcript: statements separated by
// blanks in `script`, each a word of item letters (i integer, r real); the transcript has
// one word per statement, the items' values separated by commas ("null" for an untouched
// target), and ends with the reported number (F6103) when the run ended with an error.
std::string runScript(FakeConsole& console, const std::string& script) {
    std::string transcript;
    int status;
    {
        FakeConsoleScope scope(console);
        status = scope.runToExit([&] {
            std::istringstream words(script);
            std::string word;
            while (words >> word) {
                const std::string values = runReadStatement(scope.io, word);
                transcript += (transcript.empty() ? "" : " ") + values;
            }
        });
    }
    if (status != 0) {
        std::smatch match;
        const std::regex reported("run-time error (F[0-9]{4}): READ\\(CON\\)");
        std::string report = std::regex_search(console.err, match, reported)
                                 ? match[1].str()
                                 : "status " + std::to_string(status) + " " + console.err;
        transcript += (transcript.empty() ? "" : " ") + report;
    }
    return transcript;
}

std::string runIn(Mode mode, const std::string& input, const std::string& script,
                  std::vector<long> readSizes = {}) {
    FakeConsole console;
    console.input = input;
    console.inputTerminal = mode != Mode::Pipe;
    console.outputTerminal = mode == Mode::Shared;
    console.readSizes = std::move(readSizes);
    return runScript(console, script);
}

enum class Where { Both, PipeOnly, TerminalOnly };

struct ScanRow {
    std::string input;
    std::string script;
    std::string expected;
    Where where = Where::Both;
};

const std::vector<ScanRow>& scanRows() {
    static const std::vector<ScanRow> rows = {
        // the first value of a line; the rest of the line is discarded
        {"1 2 3\n4\n", "i i", "1 4"},
        {"5\n6\n", "i i", "5 6"},
        {"5\r\n6\r\n", "r r", "5 6"},
        {"\t5\t6\n7\n", "i i", "5 7"},
        // empty and blank lines are skipped while a value is awaited
        {"\n   \t \n\r\n7\n", "i", "7"},
        // null values
        {",\n8\n", "i i", "null 8"},
        {"/\n8\n", "r r", "null 8"},
        {",5\n8\n", "i i", "null 8"},
        {"()\n8\n", "i i", "null 8"},
        {"5 , 6\n8\n", "i i", "5 8"},
        {"5 , 6\n", "ii", "5,6"},
        {"5 ,, 6\n", "iii", "5,null,6"},
        {"5/ 6\n", "ii", "5,null"},
        // repeat counts
        {"3*7\n8\n", "i i", "7 8"},
        {"3*7/\n", "iii", "7,7,7"},
        {"2*7/ 9\n", "iii", "7,7,null"},
        {"3*\n8\n9\n", "i i", "null 9"},
        {"3* 7\n8\n", "i i", "null 8"},
        {"1* 5\n", "i", "5"},
        {"0*7\n", "i", "F6502"},
        // a negative count is not pending: the value that follows is read as it stands
        {"-2*7\n8\n", "i i", "7 8"},
        {"-2* 7\n", "i", "7"},
        {"-1*2*7\n", "ii", "7,7"},
        {"-2147483648*7\n", "i", "7"},
        {"2*3*7\n", "i", "F6503"},
        {"2.5*7\n", "r", "F6101"},
        {"'2'*7\n", "r", "F6504"},
        {"(2*7\n", "i", "F6504"},
        // conversions as the scanner hands them over
        {"1.0+5\n", "r", "100000"},
        {"1,5\n", "r", "1"},
        {"1e39\n", "r", "F6104"},
        {"1e400\n", "r", "F6102"},
        {"1e-400\n", "r", "0"},
        {"'5'\n", "r", "F6504"},
        {"(5)\n", "r", "F6504"},
        {"( 5 ,\n 6 )\n", "i", "F6504"},
        {"'a, b/\nc' 5\n", "i", "F6504"},
        // an empty quoted value leaves the token empty: blanks and line ends are skipped and
        // an opening parenthesis still starts parenthesized mode
        {"'' 5\n8\n", "i", "F6504"},
        {"''\n5\n", "r", "F6504"},
        {"''()\n8\n", "i i", "null 8"},
        {"'',5\n8\n", "i i", "null 8"},
        {"2.5\n", "i", "F6101"},
        {"abc\n", "r", "F6103"},
        {"+\n", "i", "0"},
        {"16#1F #1F\n#1F\n", "i i", "31 31"},
        {"-2147483648\n", "i", "-2147483648"},
        // end of input
        {"", "i", "F6501"},
        {"5", "i i", "5 F6501"},
        {"\x1a\r\n", "i", "F6501"},
        // a line whose last byte before its line end is Ctrl-Z ends the input when it is
        // reached; the lines before it are read; a Ctrl-Z elsewhere is an ordinary byte
        {"5\n\x1a\r\n", "i", "5"},
        {"5\n\x1a\r\n", "i i", "5 F6501"},
        {"100\r\n\x1a\r\n", "r r", "100 F6501"},
        {"5\n6 \x1a\n", "i i", "5 F6501", Where::PipeOnly},
        {"7\x1a", "i", "F6501", Where::PipeOnly},
        {"7\x1a", "i", "7", Where::TerminalOnly},
        {"5\n\x1a", "i i", "5 F6501", Where::PipeOnly},
        {"\x1a\x1a\n7\n", "i", "F6501", Where::PipeOnly},
        {"7\x1a" "9\n8\n", "i i", "7 8", Where::PipeOnly},
        {"\x1a" "5\r\n8\n", "i i", "0 8"},
        // the test looks at the end of each line, not at byte 130 of a read, and the
        // Ctrl-Z line may straddle two reads of 132 bytes
        {"1" + std::string(128, ' ') + "\x1a 9\n2\n", "i i", "1 2", Where::PipeOnly},
        {std::string(130, '\n') + "5\n\x1a\r\n", "i i", "5 F6501", Where::PipeOnly},
        // in a middle piece of a long line a Ctrl-Z ends nothing; at the end of the line,
        // in whichever piece it lies, it does
        {"3" + std::string(130, ' ') + "\x1a" "x\n4\n", "i i", "3 4", Where::PipeOnly},
        {"3" + std::string(130, ' ') + "\x1a\r\n4\n", "i", "F6501", Where::PipeOnly},
        {"3" + std::string(129, ' ') + "\x1a\r\n4\n", "i", "F6501", Where::PipeOnly},
        {"3" + std::string(200, ' ') + "\x1a\n4\n", "i", "F6501", Where::PipeOnly},
        // the last line is read whole without a line end, whatever its length
        {std::string(131, ' ') + "7", "i", "7", Where::PipeOnly},
        {std::string(263, ' ') + "7", "i", "7", Where::PipeOnly},
        {"5\n" + std::string(129, ' ') + "7", "i i", "5 7", Where::PipeOnly},
        // lines of any length when redirected; the token's storage bounds a value
        {"5" + std::string(300, ' ') + "9\n6\n", "i i", "5 6", Where::PipeOnly},
        {std::string(260, '0') + "\n", "r", "0", Where::PipeOnly},
        {std::string(261, '0') + "\n", "r", "F6103", Where::PipeOnly},
        {std::string(261, '0') + "\n", "i", "F6101", Where::PipeOnly},
        // a console line holds at most 130 characters before its line end
        {"1" + std::string(129, ' ') + "\n2\n", "i i", "1 2", Where::TerminalOnly},
        {"1" + std::string(129, ' ') + "\r\n2\n", "i i", "1 2", Where::TerminalOnly},
        {"1" + std::string(130, ' ') + "\n", "i", "F6407", Where::TerminalOnly},
        {"1" + std::string(130, ' ') + "\n2\n", "i i", "1 2", Where::PipeOnly},
    };
    return rows;
}

TEST(ListDirectedInput, RedirectedResultsDoNotDependOnReadSizes) {
    const std::vector<std::vector<long>> splits = {{}, {1}, {2, 5}, {7}, {131}, {133}};
    for (const auto& row : scanRows()) {
        if (row.where == Where::TerminalOnly) continue;
        for (const auto& sizes : splits) {
            SCOPED_TRACE("input \"" + row.input.substr(0, 40) + "\" split " +
                         (sizes.empty() ? std::string("none") : std::to_string(sizes[0])));
            EXPECT_EQ(runIn(Mode::Pipe, row.input, row.script, sizes), row.expected);
        }
    }
}

// Redirected input is read only when a record is needed and the read-ahead holds no whole
// one, so the descriptor's position after a statement is that of the reads it needed.
TEST(ListDirectedInput, RedirectedReadsOnlyWhenBytesAreNeeded) {
    const std::string after = "6\n" + std::string(400, '7') + "\n";
    const struct {
        std::string input;
        std::vector<long> readSizes;
        std::size_t position;  // of standard input after one integer statement
    } rows[] = {
        {"5\n" + after, {}, 132},
        {"5\n" + after, {1}, 2},
        {"5\n" + after, {3}, 3},
        {std::string(130, ' ') + "5\n" + after, {}, 132},
        {std::string(131, ' ') + "5\n" + after, {}, 264},
        {std::string(131, ' ') + "5\n" + after, {100}, 200},
    };
    for (const auto& row : rows) {
        FakeConsole console;
        console.input = row.input;
        console.readSizes = row.readSizes;
        EXPECT_EQ(runScript(console, "i"), "5");
        EXPECT_EQ(console.inputPosition, row.position) << row.input.size();
    }
}

TEST(ListDirectedInput, TerminalLinesSeparateAndShared) {
    for (const auto& row : scanRows()) {
        if (row.where == Where::PipeOnly) continue;
        SCOPED_TRACE("input \"" + row.input.substr(0, 40) + "\"");
        EXPECT_EQ(runIn(Mode::Terminal, row.input, row.script), row.expected);
        EXPECT_EQ(runIn(Mode::Shared, row.input, row.script), row.expected);
    }
}

// A prompt, two reads, a result line: on a shared terminal record the input statement
// ends the prompt's line before reading and the second read adds no line end; with
// separate records the next output record ends it. The bytes are the same.
TEST(ListDirectedInput, PromptLineIsEndedOnceInBothModes) {
    for (Mode mode : {Mode::Shared, Mode::Terminal, Mode::Pipe}) {
        FakeConsole console;
        console.input = "4\n5\n";
        console.inputTerminal = mode != Mode::Pipe;
        console.outputTerminal = mode == Mode::Shared;
        float a = 0, b = 0;
        int status;
        {
            FakeConsoleScope scope(console);
            status = scope.runToExit([&] {
                writeLine(scope.io, "Value: ");
                for (float* target : {&a, &b}) {
                    beginRead(scope.io, CONSOLE_INPUT_UNIT);
                    readRealItem(scope.io, *target);
                    endRead(scope.io);
                }
                writeLine(scope.io, "Done");
            });
        }
        EXPECT_EQ(status, 0);
        EXPECT_EQ(a, 4.0f);
        EXPECT_EQ(b, 5.0f);
        EXPECT_EQ(console.out, "Value: \r\nDone\r\n");
    }
}

// An input error after a prompt on a shared terminal: the prompt's line was ended before
// the read. When the error comes before the typed line was completed, the line is still
// open and the close-down ends it after the report; a value ended by its line end has
// completed the line first.
TEST(ListDirectedInput, ErrorReportAfterPromptOnSharedTerminal) {
    const struct {
        std::string typed;
        std::string out;
    } rows[] = {
        {"abc def\n", "Value: \r\n\r\n"},
        {"abc\n", "Value: \r\n"},
    };
    for (const auto& row : rows) {
        FakeConsole console;
        console.input = row.typed;
        console.inputTerminal = console.outputTerminal = true;
        int status;
        {
            FakeConsoleScope scope(console);
            status = scope.runToExit([&] {
                writeLine(scope.io, "Value: ");
                float target = 0;
                beginRead(scope.io, CONSOLE_INPUT_UNIT);
                readRealItem(scope.io, target);
                endRead(scope.io);
            });
        }
        EXPECT_EQ(status, 1);
        EXPECT_EQ(console.out, row.out) << row.typed;
        EXPECT_EQ(console.err, std::string("\r\nrun-time error F6103: READ(CON)\r\n- ") +
                                   messageText(ErrorCode::RealSyntax) + "\r\n");
    }
}

TEST(ListDirectedInput, FailedReadIsF6500) {
    FakeConsole console;
    console.failReads = true;
    EXPECT_EQ(runScript(console, "r"), "F6500");
}

// The pause takes bytes through the console connection; at the end of input the error
// carries the kind of the most recent statement, here an output statement.
TEST(ConsoleByte, TakesBytesAndReportsEndOfInputWithTheStatementKind) {
    FakeConsole console;
    console.input = "ab";
    std::string taken;
    int status;
    {
        FakeConsoleScope scope(console);
        status = scope.runToExit([&] {
            writeLine(scope.io, "Singular matrix.");
            for (;;) taken += takeConsoleByte(scope.io.units);
        });
    }
    EXPECT_EQ(status, 1);
    EXPECT_EQ(taken, "ab\n");
    EXPECT_NE(console.err.find("run-time error F6501: WRITE(CON)"), std::string::npos)
        << console.err;
}

}  // namespace
