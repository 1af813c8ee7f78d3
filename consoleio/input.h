// List-directed console input: input statements of one item, the console record reader,
// the value scanner and the integer and real conversions.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/error.h"

constexpr int TOKEN_CAPACITY = 260;

// The console's default input unit. Unit 5 selects the same console input connection.
constexpr int CONSOLE_INPUT_UNIT = -34001;
constexpr int INPUT_UNIT_FIVE = 5;

// Opens an input statement on `unit` (CONSOLE_INPUT_UNIT or 5).
void beginRead(int unit);

// Transfer one value into the target; a null value leaves it unchanged. The first item of
// a statement also starts the statement (closes an owed output line on a shared console).
// Return 0; an error does not return (the run ends with the error report).
int readIntegerItem(std::int32_t& target);
int readRealItem(float& target);

// Finishes the statement: unless the last value ended with its line, the rest of the
// current line is discarded, so the next statement starts on a new line.
int endRead();

// Takes the next byte through the console input connection, as an input statement takes
// it (reading a new record when the buffer is used up; end of input raises F6501 with the
// kind of the most recent statement).
char takeConsoleByte();

// Resets the console reader's process-wide state; for tests.
void resetConsoleInput();

// How a value was written: plain, between parentheses, or between quotes.
enum class TokenMode { Plain, Parenthesized, Quoted };

// Results of the conversions: the value, or the error the text is refused with.
struct IntegerConversion {
    bool ok = false;
    ErrorCode error = ErrorCode::IntegerSyntax;
    std::int32_t value = 0;
};

struct RealConversion {
    bool ok = false;
    ErrorCode error = ErrorCode::RealSyntax;
    float value = 0.0f;
};

struct DoubleConversion {
    bool ok = false;
    ErrorCode error = ErrorCode::RealSyntax;
    double value = 0.0;
};

// Converts a (non-empty) token to a 32-bit integer: optional sign and decimal digits, or
// the based form [base]#digits. Raises nothing; the caller raises the error.
IntegerConversion parseIntegerToken(std::string_view token, TokenMode mode = TokenMode::Plain);

// Converts a (non-empty) token to a single-precision real. Raises nothing.
RealConversion parseRealToken(std::string_view token, TokenMode mode = TokenMode::Plain);

// The first stage of that conversion: the token's value in double precision. At most 24
// significant digits take part (later ones only scale the value) and exponent magnitudes
// saturate at 5200; the value is rounded to a 64-bit significand and that to double, each
// to nearest with ties to even. A value beyond the double range is refused (F6102); a
// value below it gives zero. Integer arithmetic alone: the floating-point environment
// plays no part. Raises nothing.
DoubleConversion parseRealTokenToDouble(std::string_view token, TokenMode mode = TokenMode::Plain);
