// lamvis2-kit compare ARCHIVED (NEW | --answers ANSWERS) [--rel R] [--abs A] [--legacy] [--json]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "kit/batch.h"
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

// A tolerance is a number of zero or more; the message says so in words.
const CLI::Validator notNegative(
    [](std::string& text) -> std::string {
        char* end = nullptr;
        double v = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0' || !std::isfinite(v))
            return "\"" + text + "\" is not a number";
        if (v < 0) return text + " is negative: a tolerance is zero or more";
        return "";
    },
    "NUMBER >= 0");

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
                    "numbers agree whose relative difference is at most R")->check(notNegative);
    cmd->add_option("--abs", o->compare.absolute,
                    "numbers agree whose absolute difference is at most A")->check(notNegative);
    cmd->add_option("--floor", o->compare.floor,
                    "a noise floor F: a difference of at most F times the largest number of its table "
                    "(1e-6, say) is round-off, listed apart and not counted (default: none)")
        ->check(notNegative);
    cmd->add_flag("--legacy", o->compare.legacy,
                  "the archive came from the legacy program: differences that its known departures "
                  "explain are listed apart and not counted");
    cmd->add_flag("--json", o->json, "write JSON");
    cmd->callback([o, &status] {
        if (o->fresh.empty() == o->answers.empty()) {
            status = trouble("compare: give either NEW or --answers ANSWERS");
            return;
        }
        if ((o->archived == "-") + (o->fresh == "-") + (o->answers == "-") > 1) {
            status = trouble("compare: standard input (-) can be only one of the files");
            return;
        }
        std::optional<Provenance> program;
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
            std::optional<std::string> answers = readAnswers(o->answers, error);
            if (!answers) {
                status = trouble(error);
                return;
            }
            std::vector<std::string> command = programCommand(o->program);
            program = provenanceOf(command);
            ProcessResult run = runCaptured(command, *answers);
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
            auto side = [](const Results& r) {
                return nlohmann::ordered_json{{"file", r.file}, {"sha256", r.sha256},
                                              {"complete", r.end.complete}, {"warnings", r.warnings}};
            };
            j["archived"] = side(archived);
            j["new"] = side(fresh);
            j["kit"] = VERSION;
            j["program"] = program ? toJson(*program)["program"] : nlohmann::ordered_json(nullptr);
            j["agree"] = c.agree();
            j["tolerance"] = {{"relative", o->compare.relative}, {"absolute", o->compare.absolute},
                              {"legacy", o->compare.legacy}, {"floor", o->compare.floor}};
            j["tables"] = nlohmann::ordered_json::array();
            auto optional = [](std::optional<double> v) {
                if (!v) return nlohmann::ordered_json(nullptr);
                if (std::isinf(*v)) return nlohmann::ordered_json(nullptr);
                return nlohmann::ordered_json(*v);
            };
            for (const TableTally& t : c.tables)
                j["tables"].push_back({{"name", t.name}, {"count", t.count}, {"agree", t.agree},
                                       {"differ", t.differ}, {"explained", t.explained},
                                       {"round_off", t.roundOff}, {"scale", t.scale},
                                       {"largest_absolute", optional(t.largestAbsolute)},
                                       {"largest_relative", optional(t.largestRelative)}});
            j["differences"] = nlohmann::ordered_json::array();
            for (const Difference& d : c.differences) j["differences"].push_back(differenceJson(d));
            j["explained"] = nlohmann::ordered_json::array();
            for (const Difference& d : c.explained) j["explained"].push_back(differenceJson(d));
            j["round_off"] = nlohmann::ordered_json::array();
            for (const Difference& d : c.roundOff) j["round_off"].push_back(differenceJson(d));
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
            auto after = [](const Results& r) {
                return r.end.afterEnd.line ? nlohmann::ordered_json{{"text", r.end.afterEnd.text},
                                                                    {"line", r.end.afterEnd.line}}
                                           : nlohmann::ordered_json(nullptr);
            };
            j["after_end"] = {{"archived", after(archived)}, {"new", after(fresh)},
                              {"differ", c.afterEndDiffers}};
            out = j.dump(1) + "\n";
        } else {
            out = comparisonText(c, archived, fresh, o->compare);
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        status = c.agree() ? 0 : 1;
    });
}

}  // namespace kit
