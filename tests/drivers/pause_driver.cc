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
    startRuntime();
    const char* mode = argc > 1 ? argv[1] : std::getenv("PAUSE_DRIVER_MODE");
    const bool readAfter = mode != nullptr && std::strcmp(mode, "read") == 0;
    writeLine("Before pause");
    pauseForInput(16, "Singular matrix.");
    writeLine("After pause");
    if (readAfter) {
        std::int32_t value = 0;
        beginRead(CONSOLE_INPUT_UNIT);
        readIntegerItem(value);
        endRead();
        beginWrite(CONSOLE_OUTPUT_UNIT, nullptr, 0);
        writeCharacter("Value", 5);
        writeInteger(value);
        endWrite();
    }
    endRun(0);
}
