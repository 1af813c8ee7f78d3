#include "kit/case_file.h"

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdint>

// toml++ 3.3 states as an assertion, and under clang as an optimiser's assumption, that a
// table header's key begins with a key character or a quote; malformed input such as
// "[[[set]]" breaks it, and the parser's own test right after it reports the error properly.
// So the assertion is off (TOML_ASSERT is the library's to let a user set), and clang's
// assumption is kept from taking effect: a false assumption is undefined behaviour.
#define TOML_ASSERT(expr) static_assert(true)
#define __builtin_assume(expr) static_cast<void>(0)
#include <toml++/toml.h>
#undef __builtin_assume

namespace kit {

namespace {

// The keys of a [[set]] that give strengths (Strengths' fields).
// The first five are required together; the others are optional.
constexpr std::array<const char*, 13> STRENGTH_KEYS = {"xt", "xc", "yt", "yc", "s", "f12star", "f12",
                                                       "st", "e1t", "e1c", "e2t", "e2c", "g12u"};
constexpr std::size_t REQUIRED_STRENGTHS = 5;
constexpr std::array<const char*, 6> ELASTIC_KEYS = {"e1", "e2", "nu12", "g12", "thickness",
                                                     "creep-fraction"};

const char* typeName(toml::node_type t) {
    switch (t) {
        case toml::node_type::table: return "a table";
        case toml::node_type::array: return "an array";
        case toml::node_type::string: return "a string";
        case toml::node_type::integer: return "an integer";
        case toml::node_type::floating_point: return "a number";
        case toml::node_type::boolean: return "a boolean";
        case toml::node_type::date: return "a date";
        case toml::node_type::time: return "a time";
        case toml::node_type::date_time: return "a date-time";
        default: return "nothing";
    }
}

// Text from the file, for a one-line message: control characters written as escapes.
std::string printable(std::string_view text) {
    std::string out;
    for (char ch : text) {
        unsigned char u = static_cast<unsigned char>(ch);
        if (ch == '\n') out += "\\n";
        else if (ch == '\r') out += "\\r";
        else if (ch == '\t') out += "\\t";
        else if (u < 0x20 || u == 0x7f) {
            const char* hex = "0123456789abcdef";
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else out += ch;
    }
    return out;
}

std::string parseError(const std::string& file, const toml::parse_error& e) {
    return file + ":" + std::to_string(std::max<std::uint32_t>(e.source().begin.line, 1)) + ": " +
           printable(e.description());
}

std::string general6(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
    return std::string(buf, r.ptr);
}

std::string knownList(std::initializer_list<const char*> a, std::initializer_list<const char*> b = {},
                      std::initializer_list<const char*> c = {}) {
    std::string out;
    for (auto list : {a, b, c})
        for (const char* k : list)
            if (k) out += (out.empty() ? "" : ", ") + std::string(k);
    return out;
}

// The checks of one file: every problem found, each with its line; reported in line order.
class Checker {
public:
    explicit Checker(const std::string& file) : file_(file) {}

    void fail(int line, const std::string& what) { problems_.push_back({line < 1 ? 1 : line, what}); }
    void fail(const toml::source_region& at, const std::string& what) {
        fail(static_cast<int>(at.begin.line), what);
    }
    bool ok() const { return problems_.empty(); }
    std::string message() {
        std::stable_sort(problems_.begin(), problems_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string out;
        for (const auto& [line, what] : problems_)
            out += (out.empty() ? "" : "\n") + file_ + ":" + std::to_string(line) + ": " + what;
        return out;
    }

    // A number (TOML integer or float), finite.
    std::optional<double> number(const toml::node& n, const std::string& key) {
        double v;
        if (auto i = n.as_integer()) v = static_cast<double>(i->get());
        else if (auto f = n.as_floating_point()) v = f->get();
        else {
            fail(n.source(), key + " must be a number, not " + typeName(n.type()));
            return std::nullopt;
        }
        if (!std::isfinite(v)) {
            fail(n.source(), key + " must be a finite number");
            return std::nullopt;
        }
        return v;
    }
    // A number the program reads as a single-precision real.
    std::optional<double> single(const toml::node& n, const std::string& key) {
        auto v = number(n, key);
        if (v && std::fabs(*v) > FLT_MAX) {
            fail(n.source(), key + " = " + general6(*v) + " is beyond single precision's range");
            return std::nullopt;
        }
        return v;
    }
    // A number above zero (a modulus, a thickness, a strength), also in single precision.
    std::optional<double> positive(const toml::node& n, const std::string& key) {
        auto v = single(n, key);
        if (v && !(static_cast<float>(*v) > 0)) {
            fail(n.source(), key + " must be above zero" +
                                 std::string(*v > 0 ? " in single precision" : "") + ", not " +
                                 general6(*v));
            return std::nullopt;
        }
        return v;
    }
    std::optional<std::string> text(const toml::node& n, const std::string& key) {
        if (auto s = n.as_string()) return s->get();
        fail(n.source(), key + " must be a string, not " + typeName(n.type()));
        return std::nullopt;
    }
    std::optional<bool> boolean(const toml::node& n, const std::string& key) {
        if (auto b = n.as_boolean()) return b->get();
        fail(n.source(), key + " must be true or false, not " + typeName(n.type()));
        return std::nullopt;
    }
    // The tables of [[NAME]]; an empty list, with a message, for anything else.
    std::vector<const toml::table*> tables(const toml::node& n, const std::string& name) {
        std::vector<const toml::table*> out;
        const toml::array* a = n.as_array();
        if (a == nullptr || !a->is_array_of_tables()) {
            fail(n.source(), name + " must be tables [[" + name + "]], not " + typeName(n.type()));
            return out;
        }
        for (const toml::node& t : *a) out.push_back(t.as_table());
        return out;
    }

private:
    std::string file_;
    std::vector<std::pair<int, std::string>> problems_;
};

int lineOf(const toml::node& n) { return static_cast<int>(n.source().begin.line); }

// One [[set]]: with `elastic`, its elastic constants (and optionally strengths); without,
// strengths only.
CaseSet readSet(Checker& check, const toml::table& t, int n, bool elastic) {
    CaseSet set;
    set.line = lineOf(t);
    const std::string where = "[[set]] " + std::to_string(n);
    std::optional<double> values[ELASTIC_KEYS.size()];
    std::optional<double> strengths[STRENGTH_KEYS.size()];
    bool anyStrength = false;
    for (auto&& [key, node] : t) {
        const std::string k = printable(key.str());
        auto at = std::find_if(ELASTIC_KEYS.begin(), ELASTIC_KEYS.end(),
                               [&](const char* e) { return k == e; });
        if (elastic && at != ELASTIC_KEYS.end()) {
            std::size_t i = at - ELASTIC_KEYS.begin();
            values[i] = (k == "nu12" || k == "creep-fraction") ? check.single(node, k)
                                                                : check.positive(node, k);
            if (!values[i]) values[i] = 0.0;  // present, though bad: not also "missing"
            continue;
        }
        std::size_t i = std::find_if(STRENGTH_KEYS.begin(), STRENGTH_KEYS.end(),
                                     [&](const char* s) { return k == s; }) - STRENGTH_KEYS.begin();
        if (i < STRENGTH_KEYS.size()) {
            anyStrength = true;
            std::optional<double> v;
            if (k == "f12star" || k == "f12") {
                v = check.number(node, k);
            } else {
                v = check.positive(node, k);
            }
            if (k == "f12star" && v && !(std::fabs(*v) < 1)) {
                check.fail(node.source(), "f12star = " + general6(*v) +
                                              ": Tsai-Wu's normalised interaction must lie "
                                              "strictly between -1 and 1");
                v.reset();
            }
            strengths[i] = v ? v : std::optional<double>(std::nan(""));
            continue;
        }
        check.fail(key.source(),
                   "unknown key \"" + k + "\" in " + where + " (known: " +
                       (elastic ? knownList({"e1", "e2", "nu12", "g12", "thickness", "creep-fraction"},
                                            {"xt", "xc", "yt", "yc", "s"},
                                            {"f12star", "f12", "st", "e1t", "e1c", "e2t", "e2c", "g12u"})
                                : knownList({"xt", "xc", "yt", "yc", "s"},
                                            {"f12star", "f12", "st", "e1t", "e1c", "e2t", "e2c", "g12u"})) +
                       ")");
    }
    if (elastic) {
        for (std::size_t i : {0u, 1u, 2u, 4u})
            if (!values[i]) check.fail(set.line, where + " has no " + ELASTIC_KEYS[i]);
        if (values[0] && values[1] && values[2] && values[4]) {
            set.e1 = *values[0];
            set.e2 = *values[1];
            set.nu12 = *values[2];
            set.thickness = *values[4];
            set.creepFraction = values[5].value_or(0.0);
            set.g12Asked = set.e1 > 0 && g12Asked(set.e1, set.e2);
            if (set.g12Asked && !values[3])
                check.fail(set.line, where + " has no g12: the program asks it (its moduli "
                                             "differ by 0.1 % or more)");
            if (set.g12Asked) set.g12 = values[3];
        }
    }
    if (!anyStrength) return set;
    bool complete = true;
    std::string missing;
    for (std::size_t i = 0; i < REQUIRED_STRENGTHS; ++i)
        if (!strengths[i]) {
            complete = false;
            missing += (missing.empty() ? "" : ", ") + std::string(STRENGTH_KEYS[i]);
        }
    if (!complete) {
        check.fail(set.line, where + " has strengths but not " + missing +
                                 " (a set's strengths are xt, xc, yt, yc and s, all five)");
        return set;
    }
    for (const auto& v : strengths)
        if (v && std::isnan(*v)) return set;  // already reported
    Strengths s;
    s.xt = *strengths[0];
    s.xc = *strengths[1];
    s.yt = *strengths[2];
    s.yc = *strengths[3];
    s.s = *strengths[4];
    s.f12star = strengths[5];
    s.f12 = strengths[6];
    s.st = strengths[7];
    s.e1t = strengths[8];
    s.e1c = strengths[9];
    s.e2t = strengths[10];
    s.e2c = strengths[11];
    s.g12u = strengths[12];
    s.line = set.line;
    if (s.f12 && s.f12star) {
        check.fail(set.line, where + " gives both f12 and f12star: give one");
        return set;
    }
    // The interaction term must leave the Tsai-Wu surface closed: |F12| < sqrt(F11 F22),
    // as |F12*| < 1 does.
    if (s.f12 && !(std::fabs(*s.f12) < 1 / std::sqrt(s.xt * s.xc * s.yt * s.yc))) {
        check.fail(set.line, where + ": f12 = " + general6(*s.f12) +
                                 " must be less in magnitude than 1 / sqrt(xt xc yt yc) = " +
                                 general6(1 / std::sqrt(s.xt * s.xc * s.yt * s.yc)) +
                                 " (|f12star| < 1)");
        return set;
    }
    set.strengths = s;
    return set;
}

}  // namespace

bool g12Asked(double e1, double e2) {
    double a = static_cast<float>(e1), b = static_cast<float>(e2);
    return std::fabs((a - b) / a) >= static_cast<double>(0.001f);
}

std::optional<CaseFile> readCase(std::string_view text, const std::string& file, std::string& error) {
    toml::parse_result parsed = toml::parse(text, file);
    if (!parsed) {
        error = parseError(file, parsed.error());
        return std::nullopt;
    }
    const toml::table& top = parsed.table();
    Checker check(file);
    CaseFile c;
    c.file = file;
    const toml::node* sets = nullptr;
    const toml::node* plies = nullptr;
    const toml::node* loads = nullptr;
    const toml::node* relaxation = nullptr;
    const toml::node* answers = nullptr;
    for (auto&& [key, node] : top) {
        const std::string k = printable(key.str());
        std::string* field = k == "title" ? &c.title : k == "source" ? &c.source
                           : k == "description" ? &c.description : k == "derivation" ? &c.derivation
                           : nullptr;
        if (field) {
            if (auto s = check.text(node, k)) *field = *s;
        } else if (k == "answers") {
            answers = &node;
            if (auto s = check.text(node, k)) {
                if (s->empty()) check.fail(node.source(), "answers must name an answer file");
                c.answersFile = *s;
            }
        } else if (k == "relaxation-time") {
            relaxation = &node;
            if (auto v = check.single(node, k)) c.relaxationTime = *v;
        } else if (k == "set") {
            sets = &node;
        } else if (k == "ply") {
            plies = &node;
        } else if (k == "loads") {
            loads = &node;
        } else if (k == "expect") {
            int n = 0;
            for (const toml::table* t : check.tables(node, "expect")) {
                ++n;
                CaseExpect e;
                e.line = lineOf(*t);
                bool hasName = false, hasValue = false;
                for (auto&& [ekey, enode] : *t) {
                    const std::string ek = printable(ekey.str());
                    std::string* s = ek == "name" ? &e.name : ek == "where" ? &e.where
                                   : ek == "note" ? &e.note : ek == "explained" ? &e.explained
                                   : nullptr;
                    if (s) {
                        hasName |= ek == "name";
                        if (auto v = check.text(enode, ek)) *s = *v;
                    } else if (ek == "printed") {
                        e.printed = check.text(enode, ek);
                    } else if (ek == "value") {
                        hasValue = true;
                        if (auto v = check.number(enode, ek)) e.value = *v;
                    } else if (ek == "unit") {
                        if (auto v = check.number(enode, ek)) {
                            if (*v < 0) check.fail(enode.source(), "unit must not be negative");
                            e.unit = *v;
                        }
                    } else if (ek == "structural-zero") {
                        if (auto v = check.boolean(enode, ek)) e.structuralZero = *v;
                    } else {
                        check.fail(ekey.source(), "unknown key \"" + ek + "\" in [[expect]] " +
                                                      std::to_string(n) + " (known: " +
                                                      knownList({"name", "value", "printed", "unit",
                                                                 "where", "note", "explained",
                                                                 "structural-zero"}) + ")");
                    }
                }
                if (!hasName || !hasValue)
                    check.fail(e.line, "[[expect]] " + std::to_string(n) + " needs name and value");
                else if (e.name.empty())
                    check.fail(e.line, "[[expect]] " + std::to_string(n) + " has an empty name");
                c.expect.push_back(std::move(e));
            }
        } else {
            check.fail(key.source(), "unknown key \"" + k + "\" (known: " +
                                         knownList({"title", "source", "description", "derivation",
                                                    "relaxation-time", "answers"},
                                                   {"set", "ply", "loads", "expect"}) + ")");
        }
    }
    const bool own = answers == nullptr;  // the case gives its own sets, plies and loads
    if (!own) {
        for (const toml::node* n : {plies, loads, relaxation})
            if (n)
                check.fail(n->source(), "a case that names an answer file gives no " +
                                            std::string(n == plies ? "[[ply]]" : n == loads
                                                                        ? "[loads]" : "relaxation-time") +
                                            ": its answer file holds them");
    }
    if (sets) {
        int n = 0;
        for (const toml::table* t : check.tables(*sets, "set")) {
            ++n;
            if (n == CASE_MAX_SETS + 1)
                check.fail(lineOf(*t), "more than " + std::to_string(CASE_MAX_SETS) +
                                           " [[set]]: the program takes ten material sets");
            c.sets.push_back(readSet(check, *t, n, own));
        }
    }
    if (own && c.sets.empty())
        check.fail(sets ? lineOf(*sets) : 1, "no [[set]]: a laminate needs a material set");
    if (own && plies) {
        int n = 0;
        for (const toml::table* t : check.tables(*plies, "ply")) {
            ++n;
            CasePly p;
            p.line = lineOf(*t);
            if (n == CASE_MAX_PLIES + 1)
                check.fail(p.line, "more than " + std::to_string(CASE_MAX_PLIES) +
                                       " [[ply]]: the program takes twenty plies");
            bool hasSet = false;
            for (auto&& [pkey, pnode] : *t) {
                const std::string pk = printable(pkey.str());
                if (pk == "set") {
                    hasSet = true;
                    const auto* i = pnode.as_integer();
                    if (i == nullptr) {
                        check.fail(pnode.source(), "set must be an integer (a set number), not " +
                                                       std::string(typeName(pnode.type())));
                    } else if (i->get() < 1 || i->get() > static_cast<std::int64_t>(c.sets.size())) {
                        check.fail(pnode.source(), "[[ply]] " + std::to_string(n) + ": set " +
                                                       std::to_string(i->get()) +
                                                       " is not defined (the case defines " +
                                                       std::to_string(c.sets.size()) + " [[set]])");
                    } else {
                        p.set = static_cast<int>(i->get());
                    }
                } else if (pk == "angle") {
                    if (auto v = check.single(pnode, pk)) p.angle = *v;
                } else {
                    check.fail(pkey.source(), "unknown key \"" + pk + "\" in [[ply]] " +
                                                  std::to_string(n) + " (known: set, angle)");
                }
            }
            if (!hasSet) check.fail(p.line, "[[ply]] " + std::to_string(n) + " has no set");
            c.plies.push_back(p);
        }
    }
    if (own && c.plies.empty())
        check.fail(plies ? lineOf(*plies) : 1, "no [[ply]]: a laminate needs at least one ply");
    if (own && loads) {
        if (const toml::table* t = loads->as_table()) {
            for (auto&& [lkey, lnode] : *t) {
                const std::string lk = printable(lkey.str());
                auto at = std::find_if(CASE_LOAD_KEYS.begin(), CASE_LOAD_KEYS.end(),
                                       [&](const char* l) { return lk == l; });
                if (at == CASE_LOAD_KEYS.end())
                    check.fail(lkey.source(), "unknown key \"" + lk +
                                                  "\" in [loads] (known: nx, ny, nxy, mx, my, mxy)");
                else if (auto v = check.single(lnode, lk))
                    c.loads[at - CASE_LOAD_KEYS.begin()] = *v;
            }
        } else {
            check.fail(loads->source(), "loads must be a table [loads], not " +
                                            std::string(typeName(loads->type())));
        }
    }
    if (!check.ok()) {
        error = check.message();
        return std::nullopt;
    }
    for (std::size_t n = 0; own && n < c.sets.size(); ++n) {
        const CaseSet& s = c.sets[n];
        if (s.g12Asked) continue;
        if (auto given = top["set"][n]["g12"].value<double>())
            c.notes.push_back("Set " + std::to_string(n + 1) +
                              ": the moduli differ by less than 0.1%, so the program does not ask "
                              "the shear modulus given (" + general6(*given) + ") and takes "
                              "E1 / (2 (1 + nu12)) = " + general6(s.e1 / (2 * (1 + s.nu12))) +
                              " instead.");
    }
    return c;
}

std::optional<StrengthsFile> readStrengths(std::string_view text, const std::string& file,
                                           std::string& error) {
    toml::parse_result parsed = toml::parse(text, file);
    if (!parsed) {
        error = parseError(file, parsed.error());
        return std::nullopt;
    }
    Checker check(file);
    StrengthsFile f;
    f.file = file;
    for (auto&& [key, node] : parsed.table()) {
        const std::string k = printable(key.str());
        if (k == "title" || k == "source" || k == "description") {
            check.text(node, k);
        } else if (k == "set") {
            int n = 0;
            for (const toml::table* t : check.tables(node, "set")) {
                if (++n == CASE_MAX_SETS + 1)
                    check.fail(lineOf(*t), "more than " + std::to_string(CASE_MAX_SETS) +
                                               " [[set]]: the program takes ten material sets");
                f.sets.push_back(readSet(check, *t, n, false));
            }
        } else {
            check.fail(key.source(), "unknown key \"" + k +
                                         "\" in a strengths file (known: title, source, "
                                         "description, set)");
        }
    }
    if (check.ok() && f.sets.empty()) check.fail(1, "no [[set]]: a strengths file gives [[set]] tables");
    if (!check.ok()) {
        error = check.message();
        return std::nullopt;
    }
    return f;
}

std::string answerNumber(double v) {
    if (v == std::floor(v) && std::fabs(v) < 1e15) return std::to_string(static_cast<long long>(v));
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    std::string s(buf, r.ptr);
    std::size_t e = s.find('e');
    int exponent = std::stoi(s.substr(e + 1));
    if (exponent < -4 || exponent >= 16) return s;
    std::string sign = s[0] == '-' ? "-" : "";
    std::string digits;
    for (std::size_t i = sign.size(); i < e; ++i)
        if (s[i] != '.') digits += s[i];
    if (exponent < 0) return sign + "0." + std::string(-exponent - 1, '0') + digits;
    if (digits.size() <= static_cast<std::size_t>(exponent) + 1)
        return sign + digits + std::string(exponent + 1 - digits.size(), '0') + ".0";
    return sign + digits.substr(0, exponent + 1) + "." + digits.substr(exponent + 1);
}

std::string caseAnswers(const CaseFile& c) {
    if (!c.answersFile.empty()) return "";
    std::string out;
    auto line = [&](double v) { out += answerNumber(v) + "\n"; };
    for (const CaseSet& s : c.sets) {
        line(s.e1);
        line(s.e2);
        line(s.nu12);
        if (s.g12) line(*s.g12);
        line(s.thickness);
        line(s.creepFraction);
    }
    if (c.sets.size() < CASE_MAX_SETS) line(-1);
    for (const CasePly& p : c.plies) {
        out += std::to_string(p.set) + "\n";
        line(p.angle);
    }
    if (c.plies.size() < CASE_MAX_PLIES) line(-1);
    for (double v : c.loads) line(v);
    line(c.relaxationTime);
    return out;
}

std::vector<std::optional<Strengths>> caseStrengths(const std::vector<CaseSet>& sets) {
    std::vector<std::optional<Strengths>> out;
    for (const CaseSet& s : sets) out.push_back(s.strengths);
    return out;
}

std::string missingStrengths(const std::string& file, const std::vector<CaseSet>& sets,
                             const std::vector<int>& plySets) {
    for (std::size_t k = 0; k < plySets.size(); ++k) {
        int m = plySets[k];
        if (m >= 1 && static_cast<std::size_t>(m) <= sets.size() && sets[m - 1].strengths) continue;
        bool listed = m >= 1 && static_cast<std::size_t>(m) <= sets.size();
        int line = listed ? sets[m - 1].line : sets.empty() ? 1 : sets.back().line;
        return file + ":" + std::to_string(line < 1 ? 1 : line) + ": set " + std::to_string(m) +
               " (of ply " + std::to_string(k + 1) + ") has no strengths" +
               (listed ? ": give xt, xc, yt, yc and s in its [[set]]"
                       : ": the file has " + std::to_string(sets.size()) + " [[set]]");
    }
    return "";
}

}  // namespace kit
