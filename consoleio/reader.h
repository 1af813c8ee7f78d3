// The console record reader: the console input record is filled from standard input when
// the bytes it holds are used up.
#pragma once

#include "consoleio/record.h"

// Reads the next record into the unit's buffer (one typed line on a terminal; otherwise the
// next line of the input, or its next 132 bytes). End of input raises F6501, a failed read
// F6500, a terminal line over 130 characters F6407, with the kind of the most recent
// statement.
void fillRecord(UnitRecord& unit);

// The next byte of the unit's record, reading a new record when it is used up.
inline char takeRecordByte(UnitRecord& unit) {
    if (unit.position > unit.lastIndex) fillRecord(unit);
    return unit.recordBuffer[unit.position++];
}

// Finishes the current line: on a terminal the buffer (one line) is dropped, reading and
// dropping a line first when nothing has been read; otherwise bytes are skipped up to and
// including the next LF. The owed output line end has been written by now.
void completeInputRecord(UnitRecord& unit);

// Takes the next byte through the console input connection, as an input statement takes
// it (the pause reads its redirected answer so).
char takeConsoleByte(ConsoleUnits& units);
