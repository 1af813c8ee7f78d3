// The console's unit records and the record machinery shared by list-directed and formatted
// output: placing characters, flushing full buffers in chunks, the record end with its lazy
// line end, and the console's carriage control.
#include "consoleio/record.h"

#include <memory>

#include "runtime/console.h"
#include "runtime/error.h"

namespace {

std::unique_ptr<UnitRecord> inputUnit;
std::unique_ptr<UnitRecord> outputUnit;  // null when the input record is shared
bool shared = false;

// Writes the line control chosen by a record's carriage-control character.
void writeLineControl(UnitRecord& unit, char control) {
    switch (control) {
        case '+':
            writeConsoleBytes(unit.descriptor, "\r", 1);
            break;
        case '0':
            if (unit.lineOpen) writeConsoleBytes(unit.descriptor, "\r\n\r\n", 4);
            else writeConsoleBytes(unit.descriptor, "\r\n", 2);
            break;
        case '1':
            writeConsoleBytes(unit.descriptor, "\r\n\f\r \r", 6);
            break;
        default:
            if (unit.lineOpen) writeConsoleBytes(unit.descriptor, "\r\n", 2);
            break;
    }
}

// Writes the buffered characters as one chunk of the current record.
void flushChunk(UnitRecord& unit) {
    const char* bytes = unit.recordBuffer;
    int count = unit.position;
    if (!unit.recordStarted && count > 0) {
        if (unit.carriageControl) {
            writeLineControl(unit, bytes[0]);
            ++bytes;
            --count;
        } else if (unit.lineOpen) {
            writeConsoleBytes(unit.descriptor, "\r\n", 2);
        }
        unit.recordStarted = true;
        unit.lineOpen = false;
    }
    if (count > 0) writeConsoleBytes(unit.descriptor, bytes, count);
    unit.position = 0;
}

void placeOne(UnitRecord& unit, char c) {
    if (unit.position == CONSOLE_RECORD_LENGTH) flushChunk(unit);
    unit.recordBuffer[unit.position++] = c;
    ++unit.charsInRecord;
}

}  // namespace

void openConsoleUnits() {
    Console& console = platformConsole();
    shared = console.isTerminal(STANDARD_INPUT) && console.isTerminal(STANDARD_OUTPUT);
    inputUnit = std::make_unique<UnitRecord>();
    inputUnit->descriptor = STANDARD_INPUT;
    if (shared) {
        outputUnit.reset();
    } else {
        outputUnit = std::make_unique<UnitRecord>();
        outputUnit->descriptor = STANDARD_OUTPUT;
    }
}

void closeConsoleUnits() {
    inputUnit.reset();
    outputUnit.reset();
    shared = false;
}

bool consoleUnitsOpen() { return inputUnit != nullptr; }

bool consoleShared() { return shared; }

UnitRecord& consoleInputUnit() {
    if (!inputUnit) openConsoleUnits();
    return *inputUnit;
}

UnitRecord& consoleOutputUnit() {
    if (!inputUnit) openConsoleUnits();
    return shared ? *inputUnit : *outputUnit;
}

void writeConsoleBytes(int descriptor, const char* bytes, long count) {
    while (count > 0) {
        long written = platformConsole().write(descriptor, bytes, count);
        if (written <= 0) {
            if (consoleUnitsOpen()) {
                // The device is gone: no line end is owed to it any more.
                UnitRecord& output = consoleOutputUnit();
                output.broken = true;
                output.lineOpen = false;
            }
            raiseRuntimeError(ErrorCode::WriteFailed, StatementKind::Write);
        }
        bytes += written;
        count -= written;
    }
}

void addPendingBlanks(UnitRecord& unit, int count) {
    if (count > 0) unit.pendingBlanks += count;
}

void placeCharacters(UnitRecord& unit, const char* text, int count) {
    if (count <= 0) return;
    for (; unit.pendingBlanks > 0; --unit.pendingBlanks) placeOne(unit, ' ');
    for (int i = 0; i < count; ++i) placeOne(unit, text[i]);
}

void endRecord(UnitRecord& unit) {
    unit.pendingBlanks = 0;
    if (unit.charsInRecord == 0) placeOne(unit, ' ');
    flushChunk(unit);
    unit.lineOpen = true;
    unit.recordStarted = false;
    unit.charsInRecord = 0;
}

void writeOwedLineEnd(UnitRecord& unit) {
    if (unit.lineOpen) writeConsoleBytes(STANDARD_OUTPUT, "\r\n", 2);
}

void closeDownConsole() {
    if (!consoleUnitsOpen()) return;
    UnitRecord& output = consoleOutputUnit();
    if (output.lineOpen && !output.broken) {
        output.lineOpen = false;
        if (platformConsole().write(STANDARD_OUTPUT, "\r\n", 2) != 2) {
            output.broken = true;
            reportRuntimeError(6000 + messageNumber(ErrorCode::WriteFailed),
                               messageText(ErrorCode::WriteFailed), StatementKind::Write);
        }
    }
    closeConsoleUnits();
}

void resetConsoleAfterError() {
    if (!consoleUnitsOpen()) return;
    UnitRecord& input = consoleInputUnit();
    if (consoleShared()) {
        input.position = 0;
        input.lastIndex = -1;
    }
    input.endOfFile = false;
}
