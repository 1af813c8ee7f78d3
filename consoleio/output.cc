// Output statements: the statement is recorded by beginWrite and the item calls, and laid
// out and written as a whole by endWrite, either by its format or by the list-directed
// rules below.
#include "consoleio/output.h"

#include <optional>
#include <string>
#include <vector>

#include "consoleio/format.h"
#include "consoleio/record.h"
#include "runtime/error.h"
#include "runtime/fpe.h"

namespace {

// Console records are at most 79 columns wide in list-directed output, not counting the
// carriage-control blank that starts each record.
constexpr int LIST_LINE_WIDTH = 79;
constexpr int LIST_INTEGER_WIDTH = 11;

struct OutputStatement {
    int unit = CONSOLE_OUTPUT_UNIT;
    std::optional<CompiledFormat> format;
    std::vector<OutputItem> items;
};

OutputStatement statement;

UnitRecord& selectUnit(int) {
    // Units CONSOLE_OUTPUT_UNIT, 6, 0 and every other unit the program can name reach the
    // console: the program connects no files.
    UnitRecord& unit = consoleOutputUnit();
    unit.descriptor = STANDARD_OUTPUT;
    if (consoleShared()) unit.position = 0;
    return unit;
}

// Digits of a list-directed integer, with "-" when negative.
std::string integerText(std::int32_t value) {
    return std::to_string(static_cast<long long>(value));
}

}  // namespace

void beginWrite(int unit, const char* formatText, int formatLength, const char*, int, int) {
    // Without traps, a floating-point fault before the statement is reported before it.
    checkFloatingPointFault();
    setCurrentStatementKind(StatementKind::Write);
    setCurrentConnectionName("CON");
    if (unit != CONSOLE_OUTPUT_UNIT && (unit < -32767 || unit > 32767))
        raiseRuntimeError(ErrorCode::UnitNumberInvalid, StatementKind::General);
    statement = OutputStatement{};
    statement.unit = unit;
    if (formatText != nullptr) statement.format = compileFormat(formatText, formatLength);
}

void writeInteger(std::int32_t value) {
    OutputItem item;
    item.type = ITEM_INTEGER;
    item.integerValue = value;
    statement.items.push_back(std::move(item));
}

void writeReal(float value) {
    OutputItem item;
    item.type = ITEM_REAL;
    item.realValue = static_cast<double>(value);
    statement.items.push_back(std::move(item));
}

void writeDouble(double value) {
    OutputItem item;
    item.type = ITEM_DOUBLE;
    item.realValue = value;
    statement.items.push_back(std::move(item));
}

void writeCharacter(const char* text, int length) {
    OutputItem item;
    item.type = ITEM_CHARACTER;
    if (length > 0 && text != nullptr) item.text.assign(text, static_cast<std::size_t>(length));
    statement.items.push_back(std::move(item));
}

int endWrite() {
    OutputStatement current = std::move(statement);
    statement = OutputStatement{};
    UnitRecord& unit = selectUnit(current.unit);
    unit.pendingBlanks = 0;
    if (current.format) {
        runFormattedItems(unit, *current.format, current.items);
    } else {
        writeListDirected(unit, current.items);
    }
    endRecord(unit);
    unit.pendingBlanks = 0;
    return 0;
}

void writeListDirected(UnitRecord& unit, const std::vector<OutputItem>& items) {
    // Each record starts owing the carriage-control blank.
    int remaining = LIST_LINE_WIDTH;
    addPendingBlanks(unit, 1);
    bool numberBefore = false;  // a non-character value with no character value after it

    for (const OutputItem& item : items) {
        if (item.type == ITEM_CHARACTER) {
            const char* text = item.text.data();
            int length = static_cast<int>(item.text.size());
            // A value that does not fit in what is left of the line is split across records.
            while (length >= remaining) {
                placeCharacters(unit, text, remaining);
                text += remaining;
                length -= remaining;
                endRecord(unit);
                addPendingBlanks(unit, 1);
                remaining = LIST_LINE_WIDTH;
            }
            placeCharacters(unit, text, length);
            remaining -= length;
            numberBefore = false;
            continue;
        }

        std::string digits;
        if (item.type == ITEM_INTEGER) {
            digits = integerText(item.integerValue);
        } else {
            // The program writes no list-directed reals; they are refused, not misprinted.
            raiseRuntimeError(ErrorCode::FormatUnsupported, StatementKind::Write);
        }
        int width = LIST_INTEGER_WIDTH + (numberBefore ? 1 : 0);
        if (width >= LIST_LINE_WIDTH)
            raiseRuntimeError(ErrorCode::ListItemTooWide, StatementKind::Write);
        if (width >= remaining) {
            // The value starts a new record; its own first blank is the carriage control.
            endRecord(unit);
            remaining = LIST_LINE_WIDTH;
        }
        addPendingBlanks(unit, width - static_cast<int>(digits.size()));
        placeCharacters(unit, digits.data(), static_cast<int>(digits.size()));
        remaining -= width;
        numberBefore = true;
    }
}
