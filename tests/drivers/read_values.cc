// Reads values from the console through input statements and prints them, so that
// whole-program tests can check the reader through pipes and through a terminal.
//
// The script comes from the first argument, or from the environment variable
// READ_VALUES_SCRIPT: words separated by blanks, one input statement per word, one item per
// letter (i = integer, r = real). A word that starts with p first writes the prompt
// "Value: ". After each statement one line shows the items' values separated by commas,
// "null" for a target the statement left untouched. The run then ends normally.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>

#include "consoleio/input.h"
#include "consoleio/output.h"
#include "runtime/error.h"
#include "app/startup.h"
#include "tests/drivers/driver_output.h"
#include "tests/read_statement.h"

int main(int argc, char** argv) {
    const char* script = argc > 1 ? argv[1] : std::getenv("READ_VALUES_SCRIPT");
    RunTime run;
    startRuntime(run);
    std::istringstream words(script ? script : "");
    std::string word;
    while (words >> word) {
        if (word[0] == 'p') {
            writeLine(run.console, "Value: ");
            word.erase(0, 1);
        }
        writeLine(run.console, runReadStatement(run.console, word));
    }
    endRun(run.errors, 0);
}
