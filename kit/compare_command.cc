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
            nlohmann::ordered_json j = toJson(c, archived, fresh, o->compare);
            j["program"] = program ? toJson(*program)["program"] : nlohmann::ordered_json(nullptr);
            out = jsonText(j);
        } else {
            out = comparisonText(c, archived, fresh, o->compare);
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        status = c.agree() ? 0 : 1;
    });
}

}  // namespace kit
