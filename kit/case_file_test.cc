// The case file reader: what it refuses (with the file and line), the answers it writes, the
// strengths it reads.
#include "kit/case_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace kit {
namespace {

// A good case; each bad case below replaces one piece of it.
const std::string SET = "[[set]]\ne1 = 140000\ne2 = 10000.0\nnu12 = 0.3\ng12 = 5000\nthickness = 0.125\n";
const std::string PLY = "[[ply]]\nset = 1\nangle = 45.0\n";
const std::string STRENGTHS = "xt = 1500\nxc = 1200\nyt = 50\nyc = 250\ns = 70\n";

std::string readError(const std::string& text) {
    std::string error;
    auto c = readCase(text, "c.toml", error);
    EXPECT_FALSE(c.has_value()) << text;
    return error;
}

TEST(CaseFile, RefusesWithFileAndLine) {
    struct Bad {
        std::string text;
        std::string message;  // the whole first line of the message
    };
    const Bad cases[] = {
        {SET + "[[ply]]\nset = 1\nangel = -45\n",
         "c.toml:9: unknown key \"angel\" in [[ply]] 1 (known: set, angle)"},
        {SET + PLY + "[[expect]]\nname = \"Ex\"\nvalue = \"2970\"\n",
         "c.toml:12: value must be a number, not a string"},
        {SET + PLY + "[[expect]]\nname = \"Ex\"\nvalue = 1\nstructural-zero = \"false\"\n",
         "c.toml:13: structural-zero must be true or false, not a string"},
        {SET + "[[ply]]\nset = 2\n", "c.toml:8: [[ply]] 1: set 2 is not defined (the case defines 1 [[set]])"},
        {SET + "[[ply]]\nset = 1.0\n", "c.toml:8: set must be an integer (a set number), not a number"},
        {SET + "[[ply]]\nangle = 0\n", "c.toml:7: [[ply]] 1 has no set"},
        {SET, "c.toml:1: no [[ply]]: a laminate needs at least one ply"},
        {PLY, "c.toml:1: no [[set]]: a laminate needs a material set"},
        {SET + "xt = 0\nxc = 1\nyt = 1\nyc = 1\ns = 1\n" + PLY, "c.toml:7: xt must be above zero, not 0"},
        {SET + "xt = 1\nxc = -3\nyt = 1\nyc = 1\ns = 1\n" + PLY, "c.toml:8: xc must be above zero, not -3"},
        {SET + "xt = 1\nxc = 1\nyt = nan\nyc = 1\ns = 1\n" + PLY, "c.toml:9: yt must be a finite number"},
        {SET + "xt = 1\nxc = 1\nyt = 1\nyc = inf\ns = 1\n" + PLY, "c.toml:10: yc must be a finite number"},
        {SET + "xt = 1\nxc = 1\nyt = 1\nyc = 1\ns = 1e-50\n" + PLY,
         "c.toml:11: s must be above zero in single precision, not 1e-50"},
        {SET + STRENGTHS + "f12star = 1.0\n" + PLY,
         "c.toml:12: f12star = 1: Tsai-Wu's normalised interaction must lie strictly between -1 and 1"},
        {SET + STRENGTHS + "f12star = -0.5\nf12 = -1e-6\n" + PLY, "c.toml:1: [[set]] 1 gives both f12 and f12star: give one"},
        // 1 / sqrt(1500 1200 50 250) = 2.108e-5
        {SET + STRENGTHS + "f12 = 3e-5\n" + PLY, "c.toml:1: [[set]] 1: f12 = 3e-05 must be less in magnitude"},
        {SET + "xt = 1\nxc = 1\nst = 2\n" + PLY, "c.toml:1: [[set]] 1 has strengths but not yt, yc, s"},
        {"[[set]]\ne1 = 1\ne2 = 2\nnu12 = 0\n" + PLY, "c.toml:1: [[set]] 1 has no thickness"},
        {"[[set]]\ne1 = 140000\ne2 = 10000\nnu12 = 0.3\nthickness = 1\n" + PLY,
         "c.toml:1: [[set]] 1 has no g12: the program asks it"},
        {SET.substr(0, SET.size() - 1) + "\ncreep = 0\n" + PLY, "c.toml:7: unknown key \"creep\" in [[set]] 1"},
        {"[[set]]\ne1 = 1e39\ne2 = 1\nnu12 = 0\ng12 = 1\nthickness = 1\n" + PLY,
         "c.toml:2: e1 = 1e+39 is beyond single precision's range"},
        {SET + PLY + "[loads]\nnx = 1\nnz = 2\n", "c.toml:12: unknown key \"nz\" in [loads]"},
        {"loads = 3\n" + SET + PLY, "c.toml:1: loads must be a table [loads], not an integer"},
        {"set = 1\n" + PLY, "c.toml:1: set must be tables [[set]], not an integer"},
        {"titel = \"x\"\n" + SET + PLY, "c.toml:1: unknown key \"titel\""},
        {"title = 3\n" + SET + PLY, "c.toml:1: title must be a string, not an integer"},
        // A table header whose key does not begin with a key character: toml++ asserted it
        // did (an abort in a build with assertions), before its own error.
        {SET + PLY + "[[[expect]]\n", "c.toml:10: Error while parsing key"},
        {"[=]\n" + SET + PLY, "c.toml:1: Error while parsing key"},
        // A non-ASCII character where a key may begin (U+022C, and U+3001 beside the space
        // U+3000): toml++ reached an "unreachable" branch of its whitespace test there.
        {"\xc8\xac=\n" + SET + PLY, "c.toml:1: "},
        {SET + PLY + "\xe3\x80\x81 = 1\n", "c.toml:10: "},
        {SET + PLY + "[[expect]]\nname = \"Ex\"\n", "c.toml:10: [[expect]] 1 needs name and value"},
        {SET + PLY + "[[expect]]\nname = \"Ex\"\nvalue = 1\nunit = -1\n", "c.toml:13: unit must not be negative"},
        {"answers = \"a.txt\"\n" + PLY, "c.toml:2: a case that names an answer file gives no [[ply]]"},
        {"answers = \"a.txt\"\n" + SET, "c.toml:3: unknown key \"e1\" in [[set]] 1 (known: xt, xc"},
        {SET + PLY + "x = [1,\n", "c.toml:10: "},  // a TOML syntax error: toml++'s words
    };
    for (const Bad& b : cases) {
        std::string error = readError(b.text);
        EXPECT_EQ(error.substr(0, b.message.size()), b.message) << b.text;
    }
}

TEST(CaseFile, EveryProblemInLineOrder) {
    std::string error = readError(SET + "[[ply]]\nset = 3\nangel = 1\n[loads]\nnz = 1\n");
    EXPECT_EQ(error, "c.toml:8: [[ply]] 1: set 3 is not defined (the case defines 1 [[set]])\n"
                     "c.toml:9: unknown key \"angel\" in [[ply]] 1 (known: set, angle)\n"
                     "c.toml:11: unknown key \"nz\" in [loads] (known: nx, ny, nxy, mx, my, mxy)");
}

TEST(CaseFile, LimitsOfTheProgram) {
    std::string sets, plies;
    for (int i = 0; i < 11; ++i) sets += SET;
    for (int i = 0; i < 21; ++i) plies += PLY;
    EXPECT_NE(readError(sets + PLY).find("c.toml:61: more than 10 [[set]]"), std::string::npos);
    EXPECT_NE(readError(SET + plies).find("c.toml:67: more than 20 [[ply]]"), std::string::npos);
}

// Python's repr of a float, or an integer below 10^15, as the format's answers always were.
TEST(CaseFile, AnswerNumbers) {
    const std::pair<double, const char*> cases[] = {
        {140000.0, "140000"}, {-1, "-1"}, {0.3, "0.3"}, {-0.0, "0"}, {1e-5, "1e-05"},
        {1.5e-4, "0.00015"}, {0.0001, "0.0001"}, {123.456, "123.456"}, {-2.5, "-2.5"},
        {1e15, "1000000000000000.0"}, {1.5e15, "1500000000000000.0"}, {1e16, "1e+16"},
        {1.25e17, "1.25e+17"}, {3e38, "3e+38"}, {0.1 + 0.2, "0.30000000000000004"},
        {999999999999999.0, "999999999999999"}, {12345.678e10, "123456780000000"}};
    for (const auto& [v, text] : cases) EXPECT_EQ(answerNumber(v), text) << v;
}

TEST(CaseFile, AnswersInTheProgramsOrder) {
    struct Case {
        std::string text, answers;
    };
    const Case cases[] = {
        // G12 asked (moduli differ), one -1 after the sets and the plies, loads then the time.
        {SET + PLY + "[loads]\nny = 2.5\n", "140000\n10000\n0.3\n5000\n0.125\n0\n-1\n1\n45\n-1\n0\n2.5\n0\n0\n0\n0\n1\n"},
        // Equal moduli: no G12 in the answers (and a note), the given relaxation time.
        {"relaxation-time = 0.5\n[[set]]\ne1 = 100\ne2 = 100\nnu12 = 0.25\ng12 = 7\nthickness = 1\n"
         "creep-fraction = 0.5\n[[ply]]\nset = 1\n",
         "100\n100\n0.25\n1\n0.5\n-1\n1\n0\n-1\n0\n0\n0\n0\n0\n0\n0.5\n"},
    };
    for (const Case& c : cases) {
        std::string error;
        auto read = readCase(c.text, "c.toml", error);
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(caseAnswers(*read), c.answers);
    }
    // Ten sets and twenty plies: the program asks no more, so no -1 follows either.
    std::string sets, plies;
    for (int i = 0; i < 10; ++i) sets += SET;
    for (int i = 0; i < 20; ++i) plies += PLY;
    std::string error;
    auto full = readCase(sets + plies, "c.toml", error);
    ASSERT_TRUE(full) << error;
    std::string answers = caseAnswers(*full);
    EXPECT_EQ(answers.find("-1"), std::string::npos);
    EXPECT_EQ(std::count(answers.begin(), answers.end(), '\n'), 10 * 6 + 20 * 2 + 6 + 1);
}

TEST(CaseFile, G12AskedAsTheProgramDecides) {
    // |e1 - e2| / e1 of the single-precision moduli against 0.001f (slightly above 0.001).
    const struct {
        double e1, e2;
        bool asked;
    } cases[] = {{1000, 999, false}, {1000, 998.99, true}, {1000, 1001, false}, {1000, 1001.01, true},
                 {100, 100, false}, {140000, 10000, true}, {1e-3, 2e-3, true}};
    for (const auto& c : cases) EXPECT_EQ(g12Asked(c.e1, c.e2), c.asked) << c.e1 << " " << c.e2;
}

TEST(CaseFile, StrengthsReadAndChecked) {
    std::string error;
    auto c = readCase(SET + STRENGTHS + "f12star = -0.3\nst = 90\ng12u = 0.02\n" + SET + PLY +
                          "[[ply]]\nset = 2\n",
                      "c.toml", error);
    ASSERT_TRUE(c) << error;
    auto s = caseStrengths(c->sets);
    ASSERT_EQ(s.size(), 2u);
    ASSERT_TRUE(s[0]);
    EXPECT_FALSE(s[1]);
    EXPECT_EQ(s[0]->xt, 1500);
    EXPECT_EQ(s[0]->xc, 1200);
    EXPECT_EQ(s[0]->yt, 50);
    EXPECT_EQ(s[0]->yc, 250);
    EXPECT_EQ(s[0]->s, 70);
    EXPECT_EQ(s[0]->f12star, -0.3);
    EXPECT_FALSE(s[0]->f12);
    EXPECT_EQ(s[0]->st, 90);
    EXPECT_EQ(s[0]->g12u, 0.02);
    EXPECT_FALSE(s[0]->e1t);
    EXPECT_EQ(s[0]->line, 1);
    EXPECT_EQ(missingStrengths("c.toml", c->sets, {1, 1}), "");
    EXPECT_EQ(missingStrengths("c.toml", c->sets, {1, 2}),
              "c.toml:15: set 2 (of ply 2) has no strengths: give xt, xc, yt, yc and s in its [[set]]");

    auto f = readStrengths("[[set]]\n" + STRENGTHS + "[[set]]\n", "s.toml", error);
    ASSERT_TRUE(f) << error;
    ASSERT_EQ(f->sets.size(), 2u);
    EXPECT_TRUE(f->sets[0].strengths);
    EXPECT_EQ(missingStrengths("s.toml", f->sets, {2}),
              "s.toml:7: set 2 (of ply 1) has no strengths: give xt, xc, yt, yc and s in its [[set]]");
    EXPECT_EQ(missingStrengths("s.toml", f->sets, {1, 3}),
              "s.toml:7: set 3 (of ply 2) has no strengths: the file has 2 [[set]]");
    const std::pair<std::string, std::string> bad[] = {
        {"[[set]]\n" + STRENGTHS + "e1 = 3\n", "s.toml:7: unknown key \"e1\" in [[set]] 1"},
        {"[[set]]\nxt = -1\nxc = 1\nyt = 1\nyc = 1\ns = 1\n", "s.toml:2: xt must be above zero, not -1"},
        {"[[ply]]\nset = 1\n", "s.toml:1: unknown key \"ply\" in a strengths file"},
        {"", "s.toml:1: no [[set]]"}};
    for (const auto& [text, message] : bad) {
        error.clear();
        EXPECT_FALSE(readStrengths(text, "s.toml", error)) << text;
        EXPECT_EQ(error.substr(0, message.size()), message) << text;
    }
}

}  // namespace
}  // namespace kit
