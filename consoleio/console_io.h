// Everything of the console formatted input and output that lives for a run: the console's
// records, the input statement with its scanner, the output statement with its format
// cache. One object a run: the start-up makes it and the session is given it, so that a
// second run in the same process starts from nothing. Its statements, records and pause
// raise their errors in the run's error state, which it is given.
#pragma once

#include "consoleio/input.h"
#include "consoleio/output.h"
#include "consoleio/record.h"
#include "runtime/error.h"

struct ConsoleIo {
    explicit ConsoleIo(ErrorState& runErrors) : errors(runErrors), units(runErrors) {}

    ErrorState& errors;
    ConsoleUnits units;
    InputState input;
    OutputState output;
};
