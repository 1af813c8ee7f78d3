// Output of the test drivers: one list-directed line of text.
#pragma once

#include <string_view>

#include "consoleio/output.h"

inline void writeLine(std::string_view text) {
    beginWrite(CONSOLE_OUTPUT_UNIT, nullptr, -1);
    writeCharacter(text.data(), static_cast<int>(text.size()));
    endWrite();
}
