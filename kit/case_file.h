// Case files (verification/README.md describes the format): one laminate in TOML, its
// material sets (with their strengths), plies, loads and reference numbers, and the answer
// file the program is given for it; and strengths files, the same [[set]] tables with
// strengths only. The reader checks every key and type of every table and says what is wrong
// as "FILE:LINE: what". Free of file and process calls: the caller gives the bytes and the
// file's name (a case that names an answer file of its own leaves reading it to the caller).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/strengths.h"

namespace kit {

// The program's limits: after the tenth set and the twentieth ply it asks no more.
constexpr int CASE_MAX_SETS = 10;
constexpr int CASE_MAX_PLIES = 20;

struct CaseSet {
    int line = 0;                    // the line of its [[set]]
    // The elastic constants; absent in a case that names an answer file (strengths only).
    double e1 = 0, e2 = 0, nu12 = 0, thickness = 0, creepFraction = 0;
    std::optional<double> g12;       // as the program takes it: only when it asks (g12Asked)
    bool g12Asked = false;
    std::optional<Strengths> strengths;
};

struct CasePly {
    int line = 0;
    int set = 0;                     // from 1
    double angle = 0;
};

struct CaseExpect {
    int line = 0;
    std::string name;
    double value = 0;
    std::optional<std::string> printed;
    double unit = 0;
    std::string where, note, explained;
    bool structuralZero = false;
};

inline constexpr std::array<const char*, 6> CASE_LOAD_KEYS = {"nx", "ny", "nxy", "mx", "my", "mxy"};

struct CaseFile {
    std::string file;                // the name the caller gave
    std::string title, source, description, derivation;
    // `answers = "..."`: an answer file of the case's own, relative to the case file's folder;
    // then the sets hold strengths only and there are no plies or loads.
    std::string answersFile;
    double relaxationTime = 1.0;
    std::vector<CaseSet> sets;
    std::vector<CasePly> plies;
    std::array<double, 6> loads{};   // in the order of CASE_LOAD_KEYS
    std::vector<CaseExpect> expect;
    // What the reader did that a reader of the file might not expect (a G12 the program does
    // not ask).
    std::vector<std::string> notes;
};

// Reads the case file `text`, called `file` in messages. Returns nullopt, with `error`
// ("FILE:LINE: what"), when the file breaks a rule.
std::optional<CaseFile> readCase(std::string_view text, const std::string& file, std::string& error);

// A strengths file: [[set]] tables in set order, each with the strengths of that set or
// empty (a set with no strengths).
struct StrengthsFile {
    std::string file;
    std::vector<CaseSet> sets;       // line and strengths only
};

std::optional<StrengthsFile> readStrengths(std::string_view text, const std::string& file,
                                           std::string& error);

// The answer file of a case that gives its sets, plies and loads: one value a line, in the
// order the program asks them (G12 only where it asks it, -1 after the last set and ply
// unless there are ten sets or twenty plies). Empty for a case that names an answer file.
std::string caseAnswers(const CaseFile& c);

// The per-set strengths (index 0 is set 1).
std::vector<std::optional<Strengths>> caseStrengths(const std::vector<CaseSet>& sets);

// Whether every set used by the plies (`plySets`, from 1) has strengths in `sets`, read from
// `file`: "" when they have, else "FILE:LINE: ..." naming the first set without them.
std::string missingStrengths(const std::string& file, const std::vector<CaseSet>& sets,
                             const std::vector<int>& plySets);

// Whether the program asks the shear modulus of a set: the relative difference of the
// moduli as stored (single precision), taken in double, at least 0.001 as a single-precision
// constant.
bool g12Asked(double e1, double e2);

// A number of an answer file as the case format writes it: an integral value below 10^15 as
// an integer, any other as the shortest decimal that reads back as it, in Python's repr form
// (fixed for exponents -4 to 15, else d.ddde+XX), so that the answers stay those the manual's
// results were made from.
std::string answerNumber(double v);

}  // namespace kit
