// lamvis2-kit run ANSWERS... [-j N] [--out DIR] [--quantity NAME...] [--jsonl] [--resume]
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "kit/batch.h"
#include "kit/commands.h"
#include "kit/derived.h"
#include "kit/files.h"
#include "kit/load.h"
#include "kit/render.h"
#include "kit/runner.h"
#include "kit/stream.h"

namespace kit {
namespace {

namespace fs = std::filesystem;

// The results file of each answer file: OUT/NAME.out; where two answer files have one name,
// their folders are mirrored under OUT (from the folder that holds them all). Standard
// input's is OUT/standard-input.out.
bool resultsPaths(const std::vector<std::string>& answers, const std::string& out,
                  std::vector<std::string>& paths, std::string& error) {
    auto stemOf = [](const std::string& a) {
        return a == "-" ? std::string("standard-input") : fs::path(a).stem().string();
    };
    std::map<std::string, int> stems;
    for (const std::string& a : answers) ++stems[stemOf(a)];
    bool mirror = false;
    for (const auto& [stem, n] : stems) mirror = mirror || n > 1;
    // The folder that holds every answer file.
    fs::path common;
    if (mirror) {
        bool firstOne = true;
        for (const std::string& a : answers) {
            if (a == "-") continue;
            std::error_code ec;
            fs::path dir = fs::weakly_canonical(fs::absolute(a, ec), ec).parent_path();
            if (firstOne) {
                common = dir;
                firstOne = false;
                continue;
            }
            fs::path shared;
            for (auto x = common.begin(), y = dir.begin(); x != common.end() && y != dir.end() && *x == *y; ++x, ++y)
                shared /= *x;
            common = shared;
        }
    }
    std::map<std::string, std::string> taken;
    for (const std::string& a : answers) {
        fs::path folder = out;
        if (mirror && a != "-") {
            std::error_code ec;
            fs::path dir = fs::weakly_canonical(fs::absolute(a, ec), ec).parent_path();
            folder /= dir.lexically_relative(common);
        }
        std::string path = (folder / stemOf(a)).lexically_normal().string() + ".out";
        if (taken.count(path)) {
            error = a + ": its results file " + path + " is also that of " + taken[path];
            return false;
        }
        std::error_code e1;
        if (a != "-" && fs::equivalent(fs::path(a), fs::path(path), e1)) {
            error = a + ": its results file would be the answer file itself";
            return false;
        }
        taken[path] = a;
        paths.push_back(path);
    }
    return true;
}

}  // namespace

void addRun(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "run", "Run the program on many answer files, N at a time: each results file is the bytes "
               "of `lamvis2 < answers`, written as DIR/NAME.out (answer files of one name in "
               "different folders: the folders mirrored under DIR) beside a summary table, each "
               "row written as soon as it and the rows before it are done. Exit status 0: every "
               "run complete; 1: a run ended in a report; 2: trouble");
    struct Options {
        std::vector<std::string> answers, quantities;
        std::string out = ".", program;
        unsigned jobs = 0;
        std::size_t window = 0;
        bool jsonl = false, resume = false;
    };
    auto o = std::make_shared<Options>();
    cmd->add_option("ANSWERS", o->answers,
                    "answer files (- for standard input; a .toml file is a case file: its answers)")
        ->required();
    cmd->add_option("-j,--jobs", o->jobs, "runs at a time (default: the number of processors)");
    auto* window = cmd->add_option("--window", o->window,
                                   "rows done ahead of the first not yet written, at most (default: "
                                   "4 a run at a time)");
    cmd->add_option("--out", o->out, "folder of the results files and the summary (default: .)");
    cmd->add_option("-q,--quantity", o->quantities, "a quantity for the summary, by name (repeatable)")
        ->allow_extra_args(false);
    cmd->add_flag("--jsonl", o->jsonl, "write the summary as JSON lines (summary.jsonl), not CSV");
    cmd->add_flag("--resume", o->resume,
                  "keep the rows that the summary already holds (a batch that was stopped) and run "
                  "the rest");
    cmd->add_option("--program", o->program,
                    "the program to run (default: $LAMVIS2_PROGRAM, or lamvis2 beside the kit)");
    cmd->callback([o, &status, window] {
        std::string error;
        if (window->count() > 0 && o->window == 0) {
            status = trouble("--window 0: at least one row must be able to wait");
            return;
        }
        if (!checkQuantityNames(o->quantities, error)) {
            status = trouble(error);
            return;
        }
        std::size_t stdinCount = 0;
        for (const std::string& a : o->answers) stdinCount += a == "-";
        if (stdinCount > 1) {
            status = trouble("run: standard input (-) can be given once");
            return;
        }
        std::vector<std::string> outputs;
        if (!resultsPaths(o->answers, o->out, outputs, error)) {
            status = trouble(error);
            return;
        }
        std::optional<std::string> standardInput;
        if (stdinCount > 0) {
            standardInput = readSmallFile("-", 1 << 20, error);
            if (!standardInput) {
                status = trouble(error);
                return;
            }
        }
        // A case file's answers are written from it before any run, so that a bad one stops
        // the batch with nothing written.
        std::vector<std::optional<std::string>> caseAnswers(o->answers.size());
        for (std::size_t i = 0; i < o->answers.size(); ++i) {
            if (o->answers[i] == "-") caseAnswers[i] = standardInput;
            if (!isCaseFile(o->answers[i])) continue;
            caseAnswers[i] = readAnswers(o->answers[i], error);
            if (!caseAnswers[i]) {
                status = trouble(error);
                return;
            }
        }
        std::error_code ec;
        fs::create_directories(o->out, ec);
        if (ec) {
            status = trouble(o->out + ": " + ec.message());
            return;
        }
        std::vector<std::string> command = programCommand(o->program);
        Provenance provenance = provenanceOf(command);
        bool withInputs = needsInputs(o->quantities);
        std::string summaryPath = (fs::path(o->out) / (o->jsonl ? "summary.jsonl" : "summary.csv")).string();
        std::string header = "file,results,exit_status,report";
        for (const std::string& q : o->quantities) header += "," + csvField(q);
        for (const std::string& c : PROVENANCE_COLUMNS) header += "," + c;

        // The rows of a stopped batch, checked against this one's answer files.
        std::size_t first = 0;
        bool haveHeader = false;
        std::atomic<bool> anyTrouble{false}, anyReport{false};
        if (o->resume) {
            auto headerOf = [&](const std::string& line) {
                return line == header ? std::string()
                                      : "the summary is from another batch: its header is not \"" + header +
                                            "\"; nothing was run";
            };
            auto rowOf = [&](const std::string& line, std::size_t i) {
                std::string file, exitStatus;
                if (o->jsonl) {
                    auto j = nlohmann::ordered_json::parse(line, nullptr, false);
                    if (j.is_object() && j.contains("file") && j["file"].is_string()) file = j["file"];
                    if (j.is_object() && j.contains("exit_status")) exitStatus = j["exit_status"].dump();
                } else {
                    std::vector<std::string> fields = csvFields(line);
                    file = fields[0];
                    if (fields.size() > 2) exitStatus = fields[2];
                }
                // The exit status counts the rows kept as well.
                if (exitStatus == "-1") anyTrouble = true;
                else if (exitStatus != "0") anyReport = true;
                if (i < o->answers.size() && file == o->answers[i]) return std::string();
                return "the summary is from another batch: this row is of " +
                       (file.empty() ? std::string("no answer file") : file) + ", not of " +
                       (i < o->answers.size() ? o->answers[i] : std::string("any answer file given")) +
                       "; nothing was run";
            };
            Resumed resumed;
            if (!resumeTable(summaryPath, !o->jsonl, "batch", headerOf, rowOf, resumed, error)) {
                status = trouble(error);
                return;
            }
            first = resumed.rows;
            haveHeader = resumed.haveHeader;
        }
        std::FILE* summary = std::fopen(summaryPath.c_str(), first > 0 || haveHeader ? "ab" : "wb");
        if (summary == nullptr) {
            status = trouble(summaryPath + ": cannot be written");
            return;
        }
        bool writeFailed = false;
        auto put = [&](const std::string& text) {
            if (std::fwrite(text.data(), 1, text.size(), summary) != text.size() || std::fflush(summary) != 0)
                writeFailed = true;
            return !writeFailed;
        };
        if (!o->jsonl && !haveHeader) put(header + "\n");

        Progress progress(o->answers.size() - first);
        auto make = [&](std::size_t i) {
            const std::string& answersPath = o->answers[i];
            std::string rowError;
            Results results;
            ProcessResult r;
            std::error_code mk;
            fs::create_directories(fs::path(outputs[i]).parent_path(), mk);
            TraceFile trace;
            Environment env = withInputs ? trace.environment() : Environment{};
            if (caseAnswers[i]) {
                r = runCaptured(command, *caseAnswers[i], env);
                std::string e;
                if (r.error.empty() && !writeFile(outputs[i], r.out, e)) r.error = e;
            } else {
                r = runWithFiles(command, answersPath, outputs[i], env);
            }
            progress.step();
            if (!r.error.empty()) {
                rowError = r.error;
            } else {
                // The report comes from standard error; the quantities from the results file.
                results = readResultsFile(outputs[i], rowError, r.err, r.status);
                if (rowError.empty() && !results.ok())
                    rowError = outputs[i] + ":" + std::to_string(results.errorLine) + ": " + results.error;
            }
            if (rowError.empty() && withInputs) {
                std::string e;
                std::optional<std::string> answers =
                    caseAnswers[i] ? caseAnswers[i] : readSmallFile(answersPath, 1 << 20, e);
                std::optional<std::string> out = readSmallFile(outputs[i], 16 << 20, e, "a results file");
                if (answers && out) {
                    r.out = std::move(*out);
                    InputPairing pairing = pairTracedRun(*answers, r, trace.contents());
                    if (pairing.error.empty())
                        for (Quantity& q : pairing.inputs) results.quantities.push_back(std::move(q));
                    else
                        results.warnings.push_back(pairing.error);
                } else {
                    results.warnings.push_back(e);
                }
            }
            if (rowError.empty())
                for (Quantity& q : deriveQuantities(results)) results.quantities.push_back(std::move(q));
            // A case file's strengths give the strength quantities.
            if (rowError.empty() && withInputs && answersPath != "-" && isCaseFile(answersPath)) {
                std::string e;
                if (std::optional<std::string> text = readSmallFile(answersPath, 1 << 20, e))
                    addCaseFileStrength(results, *text, answersPath, o->quantities, command);
            }
            StreamedRow row;
            if (!rowError.empty()) {
                anyTrouble = true;
                std::fprintf(stderr, "lamvis2-kit: %s\n", rowError.c_str());
                results = Results{};
            }
            int exitStatus = rowError.empty() ? r.status : -1;
            if (exitStatus != 0) anyReport = true;
            std::string report = !rowError.empty() ? rowError : results.end.report ? *results.end.report : "";
            if (o->jsonl) {
                nlohmann::ordered_json j;
                j["file"] = answersPath;
                j["results"] = outputs[i];
                j["exit_status"] = exitStatus;
                if (report.empty()) j["report"] = nullptr;
                else j["report"] = report;
                for (const std::string& q : o->quantities) j[q] = cellJson(results, q);
                addProvenance(j, results, provenance);
                row.text = jsonText(j, -1);
            } else {
                row.text = csvField(answersPath) + "," + csvField(outputs[i]) + "," +
                           std::to_string(exitStatus) + "," + csvField(oneLine(report));
                for (const std::string& q : o->quantities) row.text += "," + csvField(cell(results, q));
                for (const std::string& p : provenanceCells(results, provenance)) row.text += "," + csvField(p);
                row.text += "\n";
            }
            return row;
        };
        streamRows(first, o->answers.size(), o->jobs, o->window, make,
                   [&](const StreamedRow& row) { return put(row.text); });
        progress.done();
        writeFailed = std::fclose(summary) != 0 || writeFailed;
        if (writeFailed) {
            status = trouble(summaryPath + ": write error; the rows written so far are kept (--resume goes on)");
            return;
        }
        status = anyTrouble ? 2 : anyReport ? 1 : 0;
    });
}

}  // namespace kit
