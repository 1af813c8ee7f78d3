// List-directed console input statements: beginRead, one item, endRead. The first item
// starts the statement (an owed output line on a shared console is ended first); the items
// take their values from the scanner, which takes its bytes from the record reader.
#include "consoleio/input.h"

#include "consoleio/console_io.h"
#include "consoleio/reader.h"
#include "consoleio/record.h"
#include "consoleio/scanner.h"
#include "runtime/console.h"

namespace {

UnitRecord& startStatement(ConsoleIo& io) {
    InputStatement& statement = io.input.statement;
    UnitRecord& unit = io.units.input();
    unit.descriptor = STANDARD_INPUT;
    if (!statement.started) {
        statement.started = true;
        if (unit.lineOpen) {
            // Only a shared record: the prompt's line is ended before the user types, and
            // the bytes of the output record are no input.
            writeConsoleBytes(unit, STANDARD_OUTPUT, "\r\n", 2);
            unit.position = 0;
            unit.lastIndex = -1;
        }
        io.input.scan = ListScanner{};
    }
    return unit;
}

}  // namespace

void beginRead(ConsoleIo& io, int unit) {
    if (unit != CONSOLE_INPUT_UNIT && unit != NUMBERED_INPUT_UNIT) {
        raiseRuntimeError(io.errors, ErrorCode::UnitNumberInvalid, StatementKind::General);
    }
    io.errors.lastStatementKind = StatementKind::Read;
    io.errors.nameConnection("CON");
    io.input.statement = InputStatement{};
    io.units.trace.beginStatement();
}

namespace {

// Transfers one value into `target` through `convert`; a null value leaves it as it was.
template <typename Target, typename Convert>
void readItem(ConsoleIo& io, Target& target, ItemType type, Convert convert) {
    UnitRecord& unit = startStatement(io);
    InputStatement& statement = io.input.statement;
    ListScanner& scan = io.input.scan;
    if (statement.finished) return;
    if (scan.scanValue(unit, type)) {
        auto result = convert(scan.tokenText(), scan.mode);
        if (!result.ok) raiseRuntimeError(io.errors, result.error, StatementKind::Read);
        target = result.value;
    }
    // After an item: a slash ends the item list unless a repeated value is still owed.
    if (scan.endsItemList()) statement.finished = true;
}

}  // namespace

void readIntegerItem(ConsoleIo& io, std::int32_t& target) {
    readItem(io, target, ItemType::Integer, parseIntegerToken);
}

void readRealItem(ConsoleIo& io, float& target) {
    readItem(io, target, ItemType::Real, parseRealToken);
}

void endRead(ConsoleIo& io) {
    UnitRecord& unit = startStatement(io);
    if (!io.input.scan.endedAtLineEnd) completeInputRecord(unit);
    io.input.statement = InputStatement{};
}
