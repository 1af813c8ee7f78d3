// lamvis2-kit study TEMPLATE --vary NAME=FROM:TO:STEP ... [--quantity NAME...]
#include <cstdio>
#include <map>
#include <memory>

#include "kit/batch.h"
#include "kit/commands.h"
#include "kit/files.h"
#include "kit/load.h"
#include "kit/render.h"
#include "kit/runner.h"
#include "kit/study.h"

namespace kit {

void addStudy(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "study", "Run an answer-file template with {NAME} placeholders over the grid of the values "
                 "given, one row per run with the values and the chosen quantities (all printed "
                 "ones when none is named). A run that ends in a report is a row with its "
                 "report. Exit status 0: the study ran; 2: trouble");
    struct Options {
        std::string templ, out, program;
        std::vector<std::string> vary, quantities;
        unsigned jobs = 0;
        bool jsonl = false;
    };
    auto o = std::make_shared<Options>();
    cmd->add_option("TEMPLATE", o->templ, "answer file with {NAME} placeholders (a .toml file is a case file, read once filled)")->required();
    cmd->add_option("--vary", o->vary, "NAME=FROM:TO:STEP (repeatable; the first varies slowest)")
        ->required();
    cmd->add_option("-q,--quantity", o->quantities, "a quantity for the rows, by name (repeatable)");
    cmd->add_option("-j,--jobs", o->jobs, "runs at a time (default: the number of processors)");
    cmd->add_option("-o,--out", o->out, "write the table to this file (default: standard output)");
    cmd->add_flag("--jsonl", o->jsonl, "write JSON lines, not CSV");
    cmd->add_option("--program", o->program,
                    "the program to run (default: $LAMVIS2_PROGRAM, or lamvis2 beside the kit)");
    cmd->callback([o, &status] {
        std::string error;
        std::optional<std::string> templ = readSmallFile(o->templ, 1 << 20, error);
        if (!templ) {
            status = trouble(error);
            return;
        }
        std::vector<Range> ranges;
        std::vector<std::string> names;
        for (const std::string& spec : o->vary) {
            Range r;
            if (!parseRange(spec, r, error)) {
                status = trouble(error);
                return;
            }
            for (const std::string& n : names)
                if (n == r.name) {
                    status = trouble("--vary " + spec + ": " + n + " is given twice");
                    return;
                }
            names.push_back(r.name);
            ranges.push_back(std::move(r));
        }
        for (const Placeholder& p : placeholders(*templ)) {
            bool given = false;
            for (const std::string& n : names) given = given || n == p.name;
            if (!given) {
                status = trouble(o->templ + ":" + std::to_string(p.line) + ": the placeholder {" +
                                 p.name + "} is given no values (--vary " + p.name + "=FROM:TO:STEP)");
                return;
            }
        }
        for (const std::string& n : names) {
            bool used = false;
            for (const Placeholder& p : placeholders(*templ)) used = used || p.name == n;
            if (!used) {
                status = trouble(o->templ + ": has no placeholder {" + n + "} for --vary " + n);
                return;
            }
        }
        std::size_t size;
        if (!gridSize(ranges, size, error)) {
            status = trouble("study: " + error);
            return;
        }
        std::vector<std::vector<std::size_t>> points = grid(ranges);
        std::vector<std::string> command = programCommand(o->program);
        bool withInputs = needsInputs(o->quantities);
        const bool caseTemplate = isCaseFile(o->templ);
        struct Row {
            std::vector<std::string> values;
            Results results;
            std::string error;
        };
        std::vector<Row> rows(points.size());
        Progress progress(rows.size());
        forEach(rows.size(), o->jobs, [&](std::size_t i) {
            Row& row = rows[i];
            for (std::size_t k = 0; k < ranges.size(); ++k) row.values.push_back(ranges[k].values[points[i][k]]);
            std::string answers = fill(*templ, names, row.values);
            std::string caseText;  // a filled case file, for its strengths
            // A case file template gives its answers once filled.
            if (caseTemplate) {
                caseText = answers;
                std::string error;
                std::optional<std::string> filled = caseFileAnswers(o->templ, answers, error);
                if (!filled) {
                    progress.step();
                    row.error = error;
                    return;
                }
                answers = std::move(*filled);
            }
            ProcessResult r = runCaptured(command, answers);
            progress.step();
            if (!r.error.empty()) {
                row.error = r.error;
                return;
            }
            row.results = readResults("", r.out, r.err, r.status);
            if (!row.results.ok()) {
                row.error = "the program's output is not a results file: " + row.results.error;
                return;
            }
            addInputsAndDerived(row.results, answers, withInputs, command, caseText, o->templ, o->quantities);
            // Only what the rows show is kept.
            row.results.dialogue.clear();
        });
        progress.done();

        // All the printed and derived quantities, in the order of their first appearance,
        // when none is named.
        std::vector<std::string> columns = o->quantities;
        if (columns.empty()) {
            std::map<std::string, bool> seen;
            for (const Row& row : rows)
                for (const Quantity& q : row.results.quantities)
                    if (q.kind != QuantityKind::Input && !seen[q.name]) {
                        seen[q.name] = true;
                        columns.push_back(q.name);
                    }
        }
        std::string out;
        if (!o->jsonl) {
            for (const std::string& n : names) out += csvField(n) + ",";
            out += "exit_status,report";
            for (const std::string& c : columns) out += "," + csvField(c);
            out += "\n";
        }
        bool anyTrouble = false;
        for (const Row& row : rows) {
            if (!row.error.empty()) {
                anyTrouble = true;
                std::fprintf(stderr, "lamvis2-kit: %s\n", row.error.c_str());
            }
            std::string report = !row.error.empty() ? row.error
                                 : row.results.end.report ? *row.results.end.report : "";
            int exitStatus = row.error.empty() ? row.results.end.exitStatus : -1;
            if (o->jsonl) {
                nlohmann::ordered_json j;
                for (std::size_t k = 0; k < names.size(); ++k) j[names[k]] = row.values[k];
                j["exit_status"] = exitStatus;
                if (report.empty()) j["report"] = nullptr;
                else j["report"] = report;
                for (const std::string& c : columns) j[c] = cell(row.results, c);
                out += jsonText(j, -1);
            } else {
                for (const std::string& v : row.values) out += csvField(v) + ",";
                out += std::to_string(exitStatus) + "," + csvField(oneLine(report));
                for (const std::string& c : columns) out += "," + csvField(cell(row.results, c));
                out += "\n";
            }
        }
        if (o->out.empty()) {
            std::fwrite(out.data(), 1, out.size(), stdout);
        } else if (!writeFile(o->out, out, error)) {
            status = trouble(error);
            return;
        }
        status = anyTrouble ? 2 : 0;
    });
}

}  // namespace kit
