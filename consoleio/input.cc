// List-directed console input statements: beginRead, one item, endRead. The first item
// starts the statement (an owed output line on a shared console is ended first); the items
// take their values from the scanner, which takes its bytes from the record reader.
#include "consoleio/input.h"

#include "consoleio/reader.h"
#include "consoleio/record.h"
#include "consoleio/scanner.h"
#include "runtime/console.h"

namespace {

// The input statement in progress.
struct InputStatement {
    bool started = false;   // the statement start has run (at the first item)
    bool finished = false;  // a slash ended the item list: further items are not read
};

ListScanner scan;
InputStatement statement;

[[noreturn]] void raiseReadError(ErrorCode code) {
    raiseRuntimeError(code, StatementKind::Read);
}

UnitRecord& startStatement() {
    UnitRecord& unit = consoleInputUnit();
    unit.descriptor = STANDARD_INPUT;
    if (!statement.started) {
        statement.started = true;
        if (unit.lineOpen) {
            // Only a shared record: the prompt's line is ended before the user types, and
            // the bytes of the output record are no input.
            writeConsoleBytes(STANDARD_OUTPUT, "\r\n", 2);
            unit.position = 0;
            unit.lastIndex = -1;
        }
        scan = ListScanner{};
    }
    return unit;
}

}  // namespace

void beginRead(int unit) {
    if (unit != CONSOLE_INPUT_UNIT && unit != NUMBERED_INPUT_UNIT) {
        raiseRuntimeError(ErrorCode::UnitNumberInvalid, StatementKind::General);
    }
    setCurrentStatementKind(StatementKind::Read);
    setCurrentConnectionName("CON");
    statement = InputStatement{};
}

namespace {

// Transfers one value into `target` through `convert`; a null value leaves it as it was.
template <typename Target, typename Convert>
void readItem(Target& target, ItemType type, Convert convert) {
    UnitRecord& unit = startStatement();
    if (statement.finished) return;
    if (scan.scanValue(unit, type)) {
        auto result = convert(scan.tokenText(), scan.mode);
        if (!result.ok) raiseReadError(result.error);
        target = result.value;
    }
    // After an item: a slash ends the item list unless a repeated value is still owed.
    if (scan.endsItemList()) statement.finished = true;
}

}  // namespace

void readIntegerItem(std::int32_t& target) {
    readItem(target, ItemType::Integer, parseIntegerToken);
}

void readRealItem(float& target) { readItem(target, ItemType::Real, parseRealToken); }

void endRead() {
    UnitRecord& unit = startStatement();
    if (!scan.endedAtLineEnd) completeInputRecord(unit);
    statement = InputStatement{};
}

void resetConsoleInput() {
    scan = ListScanner{};
    statement = InputStatement{};
}
