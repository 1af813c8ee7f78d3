// Output statements: beginWrite, one call per item, endWrite, which lays out and writes
// the whole statement; list-directed records and values.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// The console's default output unit.
constexpr int CONSOLE_OUTPUT_UNIT = -34000;

// Item type codes shared by output and input statements.
constexpr int ITEM_INTEGER = 3;
constexpr int ITEM_CHARACTER = 10;
constexpr int ITEM_REAL = 11;
constexpr int ITEM_DOUBLE = 12;

// One item of an output statement, as the item call gave it.
struct OutputItem {
    int type = ITEM_INTEGER;
    std::int32_t integerValue = 0;
    double realValue = 0.0;   // a single-precision item holds its value widened exactly
    std::string text;         // private copy of a character item
};

// The preconnected output unit the analysis names; it reaches the console too.
constexpr int NUMBERED_OUTPUT_UNIT = 6;

// Begins an output statement. `formatText` is a format specification or nullptr for
// list-directed output; `formatLength` its length, or -1 when it ends at a NUL byte.
void beginWrite(int unit, const char* formatText, int formatLength);

void writeInteger(std::int32_t value);
void writeReal(float value);
void writeDouble(double value);
void writeCharacter(const char* text, int length);

// Executes the statement: all its records are produced and written now.
void endWrite();

// The list-directed layout of a statement's items into the unit's records (used by
// endWrite; exposed for tests).
struct UnitRecord;
void writeListDirected(UnitRecord& unit, std::span<const OutputItem> items);
