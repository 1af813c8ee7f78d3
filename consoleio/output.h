// Output statements: beginWrite, one call per item, endWrite, which lays out and writes
// the whole statement; list-directed records and values.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "consoleio/format.h"

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

// The statement being built. Its item slots, with the storage of their character copies,
// are kept from one statement to the next, so that a statement allocates nothing once the
// program has written a statement as long before.
struct OutputStatement {
    const CompiledFormat* format = nullptr;  // none for list-directed output
    std::vector<OutputItem> items;
    std::size_t itemCount = 0;
};

// Formats compiled before, by their text: the program writes its few formats many times.
// The statement refers to its entry; entries are replaced only when a statement begins.
class FormatCache {
public:
    const CompiledFormat& compiled(const char* text, int length);

private:
    static constexpr std::size_t SIZE = 32;
    struct Entry {
        std::string text;
        CompiledFormat format;
    };
    std::vector<Entry> entries_;
    std::size_t next_ = 0;  // the entry replaced next once all are used
};

// The output side of a run's console I/O.
struct OutputState {
    OutputStatement statement;
    FormatCache formats;
};

struct ConsoleIo;

// Begins an output statement. `formatText` is a format specification or nullptr for
// list-directed output; `formatLength` its length, or -1 when it ends at a NUL byte.
void beginWrite(ConsoleIo& io, int unit, const char* formatText, int formatLength);

void writeInteger(ConsoleIo& io, std::int32_t value);
void writeReal(ConsoleIo& io, float value);
void writeDouble(ConsoleIo& io, double value);
void writeCharacter(ConsoleIo& io, const char* text, int length);

// Executes the statement: all its records are produced and written now.
void endWrite(ConsoleIo& io);

// The list-directed layout of a statement's items into the unit's records (used by
// endWrite; exposed for tests).
struct UnitRecord;
void writeListDirected(UnitRecord& unit, std::span<const OutputItem> items);
