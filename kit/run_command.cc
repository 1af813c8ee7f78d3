// lamvis2-kit run ANSWERS... [-j N] [--out DIR] [--quantity NAME...] [--jsonl]
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "kit/batch.h"
#include "kit/commands.h"
#include "kit/files.h"
#include "kit/load.h"
#include "kit/render.h"
#include "kit/runner.h"

namespace kit {

void addRun(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "run", "Run the program on many answer files, N at a time: each results file is the bytes "
               "of `lamvis2 < answers`, written as DIR/NAME.out beside a summary table. Exit "
               "status 0: every run complete; 1: a run ended in a report; 2: trouble");
    struct Options {
        std::vector<std::string> answers, quantities;
        std::string out = ".", program;
        unsigned jobs = 0;
        bool jsonl = false;
    };
    auto o = std::make_shared<Options>();
    cmd->add_option("ANSWERS", o->answers, "answer files (a .toml file is a case file: its answers)")->required();
    cmd->add_option("-j,--jobs", o->jobs, "runs at a time (default: the number of processors)");
    cmd->add_option("--out", o->out, "folder of the results files and the summary (default: .)");
    cmd->add_option("-q,--quantity", o->quantities, "a quantity for the summary, by name (repeatable)");
    cmd->add_flag("--jsonl", o->jsonl, "write the summary as JSON lines (summary.jsonl), not CSV");
    cmd->add_option("--program", o->program,
                    "the program to run (default: $LAMVIS2_PROGRAM, or lamvis2 beside the kit)");
    cmd->callback([o, &status] {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::create_directories(o->out, ec);
        if (ec) {
            status = trouble(o->out + ": " + ec.message());
            return;
        }
        // One results file per answer file, named after it; two answer files of one name
        // would write one results file.
        std::vector<std::string> outputs;
        std::map<std::string, std::string> taken;
        for (const std::string& a : o->answers) {
            std::string out = (fs::path(o->out) / fs::path(a).stem()).string() + ".out";
            if (taken.count(out)) {
                status = trouble(a + ": its results file " + out + " is also that of " + taken[out]);
                return;
            }
            std::error_code e1;
            if (fs::equivalent(fs::path(a), fs::path(out), e1)) {
                status = trouble(a + ": its results file would be the answer file itself");
                return;
            }
            taken[out] = a;
            outputs.push_back(out);
        }
        // A case file's answers are written from it before any run, so that a bad one stops
        // the batch with nothing written.
        std::vector<std::optional<std::string>> caseAnswers(o->answers.size());
        for (std::size_t i = 0; i < o->answers.size(); ++i) {
            if (!isCaseFile(o->answers[i])) continue;
            std::string error;
            caseAnswers[i] = readAnswers(o->answers[i], error);
            if (!caseAnswers[i]) {
                status = trouble(error);
                return;
            }
        }
        std::vector<std::string> command = programCommand(o->program);
        bool withInputs = needsInputs(o->quantities);
        struct Row {
            int status = -1;
            std::string report, error;
            std::vector<std::string> cells;
        };
        std::vector<Row> rows(o->answers.size());
        Progress progress(rows.size());
        forEach(rows.size(), o->jobs, [&](std::size_t i) {
            Row& row = rows[i];
            ProcessResult r;
            if (caseAnswers[i]) {
                r = runCaptured(command, *caseAnswers[i]);
                if (r.error.empty() && !writeFile(outputs[i], r.out, r.error)) r.status = -1;
            } else {
                r = runWithFiles(command, o->answers[i], outputs[i]);
            }
            progress.step();
            if (!r.error.empty()) {
                row.error = r.error;
                return;
            }
            row.status = r.status;
            // The report comes from standard error; the quantities from the results file.
            std::string error;
            Results results = readResultsFile(outputs[i], error, r.err, r.status);
            if (!error.empty()) row.error = error;
            if (results.end.report) row.report = *results.end.report;
            if (!o->quantities.empty()) {
                if (withInputs) {
                    std::string error;
                    if (auto answers = caseAnswers[i] ? caseAnswers[i] : readSmallFile(o->answers[i], 1 << 20, error)) {
                        // A case file's strengths give the strength quantities.
                        std::optional<std::string> caseText;
                        if (caseAnswers[i]) caseText = readSmallFile(o->answers[i], 1 << 20, error);
                        addInputsAndDerived(results, *answers, true, command, caseText.value_or(""), o->answers[i],
                                            o->quantities);
                    }
                } else {
                    addInputsAndDerived(results, "", false, command);
                }
                for (const std::string& q : o->quantities) row.cells.push_back(cell(results, q));
            }
        });
        progress.done();

        std::string summary;
        if (!o->jsonl) {
            summary = "file,results,exit_status,report";
            for (const std::string& q : o->quantities) summary += "," + csvField(q);
            summary += "\n";
        }
        bool anyTrouble = false, anyReport = false;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            if (!row.error.empty()) {
                anyTrouble = true;
                std::fprintf(stderr, "lamvis2-kit: %s\n", row.error.c_str());
            }
            if (row.status != 0) anyReport = true;
            std::string report = row.error.empty() ? row.report : row.error;
            if (o->jsonl) {
                nlohmann::ordered_json j;
                j["file"] = o->answers[i];
                j["results"] = outputs[i];
                j["exit_status"] = row.status;
                if (report.empty()) j["report"] = nullptr;
                else j["report"] = report;
                for (std::size_t q = 0; q < o->quantities.size(); ++q) j[o->quantities[q]] = row.cells[q];
                summary += jsonText(j, -1);
            } else {
                summary += csvField(o->answers[i]) + "," + csvField(outputs[i]) + "," +
                           std::to_string(row.status) + "," + csvField(oneLine(report));
                for (const std::string& c : row.cells) summary += "," + csvField(c);
                summary += "\n";
            }
        }
        std::string error;
        std::string summaryPath = (fs::path(o->out) / (o->jsonl ? "summary.jsonl" : "summary.csv")).string();
        if (!writeFile(summaryPath, summary, error)) {
            status = trouble(error);
            return;
        }
        status = anyTrouble ? 2 : anyReport ? 1 : 0;
    });
}

}  // namespace kit
