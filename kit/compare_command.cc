// lamvis2-kit compare ARCHIVED (NEW | --answers ANSWERS) [--rel R] [--abs A] [--legacy] [--json]
#include <cstdio>
#include <memory>

#include "kit/commands.h"
#include "kit/compare.h"
#include "kit/files.h"
#include "kit/load.h"
#include "kit/render.h"
#include "kit/runner.h"

namespace kit {
namespace {

nlohmann::ordered_json differenceJson(const Difference& d) {
    nlohmann::ordered_json j;
    j["name"] = d.name;
    j["table"] = d.table;
    auto side = [](const std::string& text, std::optional<double> v, int line) {
        nlohmann::ordered_json s;
        if (line == 0) return nlohmann::ordered_json(nullptr);
        s["text"] = text;
        if (v) s["value"] = *v;
        else s["value"] = nullptr;
        s["line"] = line;
        return s;
    };
    j["archived"] = side(d.archivedText, d.archived, d.archivedLine);
    j["new"] = side(d.newText, d.fresh, d.newLine);
    if (d.absolute) j["absolute"] = *d.absolute;
    if (d.relative) {
        if (std::isinf(*d.relative)) j["relative"] = nullptr;
        else j["relative"] = *d.relative;
    }
    j["marks"] = d.marks;
    if (!d.why.empty()) j["explained"] = d.why;
    return j;
}

}  // namespace

void addCompare(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "compare", "Compare a results file with another or with a new run of its answers, number "
                   "by number and by name. Exit status 0: all agree; 1: a difference; 2: trouble");
    struct Options {
        std::string archived, fresh, answers, program;
        CompareOptions compare;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    cmd->add_option("ARCHIVED", o->archived, "the archived results file")->required();
    auto* fresh = cmd->add_option("NEW", o->fresh, "the results file to compare with it");
    cmd->add_option("--answers", o->answers,
                    "run the program on these answers and compare its results")
        ->excludes(fresh);
    cmd->add_option("--program", o->program,
                    "the program to run (default: $LAMVIS2_PROGRAM, or lamvis2 beside the kit)");
    cmd->add_option("--rel", o->compare.relative,
                    "numbers agree whose relative difference is at most R")->check(CLI::NonNegativeNumber);
    cmd->add_option("--abs", o->compare.absolute,
                    "numbers agree whose absolute difference is at most A")->check(CLI::NonNegativeNumber);
    cmd->add_flag("--legacy", o->compare.legacy,
                  "the archive came from the legacy program: differences that its known departures "
                  "explain are listed apart and not counted");
    cmd->add_flag("--json", o->json, "write JSON");
    cmd->callback([o, &status] {
        if (o->fresh.empty() == o->answers.empty()) {
            status = trouble("compare: give either NEW or --answers ANSWERS");
            return;
        }
        Results archived, fresh;
        std::string error;
        archived = readResultsFile(o->archived, error);
        if (error.empty() && !archived.ok())
            error = o->archived + ":" + std::to_string(archived.errorLine) + ": " + archived.error;
        if (!error.empty()) {
            status = trouble(error);
            return;
        }
        if (!o->answers.empty()) {
            std::optional<std::string> answers = readSmallFile(o->answers, 1 << 20, error);
            if (!answers) {
                status = trouble(error);
                return;
            }
            ProcessResult run = runCaptured(programCommand(o->program), *answers);
            if (!run.error.empty()) {
                status = trouble(run.error);
                return;
            }
            fresh = readResults(o->answers + " (new run)", run.out, run.err, run.status);
            if (!fresh.ok()) {
                status = trouble(o->answers + ": the program's output is not a results file: " + fresh.error);
                return;
            }
        } else {
            fresh = readResultsFile(o->fresh, error);
            if (error.empty() && !fresh.ok())
                error = o->fresh + ":" + std::to_string(fresh.errorLine) + ": " + fresh.error;
            if (!error.empty()) {
                status = trouble(error);
                return;
            }
        }
        Comparison c = compareResults(archived, fresh, o->compare);
        std::string out;
        if (o->json) {
            nlohmann::ordered_json j;
            j["archived"] = {{"file", archived.file}, {"sha256", archived.sha256}};
            j["new"] = {{"file", fresh.file}, {"sha256", fresh.sha256}};
            j["agree"] = c.agree();
            j["tolerance"] = {{"relative", o->compare.relative}, {"absolute", o->compare.absolute},
                              {"legacy", o->compare.legacy}};
            j["tables"] = nlohmann::ordered_json::array();
            for (const TableTally& t : c.tables)
                j["tables"].push_back({{"name", t.name}, {"count", t.count}, {"agree", t.agree},
                                       {"differ", t.differ}, {"explained", t.explained}});
            j["differences"] = nlohmann::ordered_json::array();
            for (const Difference& d : c.differences) j["differences"].push_back(differenceJson(d));
            j["explained"] = nlohmann::ordered_json::array();
            for (const Difference& d : c.explained) j["explained"].push_back(differenceJson(d));
            if (c.parting) {
                auto line = [](const DialogueLine& l) {
                    return l.line ? nlohmann::ordered_json{{"text", l.text}, {"line", l.line}}
                                  : nlohmann::ordered_json(nullptr);
                };
                j["parting"] = {{"after", c.parting->after}, {"archived", line(c.parting->archived)},
                                {"new", line(c.parting->fresh)}};
                if (!c.parting->why.empty()) j["parting"]["explained"] = c.parting->why;
            } else {
                j["parting"] = nullptr;
            }
            j["end"] = {{"archived", c.archivedEnd}, {"new", c.newEnd}, {"differ", c.endsDiffer}};
            out = j.dump(1) + "\n";
        } else {
            out = comparisonText(c, archived, fresh, o->compare);
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        status = c.agree() ? 0 : 1;
    });
}

}  // namespace kit
