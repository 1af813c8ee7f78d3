// The subcommands not yet built: absent from the command line.
#include "kit/commands.h"
namespace kit {
void addStudy(CLI::App&, int&) {}
}  // namespace kit
