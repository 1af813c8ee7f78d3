// lamvis2-kit answers CASE; lamvis2-kit case CASE [--json]
#include <cstdio>
#include <memory>

#include "kit/case_file.h"
#include "kit/commands.h"
#include "kit/files.h"
#include "kit/load.h"
#include "kit/render.h"

namespace kit {

namespace {
// A case file, whatever its name.
std::optional<CaseFile> loadCase(const std::string& path, std::string& error) {
    std::optional<std::string> bytes = readSmallFile(path, 1 << 20, error);
    if (!bytes) return std::nullopt;
    return readCase(*bytes, path, error);
}
}  // namespace

void addAnswers(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "answers", "The answer file of a case file, as the kit gives it to the program. Exit "
                   "status 0, or 2 with FILE:LINE for a bad case (nothing on standard output)");
    auto path = std::make_shared<std::string>();
    cmd->add_option("CASE", *path, "case file (TOML; verification/README.md)")->required();
    cmd->callback([path, &status] {
        std::string error;
        std::optional<std::string> bytes = readSmallFile(*path, 1 << 20, error);
        std::optional<std::string> answers = bytes ? caseFileAnswers(*path, *bytes, error) : bytes;
        if (!answers) {
            status = trouble(error);
            return;
        }
        std::fwrite(answers->data(), 1, answers->size(), stdout);
        status = 0;
    });
}

void addCase(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "case", "Check a case file against the case format; with --json, print it as the kit "
                "read it (sets, plies, loads, strengths, expected numbers, the answers it "
                "writes). Exit status 0, or 2 with FILE:LINE for a bad case");
    struct Options {
        std::string path;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    cmd->add_option("CASE", o->path, "case file (TOML; verification/README.md)")->required();
    cmd->add_flag("--json", o->json, "write the case as JSON");
    cmd->callback([o, &status] {
        std::string error;
        std::optional<CaseFile> c = loadCase(o->path, error);
        if (!c) {
            status = trouble(error);
            return;
        }
        std::string out;
        if (o->json) {
            out = jsonText(toJson(*c));
        } else {
            int withStrengths = 0;
            for (const CaseSet& s : c->sets) withStrengths += s.strengths ? 1 : 0;
            out = o->path + ": a good case file: " + std::to_string(c->sets.size()) + " set(s) (" +
                  std::to_string(withStrengths) + " with strengths), " +
                  (c->answersFile.empty() ? std::to_string(c->plies.size()) + " ply(ies), "
                                          : "answers from " + c->answersFile + ", ") +
                  std::to_string(c->expect.size()) + " expected number(s)\n";
            for (const std::string& note : c->notes) out += "note: " + note + "\n";
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        status = 0;
    });
}

}  // namespace kit
