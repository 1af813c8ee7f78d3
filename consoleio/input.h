// List-directed console input: input statements of one item each, over the record
// reader (consoleio/reader.h), the value scanner (consoleio/scanner.h) and the conversions
// (consoleio/conversion.h).
#pragma once

#include <cstdint>

#include "consoleio/conversion.h"
#include "consoleio/scanner.h"

// The console's default input unit, and the preconnected input unit the analysis names,
// which selects the same console input connection.
constexpr int CONSOLE_INPUT_UNIT = -34001;
constexpr int NUMBERED_INPUT_UNIT = 5;

// The input statement in progress.
struct InputStatement {
    bool started = false;   // the statement start has run (at the first item)
    bool finished = false;  // a slash ended the item list: further items are not read
};

// The input side of a run's console I/O: the statement and its value scanner.
struct InputState {
    ListScanner scan;
    InputStatement statement;
};

struct ConsoleIo;

// Opens an input statement on `unit` (CONSOLE_INPUT_UNIT or NUMBERED_INPUT_UNIT).
void beginRead(ConsoleIo& io, int unit);

// Transfer one value into the target; a null value leaves it unchanged. The first item of
// a statement also starts the statement (closes an owed output line on a shared console).
// An error does not return (the run ends with the error report).
void readIntegerItem(ConsoleIo& io, std::int32_t& target);
void readRealItem(ConsoleIo& io, float& target);

// Finishes the statement: unless the last value ended with its line, the rest of the
// current line is discarded, so the next statement starts on a new line.
void endRead(ConsoleIo& io);
