// lamvis2-kit: the printed results of lamvis2 as data. Subcommands: read, compare, run,
// study, answers, case (each with --help). Exit status: 0 all well (compare: everything agrees), 1 a
// difference or a run that ended in a report, 2 trouble (bad input, no program).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "kit/commands.h"

int main(int argc, char** argv) {
    CLI::App app{"lamvis2-kit: the printed results of lamvis2 read as data, compared, run in "
                 "batches and studies; a case file (.toml) is taken wherever an answer file is"};
    app.require_subcommand(1);
    // Options are --name on every platform: a Windows argument that starts with a slash is a
    // file name (a path under wine, say), not an option. Set before the subcommands, which
    // inherit it.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("lamvis2-kit ") + kit::VERSION);
    int status = 0;
    kit::addRead(app, status);
    kit::addCompare(app, status);
    kit::addRun(app, status);
    kit::addStudy(app, status);
    kit::addAnswers(app, status);
    kit::addCase(app, status);
    kit::addStrength(app, status);
    kit::addEnvelope(app, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }
    std::fflush(stdout);
    return status;
}
