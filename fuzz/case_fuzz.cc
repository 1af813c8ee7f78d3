// Arbitrary bytes as a case file and as a strengths file for the kit's reader: no crash and
// bounded work; a refusal is one "FILE:LINE: what" line or more, in line order; an accepted
// case keeps the program's limits (1 to 10 sets, 1 to 20 plies, every ply's set defined,
// strengths above zero, |f12star| < 1) and its answers are one value a line, in the number
// the program asks, each reading back as the value it stands for; reading twice gives the
// same.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kit/case_file.h"

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "case_fuzz: %s\n", what);
        std::abort();
    }
}

// Every line "fuzz.toml:LINE: what", LINE not decreasing.
void checkMessage(const std::string& error) {
    require(!error.empty(), "a refusal without a message");
    long previous = 0;
    std::size_t at = 0;
    while (at <= error.size()) {
        std::size_t end = error.find('\n', at);
        if (end == std::string::npos) end = error.size();
        std::string_view line(error.data() + at, end - at);
        require(line.substr(0, 10) == "fuzz.toml:", "a message that does not name the file");
        long number = 0;
        auto r = std::from_chars(line.data() + 10, line.data() + line.size(), number);
        require(r.ec == std::errc() && number >= 1 && number >= previous,
                "a message without its line, or out of line order");
        require(r.ptr + 2 <= line.data() + line.size() && r.ptr[0] == ':' && r.ptr[1] == ' ',
                "a message line without ': what'");
        previous = number;
        at = end + 1;
    }
}

void checkStrengths(const kit::CaseSet& s) {
    if (!s.strengths) return;
    const kit::Strengths& t = *s.strengths;
    for (double v : {t.xt, t.xc, t.yt, t.yc, t.s})
        require(std::isfinite(v) && v > 0, "a strength that is not above zero");
    require(!(t.f12 && t.f12star), "both f12 and f12star");
    if (t.f12star) require(std::fabs(*t.f12star) < 1, "|f12star| of 1 or more");
    for (const auto& v : {t.st, t.e1t, t.e1c, t.e2t, t.e2c, t.g12u})
        if (v) require(std::isfinite(*v) && *v > 0, "an allowable that is not above zero");
}

// The values of the answers, in order, as the case gives them.
std::vector<double> expectedAnswers(const kit::CaseFile& c) {
    std::vector<double> v;
    for (const kit::CaseSet& s : c.sets) {
        v.insert(v.end(), {s.e1, s.e2, s.nu12});
        if (s.g12) v.push_back(*s.g12);
        v.insert(v.end(), {s.thickness, s.creepFraction});
    }
    if (c.sets.size() < kit::CASE_MAX_SETS) v.push_back(-1);
    for (const kit::CasePly& p : c.plies) v.insert(v.end(), {double(p.set), p.angle});
    if (c.plies.size() < kit::CASE_MAX_PLIES) v.push_back(-1);
    v.insert(v.end(), c.loads.begin(), c.loads.end());
    v.push_back(c.relaxationTime);
    return v;
}

void checkCase(const kit::CaseFile& c) {
    if (!c.answersFile.empty()) {
        require(c.plies.empty() && kit::caseAnswers(c).empty(), "an answer-file case with plies or answers");
        for (const kit::CaseSet& s : c.sets) checkStrengths(s);
        return;
    }
    require(!c.sets.empty() && c.sets.size() <= kit::CASE_MAX_SETS, "a set count the program does not take");
    require(!c.plies.empty() && c.plies.size() <= kit::CASE_MAX_PLIES, "a ply count the program does not take");
    for (const kit::CaseSet& s : c.sets) {
        require(s.e1 > 0 && s.e2 > 0 && s.thickness > 0, "a modulus or thickness not above zero");
        require(s.g12Asked == kit::g12Asked(s.e1, s.e2) && s.g12Asked == s.g12.has_value(),
                "a G12 where the program does not ask it, or none where it does");
        checkStrengths(s);
    }
    for (const kit::CasePly& p : c.plies)
        require(p.set >= 1 && p.set <= static_cast<int>(c.sets.size()), "a ply of a set not defined");
    std::string answers = kit::caseAnswers(c);
    std::vector<double> want = expectedAnswers(c);
    std::size_t at = 0, n = 0;
    while (at < answers.size()) {
        std::size_t end = answers.find('\n', at);
        require(end != std::string::npos, "an answer without its line end");
        double v = 0;
        auto r = std::from_chars(answers.data() + at, answers.data() + end, v);
        require(r.ec == std::errc() && r.ptr == answers.data() + end, "an answer that is not a number");
        require(n < want.size() && v == want[n], "an answer that does not read back as its value");
        ++n;
        at = end + 1;
    }
    require(n == want.size(), "answers not in the number the program asks");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error, again;
    std::optional<kit::CaseFile> c = kit::readCase(text, "fuzz.toml", error);
    std::optional<kit::CaseFile> c2 = kit::readCase(text, "fuzz.toml", again);
    require(c.has_value() == c2.has_value() && error == again, "two readings differ");
    if (c) {
        require(error.empty(), "a message for an accepted case");
        checkCase(*c);
        require(kit::caseAnswers(*c) == kit::caseAnswers(*c2), "two readings give other answers");
    } else {
        checkMessage(error);
    }
    error.clear();
    std::optional<kit::StrengthsFile> s = kit::readStrengths(text, "fuzz.toml", error);
    if (s) {
        require(error.empty() && !s->sets.empty() && s->sets.size() <= kit::CASE_MAX_SETS,
                "a strengths file of no sets or too many");
        for (const kit::CaseSet& set : s->sets) checkStrengths(set);
        std::vector<int> plies;
        for (std::size_t m = 1; m <= s->sets.size() + 1; ++m) plies.push_back(static_cast<int>(m));
        std::string missing = kit::missingStrengths("fuzz.toml", s->sets, plies);
        require(!missing.empty(), "a set beyond the file found with strengths");
        checkMessage(missing);
    } else {
        checkMessage(error);
    }
    return 0;
}
