// The console record reader: fills the console input record from standard input, one typed
// line per read on a terminal, otherwise one line of a read-ahead in pieces of 132 bytes.
#include "consoleio/reader.h"

#include <algorithm>
#include <cstring>

#include "consoleio/conversion.h"
#include "runtime/console.h"
#include "runtime/error.h"

namespace {

// A console line may hold at most this many characters before its line end.
constexpr int CONSOLE_LINE_LIMIT = 130;

// Errors of the record reader are reported with the kind of the statement the byte is
// taken for: READ inside an input statement, WRITE when the pause reads after output.
[[noreturn]] void raiseRecordError(const UnitRecord& unit, ErrorCode code) {
    ErrorState& errors = unit.errors;
    errors.nameConnection("CON");
    raiseRuntimeError(errors, code, errors.lastStatementKind);
}

// A terminal record: one read call gives one typed line with its CR LF.
void fillTerminalRecord(UnitRecord& unit) {
    char* buffer = unit.recordBuffer;
    const long n = platformConsole().read(STANDARD_INPUT, buffer, CONSOLE_RECORD_LENGTH);
    unit.position = 0;
    unit.lastIndex = -1;
    if (n == 0) {
        unit.endOfFile = true;
        raiseRecordError(unit, ErrorCode::EndOfFile);
    }
    if (n < 0 || n > CONSOLE_RECORD_LENGTH) raiseRecordError(unit, ErrorCode::ReadFailed);
    unit.lastIndex = static_cast<int>(n - 1);
    if (n < CONSOLE_RECORD_LENGTH && buffer[n - 1] != '\n') {
        buffer[n] = '\n';
        unit.lastIndex = static_cast<int>(n);
    }
    if (n == CONSOLE_RECORD_LENGTH) {
        // A full read holds at least 131 characters unless it ends in CR LF.
        bool endsInCrLf = buffer[n - 1] == '\n' && buffer[n - 2] == '\r';
        static_assert(CONSOLE_RECORD_LENGTH - 2 == CONSOLE_LINE_LIMIT);
        if (!endsInCrLf) raiseRecordError(unit, ErrorCode::ConsoleLineTooLong);
    }
    // Ctrl-Z typed before the line end marks the end of input.
    if (n >= 3 && buffer[n - 3] == CTRL_Z) {
        unit.endOfFile = true;
        raiseRecordError(unit, ErrorCode::EndOfFile);
    }
}

// Whether the line that ends in this record ends in Ctrl-Z: its last byte before the line
// end (CR LF, LF, or the end of the input), which may lie in the piece before.
bool lineEndsInCtrlZ(const ReadAhead& ahead, const char* record, int length, bool byEndOfInput) {
    char last[4];
    int count = 0;
    if (ahead.lineContinues) {
        last[count++] = ahead.pieceTail[0];
        last[count++] = ahead.pieceTail[1];
    }
    const int contentLength = byEndOfInput ? length : length - 1;
    for (int i = std::max(0, contentLength - 2); i < contentLength; ++i) last[count++] = record[i];
    if (!byEndOfInput && count > 0 && last[count - 1] == '\r') --count;
    return count > 0 && last[count - 1] == CTRL_Z;
}

// A redirected record: the next line of the read-ahead up to and including its LF, or its
// next 132 bytes when it is longer. Reads of at most 132 bytes are made only when the
// read-ahead holds no whole record, so a producer that writes one line at a time is served
// at once, and the records do not depend on how a pipe happens to split the bytes. The
// last line of the input gets an LF when it has none.
void fillRedirectedRecord(UnitRecord& unit) {
    ReadAhead& ahead = unit.readAhead;
    unit.position = 0;
    unit.lastIndex = -1;
    int length = 0;
    bool lineEnded = false;  // by its LF
    for (;;) {
        const int available = ahead.end - ahead.start;
        const char* first = ahead.bytes + ahead.start;
        const int limit = std::min(available, CONSOLE_RECORD_LENGTH);
        if (const void* lf = std::memchr(first, '\n', static_cast<std::size_t>(limit))) {
            length = static_cast<int>(static_cast<const char*>(lf) - first) + 1;
            lineEnded = true;
            break;
        }
        if (available >= CONSOLE_RECORD_LENGTH || ahead.inputEnded) {
            length = limit;
            break;
        }
        std::memmove(ahead.bytes, first, static_cast<std::size_t>(available));
        ahead.start = 0;
        ahead.end = available;
        const long got =
            platformConsole().read(STANDARD_INPUT, ahead.bytes + available, CONSOLE_RECORD_LENGTH);
        if (got < 0 || got > CONSOLE_RECORD_LENGTH) raiseRecordError(unit, ErrorCode::ReadFailed);
        if (got == 0) ahead.inputEnded = true;
        ahead.end += static_cast<int>(got);
    }
    const bool byEndOfInput = !lineEnded && ahead.inputEnded && length < CONSOLE_RECORD_LENGTH;
    if (byEndOfInput && length == 0 && !ahead.lineContinues) {
        unit.endOfFile = true;
        raiseRecordError(unit, ErrorCode::EndOfFile);
    }
    char* record = unit.recordBuffer;
    std::memcpy(record, ahead.bytes + ahead.start, static_cast<std::size_t>(length));
    ahead.start += length;
    if ((lineEnded || byEndOfInput) && lineEndsInCtrlZ(ahead, record, length, byEndOfInput)) {
        unit.endOfFile = true;
        raiseRecordError(unit, ErrorCode::EndOfFile);
    }
    ahead.lineContinues = !lineEnded && !byEndOfInput;
    if (ahead.lineContinues) {
        ahead.pieceTail[0] = record[length - 2];
        ahead.pieceTail[1] = record[length - 1];
    }
    if (byEndOfInput) record[length++] = '\n';
    unit.lastIndex = length - 1;
}

}  // namespace

void fillRecord(UnitRecord& unit) {
    // A typed record is a line; a redirected one begins a line unless the one before was a
    // piece of a longer line.
    // The read trace notes it before the read, which may find the end of the input.
    const bool startsLine = unit.terminal || !unit.readAhead.lineContinues;
    if (startsLine && unit.trace != nullptr) unit.trace->lineBegins();
    if (unit.terminal) fillTerminalRecord(unit);
    else fillRedirectedRecord(unit);
}

void completeInputRecord(UnitRecord& unit) {
    if (unit.terminal) {
        if (unit.lastIndex < 0) fillRecord(unit);
        unit.position = 0;
        unit.lastIndex = -1;
    } else {
        while (takeRecordByte(unit) != '\n') {
        }
    }
    unit.lineOpen = false;
}

char takeConsoleByte(ConsoleUnits& units) {
    UnitRecord& unit = units.input();
    unit.descriptor = STANDARD_INPUT;
    return takeRecordByte(unit);
}
