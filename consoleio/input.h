// List-directed console input: input statements of one item each, over the record
// reader (consoleio/reader.h), the value scanner (consoleio/scanner.h) and the conversions
// (consoleio/conversion.h).
#pragma once

#include <cstdint>

#include "consoleio/conversion.h"

// The console's default input unit, and the preconnected input unit the analysis names,
// which selects the same console input connection.
constexpr int CONSOLE_INPUT_UNIT = -34001;
constexpr int NUMBERED_INPUT_UNIT = 5;

// Opens an input statement on `unit` (CONSOLE_INPUT_UNIT or NUMBERED_INPUT_UNIT).
void beginRead(int unit);

// Transfer one value into the target; a null value leaves it unchanged. The first item of
// a statement also starts the statement (closes an owed output line on a shared console).
// An error does not return (the run ends with the error report).
void readIntegerItem(std::int32_t& target);
void readRealItem(float& target);

// Finishes the statement: unless the last value ended with its line, the rest of the
// current line is discarded, so the next statement starts on a new line.
void endRead();

// Resets the console reader's process-wide state; for tests.
void resetConsoleInput();
