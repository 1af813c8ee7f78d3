#include "kit/discount.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "kit/case_file.h"
#include "kit/criteria.h"
#include "kit/ply_stress.h"
#include "kit/strength.h"
#include "kit/envelope.h"
#include "kit/render.h"

namespace kit {

Discount startDiscount(Criterion criterion, std::size_t plies) {
    Discount d;
    d.criterion = criterion;
    d.plies.assign(plies, PlyCondition::Intact);
    return d;
}

std::optional<Laminate> degradedLaminate(const Laminate& original, const Discount& d,
                                         const SetStrengths& strengths, SetStrengths& extended,
                                         std::string& why) {
    Laminate lam = original;
    extended = strengths;
    extended.resize(original.sets.size());
    // One degraded set for each (set, condition) that a failed ply needs, in ply order.
    std::vector<std::pair<int, PlyCondition>> made;
    for (std::size_t k = 0; k < lam.plies.size(); ++k) {
        const PlyCondition cond = d.plies[k];
        if (cond == PlyCondition::Intact) continue;
        const int m = original.plies[k].set;
        auto at = std::find(made.begin(), made.end(), std::make_pair(m, cond));
        if (at == made.end()) {
            const MaterialSet& s = original.sets[m - 1];
            MaterialSet g = s;
            if (cond == PlyCondition::FibreFailed) g.e1 = s.e1 * DISCOUNT_FACTOR;
            g.e2 = s.e2 * DISCOUNT_FACTOR;
            g.g12 = s.g12 * DISCOUNT_FACTOR;
            g.g12Derived = !g12Asked(g.e1, g.e2);
            // Where the program does not ask G12 it takes e1 / (2 (1 + nu12)): only right
            // when that is the degraded G12.
            if (g.g12Derived && std::fabs(g.e1 / ((g.nu12 + 1.0) * 2.0) - g.g12) > 1e-6 * g.g12) {
                why = "the degraded copy of material set " + std::to_string(m) +
                      " has moduli within 0.1 % of each other, so the program would not take "
                      "its shear modulus";
                return std::nullopt;
            }
            if (lam.sets.size() >= 10) {
                why = "the program's ten material sets run out: the answers have " +
                      std::to_string(original.sets.size()) + " and the failed plies need " +
                      std::to_string(made.size() + 1) + " or more degraded copies";
                return std::nullopt;
            }
            lam.sets.push_back(g);
            extended.push_back(strengths[m - 1]);
            made.emplace_back(m, cond);
            at = made.end() - 1;
        }
        lam.plies[k].set = static_cast<int>(original.sets.size() + (at - made.begin()) + 1);
    }
    return lam;
}

double loadWork(const std::array<double, 6>& loads, const std::array<double, 6>& e) {
    double w = 0;
    for (int i = 0; i < 6; ++i) w += loads[i] * e[i];
    return w;
}

void advanceDiscount(Discount& d, const Laminate& degraded, const SetStrengths& extended,
                     const std::vector<PlyState>& states, double work, const std::vector<PlyState>* base) {
    const bool failedBefore = !d.steps.empty();
    if (!d.intactWork) d.intactWork = work;
    if (failedBefore && std::fabs(work) > COLLAPSE * std::fabs(*d.intactWork)) {
        d.finished = true;
        d.lastPly = d.loadFactor;
        d.stop = "the laminate's stiffness against the loads is no more than its failed plies' (its "
                 "deformation under them " + shortest(COLLAPSE) + " times the intact laminate's)";
        return;
    }
    struct Candidate {
        int ply;
        Face face;
        Failure failure;
    };
    std::vector<Candidate> candidates;
    for (std::size_t k = 0; k < states.size(); ++k) {
        if (d.plies[k] == PlyCondition::FibreFailed) continue;
        const int m = degraded.plies[k].set;
        const Allowables a = allowablesOf(*extended[m - 1], degraded.sets[m - 1]);
        std::optional<Candidate> best;
        for (int f = 0; f < 3; ++f) {
            FaceLoad load{states[k].faces[f].sigma, states[k].faces[f].eps};
            FaceLoad fixed;
            if (base) fixed = FaceLoad{(*base)[k].faces[f].sigma, (*base)[k].faces[f].eps};
            if (d.plies[k] == PlyCondition::MatrixFailed) {
                // Only its fibres carry load: the transverse and shear parts are not held.
                load.sigma[1] = load.sigma[2] = fixed.sigma[1] = fixed.sigma[2] = 0;
                load.eps[1] = load.eps[2] = fixed.eps[1] = fixed.eps[2] = 0;
            }
            Failure x = failureFactor(d.criterion, a, fixed, load);
            if (x.factor && (!best || *x.factor < *best->failure.factor * (1 - 1e-6)))  // ties: the first face
                best = Candidate{static_cast<int>(k + 1), static_cast<Face>(f), x};
        }
        if (best) candidates.push_back(*best);
    }
    if (candidates.empty()) {
        d.finished = true;
        if (failedBefore) {
            d.lastPly = d.loadFactor;
            d.stop = "no ply that still carries load fails at any factor";
        } else {
            d.stop = "no load factor makes any ply fail";
        }
        return;
    }
    double least = INFINITY;
    for (const Candidate& c : candidates) least = std::min(least, *c.failure.factor);
    DiscountStep step;
    step.loadFactor = std::max(d.loadFactor, least);
    step.sets = static_cast<int>(degraded.sets.size());
    for (const Candidate& c : candidates) {
        if (*c.failure.factor > least * (1 + 1e-6)) continue;
        step.plies.push_back(c.ply);
        step.modes.push_back(c.failure.mode);
        step.faces.push_back(c.face);
        PlyCondition& cond = d.plies[c.ply - 1];
        cond = isFibreMode(c.failure.mode) ? PlyCondition::FibreFailed : PlyCondition::MatrixFailed;
    }
    d.loadFactor = step.loadFactor;
    d.steps.push_back(step);
    if (std::all_of(d.plies.begin(), d.plies.end(), [](PlyCondition c) { return c == PlyCondition::FibreFailed; })) {
        d.finished = true;
        d.lastPly = d.loadFactor;
        d.stop = "every ply has failed in a fibre mode";
    }
}

DiscountRun discountByRuns(const RunProgram& program, const Laminate& laminate, const SetStrengths& strengths,
                           Criterion criterion, const std::optional<std::array<double, 6>>& fixed) {
    DiscountRun out;
    out.discount = startDiscount(criterion, laminate.plies.size());
    const bool withBase = fixed && anyLoad(*fixed);
    while (!out.discount.finished) {
        SetStrengths extended;
        std::string why;
        std::optional<Laminate> degraded = degradedLaminate(laminate, out.discount, strengths, extended, why);
        if (!degraded) {
            out.discount.stop = why;
            return out;
        }
        std::optional<DerivedStresses> base;
        if (withBase) {
            Laminate alone = *degraded;
            alone.loads = *fixed;
            ++out.runs;
            base = laminateRun(program, alone, why);
            if (!base) {
                out.error = why;
                return out;
            }
            for (std::size_t i = 0; i < 6; ++i) degraded->loads[i] += (*fixed)[i];
        }
        ++out.runs;
        std::optional<DerivedStresses> run = laminateRun(program, *degraded, why);
        if (!run) {
            out.error = why;
            return out;
        }
        if (base) {  // the scaled loads' own part: the run's less the fixed loads'
            for (std::size_t k = 0; k < run->plies.size(); ++k)
                for (int f = 0; f < 3; ++f)
                    for (int i = 0; i < 3; ++i) {
                        run->plies[k].faces[f].sigma[i] -= base->plies[k].faces[f].sigma[i];
                        run->plies[k].faces[f].eps[i] -= base->plies[k].faces[f].eps[i];
                    }
            for (int i = 0; i < 6; ++i) run->deformation[i] -= base->deformation[i];
        }
        advanceDiscount(out.discount, *degraded, extended, run->plies,
                        loadWork(laminate.loads, run->deformation), base ? &base->plies : nullptr);
    }
    return out;
}

std::string discountText(const DiscountRun& run) {
    const Discount& d = run.discount;
    std::string out = std::string("\nLast-ply failure by ply discount, ") + criterionName(d.criterion) +
                      " (a failed ply's E2 and G12, or after a fibre failure all its moduli, times " +
                      shortest(DISCOUNT_FACTOR) + ")\n\n step  load factor  sets  plies failed (mode, face)\n";
    for (std::size_t s = 0; s < d.steps.size(); ++s) {
        const DiscountStep& step = d.steps[s];
        char head[64];
        std::snprintf(head, sizeof head, "%5zu %12s %5d  ", s + 1, fiveDigits(step.loadFactor).c_str(), step.sets);
        out += head;
        for (std::size_t i = 0; i < step.plies.size(); ++i)
            out += (i ? ", " : "") + std::to_string(step.plies[i]) + " (" + modeName(step.modes[i]) + ", " +
                   FACE_NAMES[step.faces[i]] + ")";
        out += "\n";
    }
    out += std::string("last-ply ") + criterionName(d.criterion) + ": ";
    if (!run.error.empty()) out += "not found: " + run.error;
    else if (d.lastPly) out += "R = " + fiveDigits(*d.lastPly) + " (" + d.stop + ")";
    else out += "not reached: " + d.stop;
    out += "; " + std::to_string(run.runs) + " run(s) of the program\n";
    return out;
}

std::vector<Quantity> discountQuantities(const DiscountRun& run, const Laminate& laminate) {
    const Discount& d = run.discount;
    const std::string base = std::string("last-ply.") + criterionName(d.criterion);
    std::vector<Quantity> qs;
    if (d.lastPly) {
        qs.push_back(strengthQuantity(base, *d.lastPly));
        for (int j = 0; j < 6; ++j) qs.push_back(strengthQuantity(base + "." + LOAD_NAMES[j], *d.lastPly * laminate.loads[j]));
    } else {
        qs.push_back(strengthQuantity(base, std::nullopt, "not reached"));
    }
    qs.push_back(strengthQuantity(base + ".steps", static_cast<double>(d.steps.size())));
    qs.push_back(strengthQuantity(base + ".runs", run.runs));
    qs.front().note = run.error.empty() ? d.stop : run.error;
    for (std::size_t i = 1; i < qs.size(); ++i) qs[i].note = "derived";
    return qs;
}

void addLastPly(Results& results, std::string_view caseText, const std::string& caseFile,
                const std::vector<std::string>& wanted, const RunProgram& run) {
    std::vector<Criterion> criteria;
    for (const std::string& name : wanted) {
        constexpr std::string_view PREFIX = "last-ply.";
        if (name.compare(0, PREFIX.size(), PREFIX) != 0) continue;
        std::string_view rest = std::string_view(name).substr(PREFIX.size());
        auto c = criterionNamed(rest.substr(0, rest.find('.')));
        if (c && std::find(criteria.begin(), criteria.end(), *c) == criteria.end()) criteria.push_back(*c);
    }
    if (criteria.empty()) return;
    std::string error, why;
    std::optional<CaseFile> c = readCase(caseText, caseFile, error);
    std::optional<Laminate> lam = c ? laminateOf(results, why) : std::nullopt;
    if (!lam) return;
    SetStrengths strengths = caseStrengths(c->sets);
    if (!checkStrengthsCover(*lam, strengths).empty()) return;
    for (Criterion criterion : criteria) {
        DiscountRun d = discountByRuns(run, *lam, strengths, criterion);
        for (Quantity& q : discountQuantities(d, *lam)) results.quantities.push_back(std::move(q));
    }
}

}  // namespace kit
