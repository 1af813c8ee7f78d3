// Format specifications: compilation to a compact byte code and the interpreter that lays
// out a formatted statement's records.
#pragma once

#include <vector>

struct UnitRecord;
struct OutputItem;

// The byte code of one compiled format specification.
struct CompiledFormat {
    std::vector<unsigned char> code;
};

// Compiles `formatText` (length `formatLength`, or -1 for a NUL-terminated text). Syntax
// errors compile to error elements, raised only when the interpreter reaches them.
CompiledFormat compileFormat(const char* formatText, int formatLength);

// The formatted item loop of one statement: interprets `format` over `items`, placing the
// characters in `unit`'s records. The caller ends the last record.
void runFormattedItems(UnitRecord& unit, const CompiledFormat& format,
                       const std::vector<OutputItem>& items);
