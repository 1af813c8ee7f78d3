// lamvis2-kit envelope CASE | --answers A --strengths S --plane nx,ny [--points 72]
//   [--criteria C] [--last-ply] [--svg FILE]
#include <cstdio>
#include <memory>

#include "kit/commands.h"
#include "kit/envelope.h"
#include "kit/files.h"
#include "kit/load.h"
#include "kit/runner.h"
#include "kit/strength_runs.h"

namespace kit {

namespace {

struct DirectionResult {
    std::vector<EnvelopePoint> points;  // one per criterion
    std::string error;
};
}  // namespace

void addEnvelope(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "envelope", "The failure envelope in the plane of two load resultants (the others as "
                    "given), each direction from a run of the program: CSV on standard output, "
                    "an SVG plot with --svg");
    struct Options {
        std::string caseFile;
        StrengthSource source;
        std::string plane, criteria = "tsai-wu", svg;
        int points = 72;
        bool lastPly = false;
    };
    auto o = std::make_shared<Options>();
    cmd->add_option("CASE", o->caseFile, "case file with strengths (or give --answers and --strengths)");
    cmd->add_option("--answers", o->source.answers, "answer file or case file");
    cmd->add_option("--strengths", o->source.strengths, "strengths file ([[set]] tables in set order)");
    cmd->add_option("--plane", o->plane, "the two loads of the plane, e.g. nx,ny (of nx ny nxy mx my mxy)")
        ->required();
    cmd->add_option("--points", o->points, "directions, evenly spaced from the first load's axis (default 72)");
    cmd->add_option("--criteria", o->criteria, "comma-separated criteria, or all (default tsai-wu)");
    cmd->add_flag("--last-ply", o->lastPly, "the last-ply failure envelope (ply discount) instead of the first-ply one");
    cmd->add_option("--svg", o->svg, "write the plot to this file");
    cmd->add_option("--program", o->source.program,
                    "the program to run (default: $LAMVIS2_PROGRAM, or lamvis2 beside the kit)");
    cmd->add_option("-j,--jobs", o->source.jobs, "runs at a time (default: processors)");
    cmd->callback([o, &status] {
        std::string bad;
        std::optional<EnvelopePlane> plane = planeNamed(o->plane, bad);
        if (!plane) {
            status = trouble("--plane: \"" + bad + "\" is not two different loads of nx, ny, nxy, mx, my, mxy (as nx,ny)");
            return;
        }
        std::optional<std::vector<Criterion>> criteria = criteriaNamed(o->criteria, bad);
        if (!criteria) {
            status = trouble("--criteria: unknown criterion \"" + bad + "\"");
            return;
        }
        if (o->points < 3 || o->points > 3600) {
            status = trouble("--points: from 3 to 3600 directions");
            return;
        }
        StrengthSource source = o->source;
        if (source.answers.empty()) source.answers = o->caseFile;
        else if (!o->caseFile.empty()) {
            status = trouble("give a case file or --answers, not both");
            return;
        }
        if (source.answers.empty()) {
            status = trouble("give a case file with strengths, or --answers and --strengths");
            return;
        }
        source.needResults = false;
        StrengthInput input;
        if (int s = loadStrengthInput(source, input); s != 0) {
            status = s;
            return;
        }
        const Laminate& lam = input.laminate;
        const std::vector<std::string> command = programCommand(source.program);
        const std::array<double, 6> fixed = fixedLoads(lam.loads, *plane);
        const double scale = envelopeScale(lam.loads, *plane);
        std::optional<DerivedStresses> base;
        std::string error;
        if (anyLoad(fixed) && !o->lastPly) {
            Laminate alone = lam;
            alone.loads = fixed;
            base = runLaminate(command, alone, error);
            if (!base) {
                status = trouble(source.answers + ": the loads held fixed: " + error);
                return;
            }
        }
        std::vector<DirectionResult> results(static_cast<std::size_t>(o->points));
        forEach(results.size(), source.jobs, [&](std::size_t i) {
            const double degrees = envelopeDirection(static_cast<int>(i), o->points);
            const std::array<double, 6> scaled = directionLoads(*plane, degrees, scale);
            DirectionResult& out = results[i];
            Laminate run = lam;
            if (o->lastPly) {
                run.loads = scaled;
                for (Criterion c : *criteria) {
                    DiscountRun d = runDiscount(command, run, input.strengths, c, fixed);
                    if (!d.error.empty()) {
                        out.error = d.error;
                        return;
                    }
                    EnvelopePoint p = envelopePoint(c, *plane, degrees, scale, d.discount.lastPly);
                    if (!d.discount.steps.empty()) {
                        const DiscountStep& last = d.discount.steps.back();
                        p.ply = last.plies.front(), p.face = last.faces.front(), p.mode = last.modes.front();
                    }
                    if (!d.discount.lastPly) p.note = d.discount.stop;
                    out.points.push_back(p);
                }
                return;
            }
            for (int j = 0; j < 6; ++j) run.loads[j] = fixed[j] + scaled[j];
            std::string why;
            std::optional<DerivedStresses> states = runLaminate(command, run, why);
            if (!states) {
                out.error = why;
                return;
            }
            if (base)
                for (std::size_t k = 0; k < states->plies.size(); ++k)
                    for (int f = 0; f < 3; ++f)
                        for (int m = 0; m < 3; ++m) {
                            states->plies[k].faces[f].sigma[m] -= base->plies[k].faces[f].sigma[m];
                            states->plies[k].faces[f].eps[m] -= base->plies[k].faces[f].eps[m];
                        }
            for (Criterion c : *criteria) {
                FirstPly fp = firstPlyFailure(lam, input.strengths, c, states->plies, base ? &base->plies : nullptr);
                EnvelopePoint p = envelopePoint(c, *plane, degrees, scale, fp.failure.factor);
                p.ply = fp.ply, p.face = fp.face, p.mode = fp.failure.mode;
                if (fp.failure.alreadyFailed) p.note = "the loads held fixed fail the laminate by themselves";
                out.points.push_back(p);
            }
        });
        std::vector<EnvelopePoint> points;
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (!results[i].error.empty()) {
                status = trouble(source.answers + ": direction " +
                                 std::to_string(static_cast<int>(envelopeDirection(static_cast<int>(i), o->points))) +
                                 ": " + results[i].error);
                return;
            }
            for (const EnvelopePoint& p : results[i].points) {
                if (!p.note.empty() && p.note.rfind("the loads held fixed", 0) == 0) {
                    status = trouble(source.answers + ": " + p.note + " (" + criterionName(p.criterion) + ")");
                    return;
                }
                points.push_back(p);
            }
        }
        // Every criterion's points in order of direction.
        std::vector<EnvelopePoint> ordered;
        for (Criterion c : *criteria)
            for (const EnvelopePoint& p : points)
                if (p.criterion == c) ordered.push_back(p);
        if (!o->svg.empty()) {
            std::string title = std::string(o->lastPly ? "Last" : "First") + "-ply failure envelope of " +
                                source.answers;
            if (!writeFile(o->svg, envelopeSvg(*plane, ordered, lam.loads, title), error)) {
                status = trouble(error);
                return;
            }
        }
        std::string csv = envelopeCsv(*plane, ordered);
        std::fwrite(csv.data(), 1, csv.size(), stdout);
        status = 0;
    });
}

}  // namespace kit
