// List-directed output statements and the console's record machinery, against a fake
// console. Expected bytes follow from the record rules: the first character of a record is
// consumed as carriage control, and a record's CR LF is written only when the next record
// starts or the run ends.
#include "consoleio/output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "consoleio/record.h"
#include "tests/fake_console.h"

namespace {

struct Item {
    enum Kind { Text, Integer } kind;
    std::string text;
    int value = 0;
};

Item text(const std::string& t) { return {Item::Text, t, 0}; }
Item integer(int v) { return {Item::Integer, "", v}; }

using Statement = std::vector<Item>;

void execute(ConsoleIo& io, const Statement& statement, int unit = CONSOLE_OUTPUT_UNIT) {
    beginWrite(io, unit, nullptr, 0);
    for (const Item& item : statement) {
        if (item.kind == Item::Text) writeCharacter(io, item.text.data(), static_cast<int>(item.text.size()));
        else writeInteger(io, item.value);
    }
    endWrite(io);
}

struct ListCase {
    const char* name;
    std::vector<Statement> statements;
    std::string expected;  // standard output after the normal end of the run
};

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

class ListDirectedTest : public testing::TestWithParam<ListCase> {};

TEST_P(ListDirectedTest, WritesExpectedBytes) {
    FakeRun run;
    int status = run.scope.runToExit([&] {
        for (const Statement& statement : GetParam().statements) execute(run.scope.io, statement);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(run.console.out, GetParam().expected);
    EXPECT_EQ(run.console.err, "");
}

const std::string longText = std::string(100, 'a') + std::string(100, 'b');

INSTANTIATE_TEST_SUITE_P(
    Statements, ListDirectedTest,
    testing::Values(
        ListCase{"EmptyStatementIsEmptyLine", {{}}, "\r\n"},
        ListCase{"BannerThenEmptyLine",
                 {{text("Viscoelastic laminate code, rev 9/11/99")}, {}},
                 "Viscoelastic laminate code, rev 9/11/99\r\n\r\n"},
        ListCase{"TwoConstantsTwoLines", {{text("one")}, {text("two")}}, "one\r\ntwo\r\n"},
        // " Material set " + integer right-justified in 11 columns + ": "; the record's
        // blank is consumed, so 12 + 11 blanks... the line reads "Material set", eleven
        // blanks, "1: ".
        ListCase{"MaterialSetPrompt",
                 {{text("Material set "), integer(1), text(": ")}},
                 "Material set" + blanks(11) + "1: \r\n"},
        // An integer first in its record takes 11 columns, one after another number 12.
        ListCase{"IntegerFieldWidths",
                 {{integer(1), integer(-22)}},
                 blanks(10) + "1" + blanks(9) + "-22\r\n"},
        ListCase{"IntegerAfterTextHasNoSeparator",
                 {{integer(5), text("x"), integer(6)}},
                 blanks(10) + "5x" + blanks(10) + "6\r\n"},
        ListCase{"MostNegativeIntegerFillsField",
                 {{integer(-2147483647 - 1)}},
                 "-2147483648\r\n"},
        // Six integers: 11 + 5 * 12 = 71 columns; a seventh (12) no longer fits in the
        // remaining 8 and starts a new record whose first blank is carriage control.
        ListCase{"IntegerWrapsToNewRecord",
                 {{integer(1), integer(2), integer(3), integer(4), integer(5), integer(6),
                   integer(7), integer(8)}},
                 blanks(10) + "1" + blanks(11) + "2" + blanks(11) + "3" + blanks(11) + "4" +
                     blanks(11) + "5" + blanks(11) + "6\r\n" + blanks(10) + "7" + blanks(11) +
                     "8\r\n"},
        // A character value of exactly 79 columns fills the line and ends the record; as
        // the last item, the statement's own record end adds an empty line.
        ListCase{"ExactWidthTextAddsEmptyLine",
                 {{text(std::string(79, 'x'))}},
                 std::string(79, 'x') + "\r\n\r\n"},
        ListCase{"TextOneShortOfWidth", {{text(std::string(78, 'x'))}},
                 std::string(78, 'x') + "\r\n"},
        // 200 characters split 79 + 79 + 42.
        ListCase{"LongTextIsSplit",
                 {{text(longText)}},
                 longText.substr(0, 79) + "\r\n" + longText.substr(79, 79) + "\r\n" +
                     longText.substr(158) + "\r\n"},
        // A value that ends the record mid-statement: 70 + 10 leaves the 10 on a new line.
        ListCase{"SecondTextSplitsAtWidth",
                 {{text(std::string(70, 'a')), text(std::string(10, 'b'))}},
                 std::string(70, 'a') + std::string(9, 'b') + "\r\nb\r\n"},
        ListCase{"NegativeLengthCountsAsZero", {{text("")}}, "\r\n"}),
    [](const testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });

TEST(OutputUnits, UnitSixAndDefaultShareLines) {
    FakeRun run;
    int status = run.scope.runToExit([&] {
        execute(run.scope.io, {text("a")}, 6);
        execute(run.scope.io, {text("b")}, CONSOLE_OUTPUT_UNIT);
        execute(run.scope.io, {text("c")}, 0);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(run.console.out, "a\r\nb\r\nc\r\n");
}

TEST(OutputUnits, InvalidUnitNumberIsGeneralError) {
    FakeRun run;
    int status = run.scope.runToExit([&] { beginWrite(run.scope.io, 40000, nullptr, 0); });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(run.console.err, "\r\nrun-time error F6421\r\n- invalid unit number\r\n");
}

// Carriage control of a record's first character, with and without a pending line.
struct ControlCase {
    char control;
    bool linePending;
    std::string expected;  // bytes from the record's start, before its own line end
};

class CarriageControlTest : public testing::TestWithParam<ControlCase> {};

TEST_P(CarriageControlTest, WritesLineControl) {
    FakeRun run;
    UnitRecord& unit = run.scope.io.units.output();
    unit.lineOpen = GetParam().linePending;
    const char record[] = {GetParam().control, 'X', 'Y'};
    placeCharacters(unit, record, 3);
    endRecord(unit);
    EXPECT_EQ(run.console.out, GetParam().expected);
    EXPECT_TRUE(unit.lineOpen);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, CarriageControlTest,
    testing::Values(ControlCase{' ', true, "\r\nXY"}, ControlCase{' ', false, "XY"},
                    ControlCase{'0', true, "\r\n\r\nXY"}, ControlCase{'0', false, "\r\nXY"},
                    ControlCase{'1', true, "\r\n\f\r \rXY"}, ControlCase{'1', false, "\r\n\f\r \rXY"},
                    ControlCase{'+', true, "\rXY"}, ControlCase{'+', false, "\rXY"},
                    ControlCase{'A', true, "\r\nXY"}));

TEST(Records, LongRecordIsOneLine) {
    FakeRun run;
    UnitRecord& unit = run.scope.io.units.output();
    std::string text(301, 'z');
    text[0] = ' ';
    placeCharacters(unit, text.data(), static_cast<int>(text.size()));
    endRecord(unit);
    EXPECT_EQ(run.console.out, std::string(300, 'z'));
}

TEST(Records, TrailingBlanksAreDropped) {
    FakeRun run;
    UnitRecord& unit = run.scope.io.units.output();
    placeCharacters(unit, " ab", 3);
    addPendingBlanks(unit, 5);
    endRecord(unit);
    addPendingBlanks(unit, 4);  // a record of nothing but owed blanks is empty
    endRecord(unit);
    EXPECT_EQ(run.console.out, "ab\r\n");
}

TEST(Records, SharedRecordWhenBothTerminals) {
    FakeConsole console;
    console.inputTerminal = true;
    console.outputTerminal = true;
    FakeConsoleScope scope(console);
    EXPECT_TRUE(scope.io.units.shared());
    EXPECT_EQ(&scope.io.units.input(), &scope.io.units.output());
}

TEST(Records, SeparateRecordsWhenRedirected) {
    for (bool inputTerminal : {false, true}) {
        FakeConsole console;
        console.inputTerminal = inputTerminal;
        console.outputTerminal = !inputTerminal;
        FakeConsoleScope scope(console);
        EXPECT_FALSE(scope.io.units.shared());
        EXPECT_NE(&scope.io.units.input(), &scope.io.units.output());
        EXPECT_EQ(scope.io.units.output().name, "CON");
    }
}

TEST(Records, FailedWriteIsOutputFault) {
    FakeConsole console;
    console.failWrites = true;
    FakeConsoleScope scope(console);
    int status = scope.runToExit([&] { execute(scope.io, {text("lost")}); });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(console.out, "");
    // Reported once; the close-down owes nothing to a broken device.
    EXPECT_EQ(console.err, "\r\nrun-time error F6423: WRITE(CON)\r\n- write error on console\r\n");
}

}  // namespace
