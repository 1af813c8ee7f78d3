// Test driver for the pause: after the real start-up it writes a line, pauses with the
// text of a singular matrix, writes another line and then either ends ("end", the default)
// or reads one integer and writes it back ("read"); the mode comes from the argument or,
// when there is none, from PAUSE_DRIVER_MODE.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "consoleio/input.h"
#include "consoleio/output.h"
#include "runtime/error.h"
#include "consoleio/pause.h"
#include "app/startup.h"
#include "tests/drivers/driver_output.h"

int main(int argc, char** argv) {
    RunTime run;
    startRuntime(run);
    const char* mode = argc > 1 ? argv[1] : std::getenv("PAUSE_DRIVER_MODE");
    const bool readAfter = mode != nullptr && std::strcmp(mode, "read") == 0;
    writeLine(run.console, "Before pause");
    pauseForInput(run.console.units, 16, "Singular matrix.");
    writeLine(run.console, "After pause");
    if (readAfter) {
        std::int32_t value = 0;
        beginRead(run.console, CONSOLE_INPUT_UNIT);
        readIntegerItem(run.console, value);
        endRead(run.console);
        beginWrite(run.console, CONSOLE_OUTPUT_UNIT, nullptr, 0);
        writeCharacter(run.console, "Value", 5);
        writeInteger(run.console, value);
        endWrite(run.console);
    }
    endRun(run.errors, 0);
}
