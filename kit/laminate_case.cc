#include "kit/laminate_case.h"

#include "kit/render.h"

namespace kit {

std::optional<Laminate> laminateOfCase(const CaseFile& c) {
    if (!c.answersFile.empty() || c.plies.empty()) return std::nullopt;
    Laminate lam;
    for (const CaseSet& s : c.sets) {
        MaterialSet m{s.e1, s.e2, s.nu12, 0, s.thickness, s.creepFraction, !s.g12Asked};
        m.g12 = s.g12Asked && s.g12 ? *s.g12 : s.e1 / ((s.nu12 + 1.0) * 2.0);
        lam.sets.push_back(m);
    }
    for (const CasePly& p : c.plies) lam.plies.push_back({p.set, p.angle});
    lam.loads = c.loads;
    lam.relaxationTime = c.relaxationTime;
    return lam;
}

std::string laminateAnswers(const Laminate& lam) {
    CaseFile c;
    for (const MaterialSet& m : lam.sets) {
        CaseSet s;
        s.e1 = m.e1, s.e2 = m.e2, s.nu12 = m.nu12, s.thickness = m.thickness;
        s.creepFraction = m.creepFraction;
        s.g12Asked = g12Asked(m.e1, m.e2);
        if (s.g12Asked) s.g12 = m.g12;
        c.sets.push_back(s);
    }
    for (const LayupPly& p : lam.plies) c.plies.push_back({0, p.set, p.angle});
    c.loads = lam.loads;
    c.relaxationTime = lam.relaxationTime;
    return caseAnswers(c);
}

std::optional<DerivedStresses> laminateRun(const RunProgram& program, const Laminate& laminate, std::string& error) {
    ProgramRun run = program(laminateAnswers(laminate));
    if (!run.error.empty()) {
        error = run.error;
        return std::nullopt;
    }
    Results r = readResults("(run)", run.out, run.err, run.status);
    if (!r.ok() || r.end.report || !r.find("ply[1].sigma-1")) {
        error = "the program's run ended " +
                (r.end.report ? "in the report \"" + oneLine(*r.end.report) + "\"" : r.end.where);
        return std::nullopt;
    }
    // The inputs are known here, not paired: the check of the printed stresses uses them.
    DerivedStresses d = deriveStresses(r, laminate);
    if (!d.ok()) {
        error = d.error;
        return std::nullopt;
    }
    return d;
}

}  // namespace kit
