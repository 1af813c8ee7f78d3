// Format specifications: compilation to a compact byte code and the interpreter that lays
// out a formatted statement's records.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "consoleio/edit.h"

struct UnitRecord;
struct OutputItem;

// Byte code layout. Each element starts with an opcode byte: bits 7-6 the number of
// numeric parameters that follow (0 to 3), bit 5 set when a repeat count precedes them,
// bits 4-0 the descriptor code. A numeric value is one signed byte in -120..120, otherwise
// the byte 127 and the value as a 4-byte little-endian integer. A literal's repeat count is
// its length and its characters follow. The final `)` is followed by a 2-byte reversion
// offset, an error element by a 2-byte error code (both little-endian).
enum FormatCode : std::uint8_t {
    FORMAT_GROUP_OPEN = 1,
    FORMAT_LITERAL = 2,
    FORMAT_GROUP_CLOSE = 3,
    FORMAT_A = 5,
    FORMAT_I = 8,
    FORMAT_E = 10,
    FORMAT_D = 11,
    FORMAT_SLASH = 18,
    FORMAT_MOVE_RIGHT = 29,
    FORMAT_END = 30,
    FORMAT_ERROR = 31,
};

constexpr int FORMAT_NUMBER_INLINE_LIMIT = 120;  // numbers within +-120 take one byte
constexpr std::uint8_t FORMAT_NUMBER_ESCAPE = 127;
constexpr int FORMAT_MAX_GROUP_DEPTH = 16;       // inner groups nested at most this deep
constexpr int FORMAT_MAX_FIELD_PARAMETER = 255;  // w, d, m, e
constexpr int FORMAT_MAX_MOVE = 32767;           // n of nX
// A reversion offset that does not fit in two bytes; reverting to it is an error.
constexpr std::uint16_t FORMAT_REVERSION_TOO_FAR = 0xFFFF;

// The byte code of one compiled format specification.
struct CompiledFormat {
    std::vector<unsigned char> code;
};

// Compiles `formatText` (length `formatLength`, or -1 for a NUL-terminated text).
// Compilation ends at the `)` that closes the first `(`. Syntax errors compile to an error
// element, raised only when the interpreter reaches it; nothing is compiled after it.
CompiledFormat compileFormat(const char* formatText, int formatLength);

// One decoded element of the byte code.
struct FormatElement {
    int code = 0;
    bool hasRepeat = false;
    std::int32_t repeat = 1;
    int parameterCount = 0;
    std::int32_t parameters[3] = {0, 0, 0};
    const unsigned char* literal = nullptr;  // a literal's characters (`repeat` of them)
    std::uint16_t extra = 0;                 // reversion offset or error code
    std::size_t next = 0;                    // offset of the following element
    bool complete = false;                   // false when the code ends inside the element
};

// Decodes the element at `offset`.
FormatElement decodeFormatElement(const CompiledFormat& format, std::size_t offset);

// The interpreter of one statement's format: performs the control elements (literals,
// `/`, nX, groups, reversion) between data descriptors.
class FormatInterpreter {
public:
    FormatInterpreter(UnitRecord& unit, const CompiledFormat& format);

    // Performs the control elements up to the next data descriptor and stores it in
    // `descriptor`. With `itemsRemain` false, stops at the first data descriptor or at the
    // final `)` and returns false. With items remaining it always returns true (or raises).
    bool nextDataDescriptor(bool itemsRemain, EditDescriptor& descriptor);

private:
    struct Group {
        std::size_t start;
        std::int32_t remaining;
    };

    bool reversionHasDataDescriptor(std::size_t from);
    void moveRight(std::int32_t distance);

    UnitRecord& unit_;
    const CompiledFormat& format_;
    std::size_t pc_ = 0;
    Group groups_[FORMAT_MAX_GROUP_DEPTH] = {};
    int depth_ = 0;
    EditDescriptor current_;
    std::int32_t repeatsLeft_ = 0;  // further uses of the current data descriptor
    int scaleFactor_ = 0;           // the statement's editing state
    bool plusSign_ = false;
};

// The formatted item loop of one statement: interprets `format` over `items`, placing the
// characters in `unit`'s records, then runs the interpreter once more with no items left.
// The caller ends the last record.
void runFormattedItems(UnitRecord& unit, const CompiledFormat& format,
                       std::span<const OutputItem> items);
