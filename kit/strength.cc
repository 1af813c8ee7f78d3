#include "kit/strength.h"

#include <charconv>
#include <cmath>

#include "kit/case_file.h"
#include "kit/render.h"

namespace kit {

std::string fiveDigits(double v) {
    char buf[48];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 5);
    return std::string(buf, r.ptr);
}

Quantity strengthQuantity(std::string name, std::optional<double> value, std::string text) {
    Quantity q;
    q.name = std::move(name);
    q.kind = QuantityKind::Derived;
    q.table = "strength";
    q.value = value;
    q.text = !text.empty() ? std::move(text) : value ? shortest(*value) : "";
    return q;
}

std::string checkStrengthsCover(const Laminate& lam, const SetStrengths& strengths) {
    for (std::size_t k = 0; k < lam.plies.size(); ++k) {
        const int m = lam.plies[k].set;
        if (m > static_cast<int>(strengths.size()) || !strengths[m - 1])
            return "material set " + std::to_string(m) + " (of ply " + std::to_string(k + 1) +
                   ") has no strengths";
    }
    return "";
}

std::vector<std::array<std::vector<Failure>, 3>> plyFailures(
    const Laminate& lam, const SetStrengths& strengths, const std::vector<PlyState>& states,
    const std::vector<Criterion>& criteria) {
    std::vector<std::array<std::vector<Failure>, 3>> out(states.size());
    for (std::size_t k = 0; k < states.size(); ++k) {
        const int m = lam.plies[k].set;
        const Allowables a = allowablesOf(*strengths[m - 1], lam.sets[m - 1]);
        for (int f = 0; f < 3; ++f) {
            const FaceLoad load{states[k].faces[f].sigma, states[k].faces[f].eps};
            for (Criterion c : criteria) out[k][f].push_back(strengthRatio(c, a, load));
        }
    }
    return out;
}

FirstPly firstPlyOf(const std::vector<std::array<std::vector<Failure>, 3>>& failures, std::size_t i) {
    FirstPly first;
    for (std::size_t k = 0; k < failures.size(); ++k)
        for (int f = 0; f < 3; ++f) {
            const Failure& x = failures[k][f][i];
            // Within a millionth counts as a tie (symmetric plies differ by the single-precision
            // noise of a printed curvature): the first ply and face keep it.
            if (x.factor && (!first.failure.factor || *x.factor < *first.failure.factor * (1 - 1e-6))) {
                first.failure = x;
                first.ply = static_cast<int>(k + 1);
                first.face = static_cast<Face>(f);
            }
        }
    return first;
}

FirstPly firstPlyFailure(const Laminate& lam, const SetStrengths& strengths, Criterion c,
                         const std::vector<PlyState>& scaled, const std::vector<PlyState>* base) {
    std::vector<std::array<std::vector<Failure>, 3>> failures(scaled.size());
    for (std::size_t k = 0; k < scaled.size(); ++k) {
        const int m = lam.plies[k].set;
        const Allowables a = allowablesOf(*strengths[m - 1], lam.sets[m - 1]);
        for (int f = 0; f < 3; ++f) {
            FaceLoad fixed;
            if (base) fixed = FaceLoad{(*base)[k].faces[f].sigma, (*base)[k].faces[f].eps};
            failures[k][f].push_back(
                failureFactor(c, a, fixed, FaceLoad{scaled[k].faces[f].sigma, scaled[k].faces[f].eps}));
        }
    }
    return firstPlyOf(failures, 0);
}

void appendFaceQuantities(std::vector<Quantity>& out, std::size_t k, Face face, const FaceState& state) {
    static const char* const stressNames[3] = {"sigma-1", "sigma-2", "sigma-12"};
    static const char* const strainNames[3] = {"eps-1", "eps-2", "gamma-12"};
    const std::string base = "ply[" + std::to_string(k + 1) + "]." + FACE_NAMES[face] + ".";
    for (int i = 0; i < 3; ++i) out.push_back(strengthQuantity(base + stressNames[i], state.sigma[i]));
    for (int i = 0; i < 3; ++i) out.push_back(strengthQuantity(base + strainNames[i], state.eps[i]));
}

FaceStresses faceStressesOf(const Results& results, const Laminate& lam) {
    FaceStresses out;
    DerivedStresses derived = deriveStresses(results, lam);
    if (!derived.ok()) {
        out.error = derived.error;
        return out;
    }
    out.quantities.reserve(derived.plies.size() * 3 * 6);
    for (std::size_t k = 0; k < derived.plies.size(); ++k)
        for (int f = 0; f < 3; ++f) appendFaceQuantities(out.quantities, k, static_cast<Face>(f), derived.plies[k].faces[f]);
    return out;
}

StrengthReport strengthOf(const Results& results, const Laminate& lam,
                          const SetStrengths& strengths, const StrengthOptions& options) {
    StrengthReport rep;
    rep.criteria = options.criteria;
    rep.factor = options.factor;
    rep.loads = lam.loads;
    rep.error = checkStrengthsCover(lam, strengths);
    if (!rep.ok()) return rep;
    DerivedStresses derived = deriveStresses(results, lam);
    if (!derived.ok()) {
        rep.error = derived.error;
        return rep;
    }
    rep.plies = derived.plies;
    rep.failures = plyFailures(lam, strengths, rep.plies, rep.criteria);
    for (std::size_t i = 0; i < rep.criteria.size(); ++i) rep.firstPly.push_back(firstPlyOf(rep.failures, i));

    auto& qs = rep.quantities;
    // Reserved at once: a quantity holds several strings, and regrowing moves them all.
    qs.reserve(rep.plies.size() * 3 * (6 + 3 * rep.criteria.size()) + rep.criteria.size() * 11 +
               lam.sets.size() * 6);
    for (std::size_t k = 0; k < rep.plies.size(); ++k)
        for (int f = 0; f < 3; ++f) {
            const std::string base = "ply[" + std::to_string(k + 1) + "]." + FACE_NAMES[f] + ".";
            appendFaceQuantities(qs, k, static_cast<Face>(f), rep.plies[k].faces[f]);
            for (std::size_t i = 0; i < rep.criteria.size(); ++i) {
                const Failure& x = rep.failures[k][f][i];
                const std::string name = base + criterionName(rep.criteria[i]);
                if (x.factor) {
                    qs.push_back(strengthQuantity(name, *x.factor));
                    qs.push_back(strengthQuantity(name + ".index", 1 / *x.factor));
                } else {
                    qs.push_back(strengthQuantity(name, std::nullopt, "infinite"));
                    qs.push_back(strengthQuantity(name + ".index", 0.0));
                }
                qs.push_back(strengthQuantity(name + ".mode", std::nullopt, x.factor ? modeName(x.mode) : "none"));
            }
        }
    for (std::size_t i = 0; i < rep.criteria.size(); ++i) {
        const FirstPly& fp = rep.firstPly[i];
        const std::string base = std::string("first-ply.") + criterionName(rep.criteria[i]);
        if (!fp.failure.factor) {
            qs.push_back(strengthQuantity(base, std::nullopt, "infinite"));
            continue;
        }
        const double r = *fp.failure.factor;
        qs.push_back(strengthQuantity(base, r));
        qs.push_back(strengthQuantity(base + ".ply", fp.ply));
        qs.push_back(strengthQuantity(base + ".face", std::nullopt, FACE_NAMES[fp.face]));
        qs.push_back(strengthQuantity(base + ".mode", std::nullopt, modeName(fp.failure.mode)));
        for (int j = 0; j < 6; ++j) qs.push_back(strengthQuantity(base + "." + LOAD_NAMES[j], r * lam.loads[j]));
        if (options.factor) qs.push_back(strengthQuantity(base + ".margin", r / *options.factor - 1));
    }
    // Tsai-Wu's coefficients of each set the layup uses.
    for (std::size_t m = 1; m <= lam.sets.size(); ++m) {
        bool used = false;
        for (const LayupPly& p : lam.plies) used = used || p.set == static_cast<int>(m);
        if (!used) continue;
        const Allowables a = allowablesOf(*strengths[m - 1], lam.sets[m - 1]);
        const std::string base = "set[" + std::to_string(m) + "].tsai-wu.";
        const std::pair<const char*, double> coefficients[] = {
            {"F1", a.f1}, {"F2", a.f2}, {"F11", a.f11}, {"F22", a.f22}, {"F66", a.f66}, {"F12", a.f12}};
        for (const auto& [name, v] : coefficients) qs.push_back(strengthQuantity(base + name, v));
    }
    for (Quantity& q : qs) q.note = "derived";
    return rep;
}

void addCaseStrength(Results& results, std::string_view caseText, const std::string& caseFile) {
    std::string error;
    std::optional<CaseFile> c = readCase(caseText, caseFile, error);
    if (!c) return;  // the case's answers were refused already
    SetStrengths strengths = caseStrengths(c->sets);
    bool any = false;
    for (const auto& s : strengths) any = any || s.has_value();
    if (!any) return;
    std::string why;
    std::optional<Laminate> lam = laminateOf(results, why);
    if (lam) {
        StrengthReport rep = strengthOf(results, *lam, strengths, StrengthOptions{});
        why = rep.error;
        for (Quantity& q : rep.quantities) results.quantities.push_back(std::move(q));
    }
    if (!why.empty()) results.warnings.push_back(caseFile + ": no strength numbers: " + why);
}

namespace {

// "[N]" (N from 1, no leading zero) at the start of `s`: what follows it, or nullopt.
std::optional<std::string_view> afterIndex(std::string_view s) {
    const std::size_t close = s.find(']');
    if (s.empty() || s[0] != '[' || close == std::string_view::npos || close < 2 || close > 10 || s[1] == '0')
        return std::nullopt;
    for (std::size_t i = 1; i < close; ++i)
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
    return s.substr(close + 1);
}

// "CRITERION" or "CRITERION.FIELD" with FIELD one of `fields`.
bool criterionWith(std::string_view s, std::initializer_list<std::string_view> fields) {
    const std::size_t dot = s.find('.');
    if (!criterionNamed(s.substr(0, dot))) return false;
    if (dot == std::string_view::npos) return true;
    for (std::string_view f : fields)
        if (s.substr(dot + 1) == f) return true;
    return false;
}

}  // namespace

bool isStrengthQuantityName(std::string_view name) {
    auto starts = [&](std::string_view prefix) {
        if (name.substr(0, prefix.size()) != prefix) return false;
        name.remove_prefix(prefix.size());
        return true;
    };
    if (starts("first-ply."))
        return criterionWith(name, {"ply", "face", "mode", "nx", "ny", "nxy", "mx", "my", "mxy", "margin"});
    if (starts("last-ply.")) return criterionWith(name, {"nx", "ny", "nxy", "mx", "my", "mxy", "steps", "runs"});
    if (starts("set")) {
        std::optional<std::string_view> rest = afterIndex(name);
        for (std::string_view c : {".tsai-wu.F1", ".tsai-wu.F2", ".tsai-wu.F11", ".tsai-wu.F22", ".tsai-wu.F66",
                                   ".tsai-wu.F12"})
            if (rest && *rest == c) return true;
        return false;
    }
    if (!starts("ply")) return false;
    std::optional<std::string_view> rest = afterIndex(name);
    if (!rest) return false;
    for (const char* face : FACE_NAMES) {
        const std::string head = std::string(".") + face + ".";
        if (rest->substr(0, head.size()) != head) continue;
        const std::string_view field = rest->substr(head.size());
        for (std::string_view q : {"sigma-1", "sigma-2", "sigma-12", "eps-1", "eps-2", "gamma-12"})
            if (field == q) return true;
        return criterionWith(field, {"index", "mode"});
    }
    return false;
}

namespace {

std::string pad(const std::string& s, std::size_t width, bool left = false) {
    if (s.size() >= width) return s;
    return left ? s + std::string(width - s.size(), ' ') : std::string(width - s.size(), ' ') + s;
}

const char* modeCode(Mode m) {
    switch (m) {
    case Mode::FibreTension: return "FT";
    case Mode::FibreCompression: return "FC";
    case Mode::MatrixTension: return "MT";
    case Mode::MatrixCompression: return "MC";
    case Mode::Shear: return "S";
    case Mode::None: return "";
    }
    return "";
}

}  // namespace

std::string strengthText(const StrengthReport& rep) {
    std::string out = "Stresses and strains in the plies' material axes (derived from the printed "
                      "strains and curvatures)\n\n";
    out += "ply face          z" + pad("sigma-1", 12) + pad("sigma-2", 12) + pad("sigma-12", 12) +
           pad("eps-1", 12) + pad("eps-2", 12) + pad("gamma-12", 12) + "\n";
    for (std::size_t k = 0; k < rep.plies.size(); ++k)
        for (int f = 0; f < 3; ++f) {
            const FaceState& face = rep.plies[k].faces[f];
            out += pad(std::to_string(k + 1), 3) + " " + pad(FACE_NAMES[f], 6, true) + pad(fiveDigits(face.z), 11);
            for (int i = 0; i < 3; ++i) out += pad(fiveDigits(face.sigma[i]), 12);
            for (int i = 0; i < 3; ++i) out += pad(fiveDigits(face.eps[i]), 12);
            out += "\n";
        }
    out += "\nStrength ratio R (the factor on all loads at failure; failure index 1/R) and mode\n"
           "(FT fibre tension, FC fibre compression, MT matrix tension, MC matrix compression, "
           "S shear)\n\n";
    out += "ply face  ";
    for (Criterion c : rep.criteria) out += pad(criterionName(c), 15);
    out += "\n";
    for (std::size_t k = 0; k < rep.plies.size(); ++k)
        for (int f = 0; f < 3; ++f) {
            out += pad(std::to_string(k + 1), 3) + " " + pad(FACE_NAMES[f], 6, true);
            for (const Failure& x : rep.failures[k][f])
                out += pad(x.factor ? fiveDigits(*x.factor) + " " + pad(modeCode(x.mode), 2, true)
                                    : std::string("infinite   "),
                           15);
            out += "\n";
        }
    out += "\nFirst-ply failure\n\n";
    out += pad("criterion", 10, true) + pad("R", 12) + pad("ply", 5) + "  " + pad("face", 7, true) +
           pad("mode", 19, true);
    for (const char* load : LOAD_NAMES) out += pad(load, 12);
    if (rep.factor) out += pad("margin", 12);
    out += "\n";
    for (std::size_t i = 0; i < rep.criteria.size(); ++i) {
        const FirstPly& fp = rep.firstPly[i];
        out += pad(criterionName(rep.criteria[i]), 10, true);
        if (!fp.failure.factor) {
            out += pad("infinite", 12) + "  (no load factor reaches the failure surface)\n";
            continue;
        }
        const double r = *fp.failure.factor;
        out += pad(fiveDigits(r), 12) + pad(std::to_string(fp.ply), 5) + "  " + pad(FACE_NAMES[fp.face], 7, true) +
               pad(modeName(fp.failure.mode), 19, true);
        for (double load : rep.loads) out += pad(fiveDigits(r * load), 12);
        if (rep.factor) out += pad(fiveDigits(r / *rep.factor - 1), 12);
        out += "\n";
    }
    return out;
}

}  // namespace kit
