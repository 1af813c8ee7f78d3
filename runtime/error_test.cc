// The run-time error report layout and the close-down, against a fake console.
#include "runtime/error.h"

#include <gtest/gtest.h>

#include "consoleio/record.h"
#include "tests/fake_console.h"

namespace {

struct ReportCase {
    int number;
    const char* text;
    StatementKind kind;
    const char* expected;
};

class ReportLayoutTest : public testing::TestWithParam<ReportCase> {};

TEST_P(ReportLayoutTest, WritesOneReportAndEndsWithStatusOne) {
    FakeRun run;
    const ReportCase& c = GetParam();
    int status = run.scope.runToExit([&] { reportRuntimeError(c.number, c.text, c.kind); });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(run.console.err, c.expected);
    EXPECT_EQ(run.console.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ReportLayoutTest,
    testing::Values(
        ReportCase{6501, "end of file encountered", StatementKind::Read,
                   "\r\nrun-time error F6501: READ(CON)\r\n- end of file encountered\r\n"},
        ReportCase{6423, "write error", StatementKind::Write,
                   "\r\nrun-time error F6423: WRITE(CON)\r\n- write error\r\n"},
        ReportCase{6103, "floating-point error: divide by zero", StatementKind::Math,
                   "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
        ReportCase{6763, "out of memory", StatementKind::General,
                   "\r\nrun-time error F6763\r\n- out of memory\r\n"},
        // An input/output report with no message text ends after the parenthesis.
        ReportCase{6500, "", StatementKind::Read, "\r\nrun-time error F6500: READ(CON)\r\n\r\n"}));

// Every reachable error code reports the number its row of the table gives.
TEST(MessageTable, NumbersOfReachableErrors) {
    const std::pair<ErrorCode, int> rows[] = {
        {ErrorCode::IntegerOverflow, 100},  {ErrorCode::IntegerSyntax, 101},
        {ErrorCode::RealDoubleRange, 102},  {ErrorCode::RealSyntax, 103},
        {ErrorCode::RealSingleRange, 104},  {ErrorCode::BasedSecondHash, 302},
        {ErrorCode::BasedBadBase, 303},     {ErrorCode::ConsoleLineTooLong, 407},
        {ErrorCode::ReadFailed, 500},       {ErrorCode::EndOfFile, 501},
        {ErrorCode::RepeatCountZero, 502},  {ErrorCode::SecondRepeatCount, 503},
        {ErrorCode::QuotedNumericValue, 504}, {ErrorCode::NoMemoryRuntime, 700},
        {ErrorCode::NoMemoryTemporary, 763}, {ErrorCode::WorkArrayAllocate, 773},
        {ErrorCode::WorkArrayNoStorage, 774}, {ErrorCode::WorkArrayNotAllocated, 776},
    };
    for (const auto& [code, number] : rows) {
        EXPECT_EQ(messageNumber(code), number);
        EXPECT_NE(std::string(messageText(code)), "");
    }
}

TEST(CloseDown, OpenLineGetsItsLineEnd) {
    FakeRun run;
    int status = run.scope.runToExit([&] {
        UnitRecord& unit = run.scope.io.units.output();
        placeCharacters(unit, " prompt: ", 9);
        endRecord(unit);
        raiseRuntimeError(run.scope.io.errors, ErrorCode::RealSyntax, StatementKind::Read);
    });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(run.console.out, "prompt: \r\n");
    EXPECT_EQ(run.console.err, "\r\nrun-time error F6103: READ(CON)\r\n- invalid real\r\n");
}

TEST(CloseDown, ErrorDuringCloseDownIsReportedOnceAndKeepsStatus) {
    FakeRun run;
    UnitRecord& unit = run.scope.io.units.output();
    placeCharacters(unit, " last", 5);
    endRecord(unit);
    run.console.failWrites = true;  // the final CR LF cannot be written
    int status = run.scope.runToExit([&] {});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(run.console.out, "last");
    EXPECT_EQ(run.console.err, "\r\nrun-time error F6423: WRITE(CON)\r\n- write error on console\r\n");
}

TEST(CloseDown, RunsOnce) {
    FakeRun run;
    UnitRecord& unit = run.scope.io.units.output();
    placeCharacters(unit, " x", 2);
    endRecord(unit);
    EXPECT_EQ(run.scope.runToExit([&] {}), 0);
    EXPECT_TRUE(run.scope.io.errors.closeDownStarted);
    // A report after the close-down has begun returns instead of ending the run again.
    reportRuntimeError(run.scope.io.errors, 6501, "late", StatementKind::Read);
    EXPECT_EQ(run.console.out, "x\r\n");
}

}  // namespace
