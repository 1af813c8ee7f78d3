// lamvis2-kit read RESULTS [--answers ANSWERS] [--json | --csv]
#include <cstdio>
#include <memory>

#include "kit/commands.h"
#include "kit/load.h"
#include "kit/render.h"

namespace kit {

const char* const VERSION = "1.0.0";

void addRead(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "read", "Every number a results file prints, by name, with its text as printed and its "
                "value; the tables in order; where the run ended; the file's SHA-256");
    struct Options {
        std::string results;
        LoadOptions load;
        bool json = false, csv = false;
    };
    auto o = std::make_shared<Options>();
    cmd->add_option("RESULTS", o->results, "results file (what lamvis2 wrote; - for standard input)")
        ->required();
    cmd->add_option("--answers", o->load.answers,
                    "the answer file of the run: adds each prompt with the answer it took, found "
                    "by running the program on the answers (a .toml file is a case file: its answers)");
    cmd->add_option("--stderr", o->load.stderrFile,
                    "what the run wrote to standard error: its report, and so how it ended");
    cmd->add_option("--program", o->load.program,
                    "the program to run (default: $LAMVIS2_PROGRAM, or lamvis2 beside the kit)");
    cmd->add_option("-j,--jobs", o->load.jobs, "runs at a time for --answers (default: processors)");
    auto* json = cmd->add_flag("--json", o->json, "write JSON");
    cmd->add_flag("--csv", o->csv, "write CSV, one quantity a line")->excludes(json);
    cmd->callback([o, &status] {
        Results r;
        std::string error;
        if (!loadResults(o->results, o->load, r, error)) {
            status = trouble(error);
            return;
        }
        std::string out = o->json ? jsonText(toJson(r)) : o->csv ? toCsv(r) : toText(r);
        std::fwrite(out.data(), 1, out.size(), stdout);
        status = 0;
    });
}

}  // namespace kit
