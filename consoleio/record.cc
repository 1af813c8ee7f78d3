// The console's unit records and the record machinery shared by list-directed and formatted
// output: placing characters, flushing full buffers in chunks, the record end with its lazy
// line end, and the console's carriage control.
#include "consoleio/record.h"

#include <cstring>
#include <memory>

#include "runtime/console.h"
#include "runtime/error.h"

namespace {

// The longest line control: CR LF FF CR blank CR.
constexpr int LINE_CONTROL_MAX = 6;

// The line control chosen by a record's carriage-control character: the bytes written
// before the rest of the record's first chunk. Returns their count.
int lineControl(const UnitRecord& unit, char control, char* bytes) {
    const char* text = "";
    switch (control) {
        case '+':
            text = "\r";
            break;
        case '0':
            text = unit.lineOpen ? "\r\n\r\n" : "\r\n";
            break;
        case '1':
            text = "\r\n\f\r \r";
            break;
        default:
            if (unit.lineOpen) text = "\r\n";
            break;
    }
    const int count = static_cast<int>(std::strlen(text));
    std::memcpy(bytes, text, static_cast<std::size_t>(count));
    return count;
}

// Writes the buffered characters as one chunk of the current record. The first chunk goes
// out in one write with the line control before it (the owed line end of the record
// before, mostly).
void flushChunk(UnitRecord& unit) {
    const char* bytes = unit.recordBuffer;
    int count = unit.position;
    if (!unit.recordStarted && count > 0) {
        char chunk[LINE_CONTROL_MAX + CONSOLE_RECORD_LENGTH];
        int control = 0;
        if (unit.carriageControl) {
            control = lineControl(unit, bytes[0], chunk);
            ++bytes;
            --count;
        } else if (unit.lineOpen) {
            control = lineControl(unit, ' ', chunk);
        }
        std::memcpy(chunk + control, bytes, static_cast<std::size_t>(count));
        // The owed line end stays owed until the write has been made.
        if (control + count > 0) writeConsoleBytes(unit, unit.descriptor, chunk, control + count);
        unit.recordStarted = true;
        unit.lineOpen = false;
        unit.position = 0;
        return;
    }
    if (count > 0) writeConsoleBytes(unit, unit.descriptor, bytes, count);
    unit.position = 0;
}

// Room for `wanted` characters in the buffer: a full buffer is written out first, only
// when there is another character to place in the record.
int makeRoom(UnitRecord& unit, int wanted) {
    if (unit.position == CONSOLE_RECORD_LENGTH) flushChunk(unit);
    const int room = CONSOLE_RECORD_LENGTH - unit.position;
    return wanted < room ? wanted : room;
}

}  // namespace

void ConsoleUnits::open() {
    Console& console = platformConsole();
    inputTerminal_ = console.isTerminal(STANDARD_INPUT);
    shared_ = inputTerminal_ && console.isTerminal(STANDARD_OUTPUT);
    input_ = std::make_unique<UnitRecord>(errors_);
    input_->descriptor = STANDARD_INPUT;
    input_->terminal = inputTerminal_;
    input_->trace = &trace;
    if (shared_) {
        output_.reset();
    } else {
        output_ = std::make_unique<UnitRecord>(errors_);
        output_->descriptor = STANDARD_OUTPUT;
        output_->trace = &trace;
    }
}

void ConsoleUnits::close() {
    input_.reset();
    output_.reset();
    shared_ = false;
    inputTerminal_ = false;
}

void writeConsoleBytes(UnitRecord& output, int descriptor, const char* bytes, long count) {
    while (count > 0) {
        long written = platformConsole().write(descriptor, bytes, count);
        if (written <= 0) {
            // The device is gone: no line end is owed to it any more.
            output.broken = true;
            output.lineOpen = false;
            raiseRuntimeError(output.errors, ErrorCode::WriteFailed, StatementKind::Write);
        }
        if (descriptor == STANDARD_OUTPUT && output.trace != nullptr)
            output.trace->outputBytes += written;
        bytes += written;
        count -= written;
    }
}

void addPendingBlanks(UnitRecord& unit, int count) {
    if (count > 0) unit.pendingBlanks += count;
}

void placeCharacters(UnitRecord& unit, const char* text, int count) {
    if (count <= 0) return;
    while (unit.pendingBlanks > 0) {
        const int n = makeRoom(unit, unit.pendingBlanks);
        std::memset(unit.recordBuffer + unit.position, ' ', static_cast<std::size_t>(n));
        unit.position += n;
        unit.charsInRecord += n;
        unit.pendingBlanks -= n;
    }
    while (count > 0) {
        const int n = makeRoom(unit, count);
        std::memcpy(unit.recordBuffer + unit.position, text, static_cast<std::size_t>(n));
        unit.position += n;
        unit.charsInRecord += n;
        text += n;
        count -= n;
    }
}

void endRecord(UnitRecord& unit) {
    unit.pendingBlanks = 0;
    if (unit.charsInRecord == 0) placeCharacters(unit, " ", 1);
    flushChunk(unit);
    unit.lineOpen = true;
    unit.recordStarted = false;
    unit.charsInRecord = 0;
}

void writeOwedLineEnd(UnitRecord& unit) {
    if (unit.lineOpen) writeConsoleBytes(unit, STANDARD_OUTPUT, "\r\n", 2);
}

void closeDownConsole(void* context) {
    ConsoleUnits& units = *static_cast<ConsoleUnits*>(context);
    if (!units.isOpen()) return;
    UnitRecord& output = units.output();
    if (output.lineOpen && !output.broken) {
        output.lineOpen = false;
        if (platformConsole().write(STANDARD_OUTPUT, "\r\n", 2) != 2) {
            output.broken = true;
            reportRuntimeError(output.errors, 6000 + messageNumber(ErrorCode::WriteFailed),
                               messageText(ErrorCode::WriteFailed), StatementKind::Write);
        }
    }
    units.close();
}

void resetConsoleAfterError(void* context) {
    ConsoleUnits& units = *static_cast<ConsoleUnits*>(context);
    if (!units.isOpen()) return;
    UnitRecord& input = units.input();
    if (units.shared()) {
        input.position = 0;
        input.lastIndex = -1;
    }
    input.endOfFile = false;
}
