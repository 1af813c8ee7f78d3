// The subcommands, each added to the command line with its options; `status` receives the
// exit status of the one that ran.
#pragma once

#include <CLI/CLI.hpp>

namespace kit {

extern const char* const VERSION;

void addRead(CLI::App& app, int& status);
void addCompare(CLI::App& app, int& status);
void addRun(CLI::App& app, int& status);
void addStudy(CLI::App& app, int& status);
void addAnswers(CLI::App& app, int& status);
void addCase(CLI::App& app, int& status);
void addStrength(CLI::App& app, int& status);
void addEnvelope(CLI::App& app, int& status);

}  // namespace kit
