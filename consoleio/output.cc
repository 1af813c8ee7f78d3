// Output statements: the statement is recorded by beginWrite and the item calls, and laid
// out and written as a whole by endWrite, either by its format or by the list-directed
// rules below.
#include "consoleio/output.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "consoleio/console_io.h"
#include "consoleio/format.h"
#include "consoleio/record.h"
#include "runtime/error.h"
#include "runtime/fpe.h"

namespace {

// Console records are at most 79 columns wide in list-directed output, not counting the
// carriage-control blank that starts each record.
constexpr int LIST_LINE_WIDTH = 79;
constexpr int LIST_INTEGER_WIDTH = 11;

OutputItem& nextItem(OutputStatement& statement, int type) {
    if (statement.itemCount == statement.items.size()) statement.items.emplace_back();
    OutputItem& item = statement.items[statement.itemCount++];
    item.type = type;
    return item;
}

// Every unit the program can name (CONSOLE_OUTPUT_UNIT, NUMBERED_OUTPUT_UNIT, 0, ...)
// reaches the console: the program connects no files.
UnitRecord& consoleOutputRecord(ConsoleUnits& units) {
    UnitRecord& unit = units.output();
    unit.descriptor = STANDARD_OUTPUT;
    if (units.shared()) unit.position = 0;
    return unit;
}

// Digits of a list-directed integer, with "-" when negative.
std::string integerText(std::int32_t value) {
    return std::to_string(static_cast<long long>(value));
}

}  // namespace

const CompiledFormat& FormatCache::compiled(const char* text, int length) {
    const std::string_view key(text, length < 0 ? std::strlen(text) : static_cast<std::size_t>(length));
    for (const Entry& cached : entries_)
        if (cached.text == key) return cached.format;
    Entry entry{std::string(key), compileFormat(text, length)};
    if (entries_.size() < SIZE) {
        entries_.push_back(std::move(entry));
        return entries_.back().format;
    }
    Entry& replaced = entries_[next_];
    next_ = (next_ + 1) % SIZE;
    replaced = std::move(entry);
    return replaced.format;
}

void beginWrite(ConsoleIo& io, int unit, const char* formatText, int formatLength) {
    // Without traps, a floating-point fault before the statement is reported before it.
    checkFloatingPointFault();
    io.errors.lastStatementKind = StatementKind::Write;
    io.errors.nameConnection("CON");
    if (unit != CONSOLE_OUTPUT_UNIT && (unit < -32767 || unit > 32767))
        raiseRuntimeError(io.errors, ErrorCode::UnitNumberInvalid, StatementKind::General);
    OutputStatement& statement = io.output.statement;
    statement.itemCount = 0;
    statement.format = formatText != nullptr ? &io.output.formats.compiled(formatText, formatLength) : nullptr;
}

void writeInteger(ConsoleIo& io, std::int32_t value) {
    nextItem(io.output.statement, ITEM_INTEGER).integerValue = value;
}

void writeReal(ConsoleIo& io, float value) {
    nextItem(io.output.statement, ITEM_REAL).realValue = static_cast<double>(value);
}

void writeDouble(ConsoleIo& io, double value) {
    nextItem(io.output.statement, ITEM_DOUBLE).realValue = value;
}

void writeCharacter(ConsoleIo& io, const char* text, int length) {
    OutputItem& item = nextItem(io.output.statement, ITEM_CHARACTER);
    if (length > 0 && text != nullptr) item.text.assign(text, static_cast<std::size_t>(length));
    else item.text.clear();
}

void endWrite(ConsoleIo& io) {
    OutputStatement& statement = io.output.statement;
    const std::span<const OutputItem> items(statement.items.data(), statement.itemCount);
    const CompiledFormat* format = statement.format;
    statement.itemCount = 0;
    statement.format = nullptr;
    UnitRecord& unit = consoleOutputRecord(io.units);
    unit.pendingBlanks = 0;
    if (format != nullptr) {
        runFormattedItems(unit, *format, items);
    } else {
        writeListDirected(unit, items);
    }
    endRecord(unit);
    unit.pendingBlanks = 0;
}

void writeListDirected(UnitRecord& unit, std::span<const OutputItem> items) {
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
            raiseRuntimeError(unit.errors, ErrorCode::FormatUnsupported, StatementKind::Write);
        }
        int width = LIST_INTEGER_WIDTH + (numberBefore ? 1 : 0);
        if (width >= LIST_LINE_WIDTH)
            raiseRuntimeError(unit.errors, ErrorCode::ListItemTooWide, StatementKind::Write);
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
