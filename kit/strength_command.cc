// lamvis2-kit strength RESULTS --answers ANSWERS|CASE [--strengths S] [--criteria LIST]
//   [--factor F] [--last-ply] [--json | --csv]; or strength CASE (runs the program)
#include <cmath>
#include <cstdio>
#include <memory>

#include "kit/commands.h"
#include "kit/files.h"
#include "kit/load.h"
#include "kit/render.h"
#include "kit/runner.h"
#include "kit/strength_runs.h"

namespace kit {

void addStrength(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "strength", "Each ply's stresses and strains at its bottom, middle and top faces, each "
                    "failure criterion's strength ratio R, failure index and mode, and the "
                    "first-ply (and with --last-ply the last-ply) failure of each criterion");
    struct Options {
        std::string first;
        StrengthSource source;
        std::string criteria = "all";
        std::optional<double> factor;
        bool lastPly = false, json = false, csv = false;
    };
    auto o = std::make_shared<Options>();
    cmd->add_option("RESULTS", o->first,
                    "results file of the run (or, without --answers, a case file: the program is "
                    "run on it)")
        ->required();
    cmd->add_option("--answers", o->source.answers, "the answer file or case file of the run");
    cmd->add_option("--strengths", o->source.strengths,
                    "strengths file: [[set]] tables with xt, xc, yt, yc, s ... in set order");
    cmd->add_option("--criteria", o->criteria,
                    "comma-separated: max-stress, max-strain, tsai-hill, tsai-wu, hoffman, hashin, "
                    "or all (default)");
    cmd->add_option("--factor", o->factor, "load factor (ultimate over limit): adds the margins R/F - 1");
    cmd->add_flag("--last-ply", o->lastPly,
                  "last-ply failure by ply discount, each step a run of the program");
    cmd->add_option("--program", o->source.program,
                    "the program to run (default: $LAMVIS2_PROGRAM, or lamvis2 beside the kit)");
    cmd->add_option("-j,--jobs", o->source.jobs, "runs at a time (default: processors)");
    auto* json = cmd->add_flag("--json", o->json, "write JSON, as read --json with the strength quantities");
    cmd->add_flag("--csv", o->csv, "write CSV, one quantity a line")->excludes(json);
    cmd->callback([o, &status] {
        std::string bad;
        std::optional<std::vector<Criterion>> criteria = criteriaNamed(o->criteria, bad);
        if (!criteria) {
            status = trouble("--criteria: unknown criterion \"" + bad +
                             "\" (max-stress, max-strain, tsai-hill, tsai-wu, hoffman, hashin, all)");
            return;
        }
        if (o->factor && !(*o->factor > 0 && std::isfinite(*o->factor))) {
            status = trouble("--factor: a load factor is a positive number");
            return;
        }
        StrengthSource source = o->source;
        if (source.answers.empty()) {
            if (!isCaseFile(o->first)) {
                status = trouble(o->first + ": give the answers of the run (--answers ANSWERS or "
                                 "CASE), or a case file (.toml) alone");
                return;
            }
            source.answers = o->first;
        } else {
            source.results = o->first;
        }
        StrengthInput input;
        if (int s = loadStrengthInput(source, input); s != 0) {
            status = s;
            return;
        }
        StrengthOptions options;
        options.criteria = *criteria;
        options.factor = o->factor;
        StrengthReport report = strengthOf(input.results, input.laminate, input.strengths, options);
        if (!report.ok()) {
            status = trouble((source.results.empty() ? source.answers : source.results) + ": " + report.error);
            return;
        }
        std::vector<DiscountRun> discounts;
        if (o->lastPly) {
            std::vector<std::string> command = programCommand(source.program);
            discounts.resize(criteria->size());
            forEach(criteria->size(), source.jobs, [&](std::size_t i) {
                discounts[i] = runDiscount(command, input.laminate, input.strengths, (*criteria)[i]);
            });
        }
        Results& r = input.results;
        // A case file's own strength quantities (every criterion, no factor) give way to those
        // asked for here: each name once, with the criteria and factor given.
        std::erase_if(r.quantities, [](const Quantity& q) { return q.table == "strength"; });
        for (Quantity& q : report.quantities) r.quantities.push_back(std::move(q));
        for (const DiscountRun& d : discounts)
            for (Quantity& q : discountQuantities(d, input.laminate)) r.quantities.push_back(std::move(q));
        std::string out;
        if (o->json) out = jsonText(toJson(r));
        else if (o->csv) out = toCsv(r);
        else {
            out = strengthText(report);
            for (const DiscountRun& d : discounts) out += discountText(d);
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        status = 0;
        for (const DiscountRun& d : discounts)
            if (!d.error.empty()) status = 1;
    });
}

}  // namespace kit
