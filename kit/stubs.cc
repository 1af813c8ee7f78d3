// The subcommands not yet built: absent from the command line.
#include "kit/commands.h"
namespace kit {
void addCompare(CLI::App&, int&) {}
void addRun(CLI::App&, int&) {}
void addStudy(CLI::App&, int&) {}
}  // namespace kit
