// Output of the test drivers: one list-directed line of text.
#pragma once

#include <string_view>

#include "consoleio/console_io.h"

inline void writeLine(ConsoleIo& io, std::string_view text) {
    beginWrite(io, CONSOLE_OUTPUT_UNIT, nullptr, -1);
    writeCharacter(io, text.data(), static_cast<int>(text.size()));
    endWrite(io);
}
