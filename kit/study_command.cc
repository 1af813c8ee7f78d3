// lamvis2-kit study TEMPLATE --vary NAME=FROM:TO:STEP ... [--quantity NAME...]
#include <atomic>
#include <cstdio>
#include <memory>
#include <set>

#include "kit/batch.h"
#include "kit/commands.h"
#include "kit/files.h"
#include "kit/load.h"
#include "kit/render.h"
#include "kit/runner.h"
#include "kit/stream.h"
#include "kit/study.h"

namespace kit {
namespace {

// A study of more points than this is surely a mistake in a step (--max-points to allow it).
constexpr std::size_t DEFAULT_MAX_POINTS = MAX_GRID_POINTS;

bool isProvenanceKey(const std::string& key) {
    for (const std::string& p : PROVENANCE_COLUMNS)
        if (key == p) return true;
    return false;
}

}  // namespace

void addStudy(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "study", "Run an answer-file template with {NAME} placeholders over the grid of the values "
                 "given, one row per run with the values and the chosen quantities (when none is "
                 "named, every printed and derived quantity of the first point's run). Each row is "
                 "written as soon as it and the rows before it are done. A run that ends in a "
                 "report is a row with its report. Exit status 0: the study ran; 2: trouble");
    struct Options {
        std::string templ, out, program;
        std::vector<std::string> vary, quantities;
        unsigned jobs = 0;
        std::size_t window = 0, maxPoints = DEFAULT_MAX_POINTS;
        bool jsonl = false, resume = false;
    };
    auto o = std::make_shared<Options>();
    cmd->add_option("TEMPLATE", o->templ,
                    "answer file with {NAME} placeholders (- for standard input; a .toml file is a "
                    "case file, read once filled)")
        ->required();
    cmd->add_option("--vary", o->vary, "NAME=FROM:TO:STEP (repeatable; the first varies slowest)")
        ->required()
        ->allow_extra_args(false);
    cmd->add_option("-q,--quantity", o->quantities, "a quantity for the rows, by name (repeatable)")
        ->allow_extra_args(false);
    cmd->add_option("-j,--jobs", o->jobs, "runs at a time (default: the number of processors)");
    auto* window = cmd->add_option("--window", o->window,
                                   "rows done ahead of the first not yet written, at most (default: "
                                   "4 a run at a time); memory is bounded by it");
    cmd->add_option("--max-points", o->maxPoints,
                    "refuse a grid of more points than this, before any run (default: 1000000)");
    cmd->add_option("-o,--out", o->out, "write the table to this file (default: standard output)");
    cmd->add_flag("--resume", o->resume,
                  "keep the rows that --out already holds (a study that was stopped) and run the rest");
    cmd->add_flag("--jsonl", o->jsonl, "write JSON lines, not CSV");
    cmd->add_option("--program", o->program,
                    "the program to run (default: $LAMVIS2_PROGRAM, or lamvis2 beside the kit)");
    cmd->callback([o, &status, window] {
        std::string error;
        if (window->count() > 0 && o->window == 0) {
            status = trouble("--window 0: at least one row must be able to wait");
            return;
        }
        if (o->maxPoints == 0) {
            status = trouble("--max-points 0: a study has at least one point");
            return;
        }
        if (o->resume && o->out.empty()) {
            status = trouble("--resume needs the table's file (-o FILE)");
            return;
        }
        if (!checkQuantityNames(o->quantities, error)) {
            status = trouble(error);
            return;
        }
        std::optional<std::string> templ = readSmallFile(o->templ, 1 << 20, error, "a template");
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
        std::string templName = o->templ == "-" ? "standard input" : o->templ;
        for (const Placeholder& p : placeholders(*templ)) {
            bool given = false;
            for (const std::string& n : names) given = given || n == p.name;
            if (!given) {
                status = trouble(templName + ":" + std::to_string(p.line) + ": the placeholder {" +
                                 p.name + "} is given no values (--vary " + p.name + "=FROM:TO:STEP)");
                return;
            }
        }
        for (const std::string& n : names) {
            bool used = false;
            for (const Placeholder& p : placeholders(*templ)) used = used || p.name == n;
            if (!used) {
                status = trouble(templName + ": has no placeholder {" + n + "} for --vary " + n);
                return;
            }
        }
        // The grid's size, checked before any run.
        std::optional<std::size_t> size(0);
        if (!gridSize(ranges, *size, error, o->maxPoints)) {
            status = trouble("study: " + error + " (--max-points); nothing was run");
            return;
        }
        if (window->count() > 0 && o->window == 1 && o->jobs != 1)
            std::fprintf(stderr, "lamvis2-kit: --window 1: the runs are made one at a time\n");

        std::vector<std::string> command = programCommand(o->program);
        Provenance provenance = provenanceOf(command);
        bool withInputs = o->quantities.empty() || needsInputs(o->quantities);
        // A case file template gives its answers once filled.
        const bool caseTemplate = isCaseFile(o->templ);
        auto answersOf = [&](const std::vector<std::string>& values, std::string& rowError) {
            std::string answers = fill(*templ, names, values);
            if (!caseTemplate) return answers;
            std::optional<std::string> filled = caseFileAnswers(o->templ, answers, rowError);
            return filled ? *filled : std::string();
        };
        auto valuesOf = [&](std::size_t i) {
            std::vector<std::string> values;
            std::vector<std::size_t> at = gridPoint(ranges, i);
            for (std::size_t k = 0; k < ranges.size(); ++k) values.push_back(ranges[k].values[at[k]]);
            return values;
        };
        std::vector<std::string> columns = o->quantities;
        auto header = [&] {
            std::string h;
            for (const std::string& n : names) h += csvField(n) + ",";
            h += "exit_status,report";
            for (const std::string& c : columns) h += "," + csvField(c);
            for (const std::string& c : PROVENANCE_COLUMNS) h += "," + c;
            return h;
        };

        // The rows a stopped study wrote, when resumed: checked against this study's grid.
        std::size_t first = 0;
        bool haveHeader = false;
        std::string outName = o->out;
        if (o->resume) {
            auto headerOf = [&](const std::string& line) {
                std::vector<std::string> fields = csvFields(line);
                std::size_t fixed = names.size() + 2;
                bool ok = fields.size() >= fixed + PROVENANCE_COLUMNS.size();
                for (std::size_t k = 0; ok && k < names.size(); ++k) ok = fields[k] == names[k];
                ok = ok && fields[names.size()] == "exit_status" && fields[names.size() + 1] == "report";
                std::vector<std::string> found;
                if (ok) found.assign(fields.begin() + long(fixed), fields.end() - long(PROVENANCE_COLUMNS.size()));
                if (ok && !o->quantities.empty()) ok = found == o->quantities;
                if (!ok) return "the table is from another study: its header is not \"" + header() + "\"; nothing was run";
                columns = found;
                return std::string();
            };
            auto rowOf = [&](const std::string& line, std::size_t i) {
                if (i >= *size)
                    return "the table is from another study: it has more rows than this study's " +
                           std::to_string(*size) + " points; nothing was run";
                std::vector<std::string> values = valuesOf(i);
                bool ok = true;
                if (o->jsonl) {
                    nlohmann::ordered_json j = nlohmann::ordered_json::parse(line, nullptr, false);
                    ok = j.is_object();
                    for (std::size_t k = 0; ok && k < names.size(); ++k)
                        ok = j.contains(names[k]) && j[names[k]] == nlohmann::ordered_json(std::strtod(values[k].c_str(), nullptr));
                    if (ok && i == 0) {
                        std::vector<std::string> found;
                        for (auto it = j.begin(); it != j.end(); ++it) {
                            bool isName = false;
                            for (const std::string& n : names) isName = isName || n == it.key();
                            if (!isName && it.key() != "exit_status" && it.key() != "report" &&
                                !isProvenanceKey(it.key()))
                                found.push_back(it.key());
                        }
                        if (o->quantities.empty()) columns = found;
                        else ok = found == o->quantities;
                    }
                } else {
                    std::vector<std::string> fields = csvFields(line);
                    ok = fields.size() == names.size() + 2 + columns.size() + PROVENANCE_COLUMNS.size();
                    for (std::size_t k = 0; ok && k < names.size(); ++k) ok = fields[k] == values[k];
                }
                if (ok) return std::string();
                std::string shown;
                for (std::size_t k = 0; k < names.size(); ++k)
                    shown += (k ? ", " : "") + names[k] + "=" + values[k];
                return "the table is from another study: this is not the row of its point " +
                       std::to_string(i + 1) + " (" + shown + "); nothing was run";
            };
            Resumed resumed;
            if (!resumeTable(o->out, !o->jsonl, "study", headerOf, rowOf, resumed, error)) {
                status = trouble(error);
                return;
            }
            first = resumed.rows;
            haveHeader = resumed.haveHeader;
            if (first == *size)
                std::fprintf(stderr, "lamvis2-kit: %s: the study is complete already\n", o->out.c_str());
        }

        // Without -q, the columns are the printed and derived quantities of the first point.
        std::optional<Results> firstResults;
        std::string firstError;
        if (columns.empty() && first == 0) {
            std::string answers = answersOf(valuesOf(0), firstError);
            std::string caseText = caseTemplate ? fill(*templ, names, valuesOf(0)) : "";
            firstResults = firstError.empty() ? runAndRead(command, answers, true, firstError, caseText,
                                                           o->templ, o->quantities)
                                              : Results{};
            for (const Quantity& q : firstResults->quantities)
                if (q.kind != QuantityKind::Input) columns.push_back(q.name);
        }
        std::set<std::string> columnSet(columns.begin(), columns.end());
        std::atomic<std::size_t> beyondColumns{0};

        auto render = [&](const std::vector<std::string>& values, const Results& results,
                          const std::string& rowError) {
            StreamedRow row;
            row.trouble = !rowError.empty();
            std::string report = !rowError.empty() ? rowError
                                 : results.end.report ? *results.end.report : "";
            row.report = rowError.empty() && results.end.exitStatus != 0;
            int exitStatus = rowError.empty() ? results.end.exitStatus : -1;
            if (rowError.empty() && o->quantities.empty())
                for (const Quantity& q : results.quantities)
                    if (q.kind != QuantityKind::Input && !columnSet.count(q.name)) {
                        ++beyondColumns;
                        break;
                    }
            std::vector<std::string> prov = provenanceCells(results, provenance);
            if (o->jsonl) {
                nlohmann::ordered_json j;
                for (std::size_t k = 0; k < names.size(); ++k) j[names[k]] = std::strtod(values[k].c_str(), nullptr);
                j["exit_status"] = exitStatus;
                if (report.empty()) j["report"] = nullptr;
                else j["report"] = report;
                for (const std::string& c : columns) j[c] = cellJson(results, c);
                addProvenance(j, results, provenance);
                row.text = jsonText(j, -1);
            } else {
                for (const std::string& v : values) row.text += csvField(v) + ",";
                row.text += std::to_string(exitStatus) + "," + csvField(oneLine(report));
                for (const std::string& c : columns) row.text += "," + csvField(cell(results, c));
                for (const std::string& p : prov) row.text += "," + csvField(p);
                row.text += "\n";
            }
            return row;
        };

        std::FILE* out = stdout;
        if (!o->out.empty()) {
            out = std::fopen(o->out.c_str(), first > 0 || (haveHeader && o->resume) ? "ab" : "wb");
            if (out == nullptr) {
                status = trouble(o->out + ": cannot be written");
                return;
            }
        }
        bool writeFailed = false;
        auto put = [&](const std::string& text) {
            if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0)
                writeFailed = true;
            return !writeFailed;
        };
        if (!o->jsonl && !haveHeader) put(header() + "\n");
        Progress progress(*size - first);
        std::atomic<bool> anyTrouble{false};
        auto make = [&](std::size_t i) {
            std::vector<std::string> values = valuesOf(i);
            std::string rowError;
            Results results;
            if (i == 0 && firstResults) {
                results = std::move(*firstResults);
                rowError = firstError;
            } else {
                std::string answers = answersOf(values, rowError);
                // A filled case file, for its strengths.
                std::string caseText = caseTemplate ? fill(*templ, names, values) : "";
                if (rowError.empty())
                    results = runAndRead(command, answers, withInputs, rowError, caseText, o->templ, o->quantities);
            }
            progress.step();
            if (!rowError.empty()) {
                anyTrouble = true;
                std::fprintf(stderr, "lamvis2-kit: %s\n", rowError.c_str());
                results = Results{};
            }
            return render(values, results, rowError);
        };
        streamRows(first, *size, o->jobs, o->window, make,
                   [&](const StreamedRow& row) { return put(row.text); });
        progress.done();
        if (out != stdout) writeFailed = std::fclose(out) != 0 || writeFailed;
        if (writeFailed) {
            status = trouble((o->out.empty() ? std::string("standard output") : outName) +
                             ": write error; the rows written so far are kept (--resume goes on)");
            return;
        }
        if (beyondColumns > 0)
            std::fprintf(stderr,
                         "lamvis2-kit: %zu row(s) print quantities that are not columns (the columns "
                         "are those of the first point's run; name the quantities with -q)\n",
                         beyondColumns.load());
        status = anyTrouble ? 2 : 0;
    });
}

}  // namespace kit
