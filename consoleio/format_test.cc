// Formatted output statements rendered byte for byte on a fake console, and the errors of
// format specifications. Expected records are worked out from the layout rules; on the
// console each record loses its first character (a blank: carriage control, which puts
// CR LF before the record when a line is pending), and the last line gets its CR LF at
// the end of the run.
#include "consoleio/format.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "consoleio/output.h"
#include "tests/fake_console.h"

namespace {

using Item = std::variant<int, float, double, std::string>;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome run(const char* format, const std::vector<Item>& items, int length = -1) {
    FakeRun run;
    const int status = run.scope.runToExit([&] {
        beginWrite(run.scope.io, CONSOLE_OUTPUT_UNIT, format, length);
        for (const Item& item : items) {
            if (auto* i = std::get_if<int>(&item)) writeInteger(run.scope.io, *i);
            else if (auto* r = std::get_if<float>(&item)) writeReal(run.scope.io, *r);
            else if (auto* d = std::get_if<double>(&item)) writeDouble(run.scope.io, *d);
            else {
                const auto& text = std::get<std::string>(item);
                writeCharacter(run.scope.io, text.data(), static_cast<int>(text.size()));
            }
        }
        endWrite(run.scope.io);
    });
    return {status, run.console.out, run.console.err};
}

// What the console shows for records that all begin with a blank carriage control.
std::string console(const std::vector<std::string>& records) {
    std::string out;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0) out += "\r\n";
        EXPECT_EQ(records[i].empty() ? ' ' : records[i][0], ' ') << "test expects blank control";
        if (!records[i].empty()) out += records[i].substr(1);
    }
    return out + "\r\n";
}

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

struct RenderCase {
    const char* name;
    const char* format;
    int length;
    std::vector<Item> items;
    std::vector<std::string> records;
};

class FormatRenderTest : public testing::TestWithParam<RenderCase> {};

TEST_P(FormatRenderTest, WritesExpectedRecords) {
    const RenderCase& c = GetParam();
    const Outcome outcome = run(c.format, c.items, c.length);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out, console(c.records));
}

// Fields of E12.4 for the sample values used below.
const std::string F_123 = "   .1235E+03";     // 123.456
const std::string F_M123 = "  -.1235E+03";    // -123.456
const std::string F_ZERO = "   .0000E+00";
const std::string F_ONE = "   .1000E+01";
const std::string F_TENTH = "   .1000E+00";
const std::string F_M25 = "  -.2500E-04";     // -2.5e-5
const std::string F_3E38 = "   .3000E+39";

const char* const DEFORMATION =
    "(/,' midplane strains:',/,/,3X,'eps-xx =',E12.4,/,3X,'eps-yy =',E12.4,/,3X,"
    "'eps-xy =',E12.4,/,/,' rotations:',/,/,3X,'kappa-xx =',E12.4,/,3X,'kappa-yy= ',"
    "E12.4,/,3X,'kappa-xy =',E12.4,/,/)";

const std::vector<Item> SIX = {123.456f, -123.456f, 0.0f, 1.0f, 0.1f, -2.5e-5f};
const std::vector<Item> NINE = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.1f, 0.1f};

INSTANTIATE_TEST_SUITE_P(
    AnalysisFormats, FormatRenderTest,
    testing::Values(
        RenderCase{"StiffnessHeading", "(/,' laminate stiffness matrix:',/)", -1, {},
                   {"", " laminate stiffness matrix:", ""}},
        RenderCase{"ComplianceHeadingRunsOn",
                   "(/,' laminate compliance matrix:',/)(4X,3E12.4,2X,3E12.4)", -1, {},
                   {"", " laminate compliance matrix:", ""}},
        RenderCase{"MatrixRow", "(4X,3E12.4,2X,3E12.4)", -1, SIX,
                   {blanks(4) + F_123 + F_M123 + F_ZERO + blanks(2) + F_ONE + F_TENTH + F_M25}},
        RenderCase{"PlyPrompt", "(/,' enter material set number for ply number',I3,': ')", -1,
                   {7}, {"", " enter material set number for ply number  7: "}},
        RenderCase{"StressHeading",
                   "(/,' stresses:',/,2X,'ply',5X,'sigma-1',5X,'sigma-2',4X,'sigma-12',/)", -1,
                   {},
                   {"", " stresses:", "  ply     sigma-1     sigma-2    sigma-12", ""}},
        RenderCase{"StressRow", "(3X,I2,3E12.4)", -1, {7, 1.0f, 0.1f, -123.456f},
                   {"    7" + F_ONE + F_TENTH + F_M123}},
        RenderCase{"Deformation", DEFORMATION, -1,
                   {1.0f, -2.5e-5f, 0.1f, 123.456f, 0.0f, 3.0e38f},
                   {"", " midplane strains:", "", "   eps-xx =" + F_ONE, "   eps-yy =" + F_M25,
                    "   eps-xy =" + F_TENTH, "", " rotations:", "", "   kappa-xx =" + F_123,
                    "   kappa-yy= " + F_ZERO, "   kappa-xy =" + F_3E38, "", ""}},
        RenderCase{"RelaxationRow", "(7E12.4)", -1,
                   {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f},
                   {F_ONE + F_ONE + F_ONE + F_ONE + F_ONE + F_ONE + F_ONE}},
        RenderCase{"RelaxationReverts", "(7E12.4)", -1, NINE,
                   {F_ONE + F_ONE + F_ONE + F_ONE + F_ONE + F_ONE + F_ONE, F_TENTH + F_TENTH}}),
    [](const testing::TestParamInfo<RenderCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Rules, FormatRenderTest,
    testing::Values(
        // Text after the closing parenthesis is not compiled; an explicit length ends it too.
        RenderCase{"LengthEndsText", "(' ab')garbage(", 7, {}, {" ab"}},
        RenderCase{"QuotesDoubledAndH",
                   "(' it''s',\" \"\"q\"\"\",4H x,y)", -1, {}, {" it's \"q\" x,y"}},
        RenderCase{"BlanksAndCaseIgnored", "( 1 0 x , i 3 , e 1 2 . 4 )", -1, {5, 1.0f},
                   {blanks(10) + "  5" + F_ONE}},
        RenderCase{"CommasOptional", "(' a'2X'b'I2)", -1, {3}, {" a  b 3"}},
        RenderCase{"SlashRepeat", "(' a',3/,' b')", -1, {}, {" a", "", "", " b"}},
        RenderCase{"TrailingMoveDropped", "(I2,5X)", -1, {1}, {" 1"}},
        RenderCase{"MoveBeforeCharacter", "(I2,5X,'a')", -1, {1}, {" 1     a"}},
        RenderCase{"LiteralsAfterLastItem", "(I2,' end',/,' more',I2,' never')", -1, {1},
                   {" 1 end", " more"}},
        RenderCase{"RepeatStopsWhenItemsEnd", "(3I2,' end')", -1, {1}, {" 1"}},
        RenderCase{"RepeatedDescriptorReverts", "(3I2)", -1, {1, 2, 3, 4}, {" 1 2 3", " 4"}},
        RenderCase{"GroupStopsAtDataDescriptor", "(2(I2,' x'),' end')", -1, {1}, {" 1 x"}},
        RenderCase{"GroupsRepeat", "(' a',2(I2,2(' b')))", -1, {1, 2},
                   {" a 1 b b 2 b b"}},
        RenderCase{"ReversionToLastTopLevelGroup", "(1X,I1,2(1X,I1))", -1,
                   {1, 2, 3, 4, 5, 6, 7}, {" 1 2 3", " 4 5", " 6 7"}},
        RenderCase{"ReversionWithoutGroup", "(' x',I2)", -1, {1, 2}, {" x 1", " x 2"}},
        RenderCase{"Asterisks", "(1X,E8.4,I2)", -1, {123.456f, 100}, {" ********" "**"}},
        RenderCase{"DoubleItems", "(1X,E12.4,D12.4)", -1, {1.0e100, 1.0e-100},
                   {"    .1000+101   .1000D-99"}},
        RenderCase{"CharacterItems", "(1X,A,A5,A2)", -1,
                   {std::string("ab"), std::string("xy"), std::string("long")},
                   {" ab   xylo"}},
        // A numeric descriptor without a width has width 0: the value takes no columns.
        RenderCase{"NoWidthMeansZero", "(I,' x')", -1, {5}, {" x"}},
        RenderCase{"EmptySpecification", "()", -1, {}, {""}}),
    [](const testing::TestParamInfo<RenderCase>& info) { return info.param.name; });

struct ErrorCase {
    const char* name;
    const char* format;
    int length;
    std::vector<Item> items;
    int number;               // the reported number
    std::string out;          // what reached standard output before the error
};

class FormatErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(FormatErrorTest, RaisesWriteError) {
    const ErrorCase& c = GetParam();
    const Outcome outcome = run(c.format, c.items, c.length);
    EXPECT_EQ(outcome.status, 1);
    const std::string head = "\r\nrun-time error F" + std::to_string(c.number) + ": WRITE(CON)\r\n- ";
    EXPECT_EQ(outcome.err.substr(0, head.size()), head);
    EXPECT_EQ(outcome.out, c.out);
}

INSTANTIATE_TEST_SUITE_P(
    All, FormatErrorTest,
    testing::Values(
        ErrorCase{"NoParenthesis", "I3", -1, {}, 6980, ""},
        ErrorCase{"LeadingComma", "(,I3)", -1, {1}, 6982, ""},
        ErrorCase{"CutShort", "(' ab')", 4, {}, 6981, ""},
        ErrorCase{"UnclosedQuote", "(' ab", -1, {}, 6981, ""},
        ErrorCase{"UnknownDescriptor", "(Q)", -1, {}, 6982, ""},
        ErrorCase{"ZeroRepeat", "(0I3)", -1, {1}, 6983, ""},
        ErrorCase{"HugeNumber", "(99999999999I3)", -1, {1}, 6983, ""},
        ErrorCase{"WidthTooLarge", "(I300)", -1, {1}, 6983, ""},
        ErrorCase{"MissingDigits", "(E12.)", -1, {1.0f}, 6983, ""},
        ErrorCase{"RepeatedLiteral", "(2'ab')", -1, {}, 6984, ""},
        ErrorCase{"RepeatedClose", "(I2,2)", -1, {1}, 6984, ""},
        ErrorCase{"Unsupported", "(F8.2)", -1, {1.0f}, 6986, ""},
        ErrorCase{"IntegerForE", "(E12.4)", -1, {1}, 6987, ""},
        ErrorCase{"RealForI", "(I3)", -1, {1.0f}, 6987, ""},
        ErrorCase{"TextForI", "(I3)", -1, {std::string("a")}, 6987, ""},
        ErrorCase{"NoDataDescriptor", "(' abc')", -1, {1}, 6988, ""},
        ErrorCase{"ReversionWithoutData", "(I2,(' abc'))", -1, {1, 2}, 6988, ""},
        // Errors are raised where the interpreter reaches them: earlier records stay.
        ErrorCase{"ReachedAfterLastItem", "(' a',I2,/,' b',Q)", -1, {1}, 6982, "a 1\r\n"},
        ErrorCase{"ReachedMidStatement", "(' a',/,I2,I2)", -1, {1, 1.0f}, 6987, "a\r\n"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

TEST(FormatRules, ErrorNotReachedIsNotRaised) {
    // With one item the interpreter stops at the second I2 and never reaches Q.
    const Outcome outcome = run("(I2,I2,Q)", {1});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, console({" 1"}));
}

std::string nested(int innerGroups) {
    const auto count = static_cast<std::size_t>(innerGroups);
    std::string format(count + 1, '(');
    format += "I2";
    format.append(count + 1, ')');
    return format;
}

TEST(FormatRules, InnerGroupsNestSixteenDeep) {
    Outcome outcome = run(nested(16).c_str(), {1});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, console({" 1"}));
    outcome = run(nested(17).c_str(), {1});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("F6985: WRITE(CON)"), std::string::npos);
}

TEST(FormatRules, LongLiteralsAndCountsUseTheWideNumberForm) {
    // A literal of 200 characters and a repeat count of 130 do not fit in one signed byte.
    const std::string text(200, 'z');
    const std::string format = "(' " + text + "',/,1X,130I1)";
    const Outcome outcome = run(format.c_str(), {1, 2});
    EXPECT_EQ(outcome.out, console({" " + text, " 12"}));
    const CompiledFormat compiled = compileFormat(format.c_str(), -1);
    const FormatElement literal = decodeFormatElement(compiled, 0);
    EXPECT_EQ(literal.code, FORMAT_LITERAL);
    EXPECT_EQ(literal.repeat, 201);
    EXPECT_EQ(compiled.code[1], FORMAT_NUMBER_ESCAPE);
}

TEST(FormatRules, ByteCodeLayout) {
    // 4X: one parameter; 3E12.4: repeat and two parameters; final ")" with its offset 0.
    const CompiledFormat compiled = compileFormat("(4X,3E12.4)", -1);
    const std::vector<unsigned char> expected = {
        (1 << 6) | 29, 4, (2 << 6) | 0x20 | 10, 3, 12, 4, 30, 0, 0};
    EXPECT_EQ(compiled.code, expected);
}

}  // namespace
