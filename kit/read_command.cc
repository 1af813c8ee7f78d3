// lamvis2-kit read RESULTS [--answers ANSWERS] [--json | --csv]
#include <cstdio>
#include <memory>

#include "kit/batch.h"
#include "kit/commands.h"
#include "kit/load.h"
#include "kit/render.h"

namespace kit {

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
        std::optional<Provenance> program;
        if (!loadResults(o->results, o->load, r, error, &program)) {
            status = trouble(error);
            return;
        }
        // Where the numbers come from: the kit, and the program when it ran one (without
        // --answers the results file's program is not known to it).
        Provenance kitOnly;
        kitOnly.kit = VERSION;
        const Provenance& p = program ? *program : kitOnly;
        std::string out;
        if (o->json) {
            nlohmann::ordered_json j = toJson(r);
            if (program) j["program"] = toJson(p)["program"];
            out = jsonText(j);
        } else if (o->csv) {
            // The provenance as rows of their own kind before the quantities.
            std::string csv = toCsv(r);
            std::size_t headerEnd = csv.find('\n') + 1;
            std::string rows;
            std::string warnings;
            for (const std::string& w : r.warnings) warnings += (warnings.empty() ? "" : "; ") + w;
            std::vector<std::pair<std::string, std::string>> facts = {
                {"sha256", r.sha256}, {"complete", r.end.complete ? "true" : "false"},
                {"warnings", oneLine(warnings)}, {"kit", p.kit}, {"program", p.program},
                {"program_sha256", p.programSha256}};
            for (const auto& [name, text] : facts)
                rows += name + ",provenance,," + csvField(text) + ",,0,,,\n";
            out = csv.substr(0, headerEnd) + rows + csv.substr(headerEnd);
        } else {
            out = toText(r);
            std::size_t at = out.find("\nend:") + 1;
            out.insert(at, "kit:      lamvis2-kit " + p.kit + "\nprogram:  " +
                               (program ? p.program + " (sha256 " + p.programSha256 + ")"
                                        : std::string("none run (the results are read as they are)")) +
                               "\n");
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        status = 0;
    });
}

}  // namespace kit
