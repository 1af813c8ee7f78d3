// Numeric output editing: Iw.m for integers, Ew.d[Ee] (and the D form) for reals, and the
// exact decimal digits of a binary floating-point value.
#pragma once

#include <cstdint>
#include <string>

enum class EditCode { Integer, Exponent, DoubleExponent, Character };

struct EditDescriptor {
    EditCode code = EditCode::Integer;
    std::int32_t width = 0;
    std::int32_t digits = 1;          // d of Ew.d, or m of Iw.m
    std::int32_t exponentDigits = 2;  // e of Ew.dEe
    int scaleFactor = 0;              // k of kP; no descriptor sets it, so it stays 0
    bool plusSign = false;
    bool hasWidth = true;             // false for a bare A, whose width is the text's length
};

// The characters of an edited value; `overflow` when the field must be asterisks
// regardless of its length (an exponent that needs more digits than it has).
struct EditedField {
    std::string chars;
    bool overflow = false;
};

// Most significant digits a value is shown with, by precision.
constexpr int SINGLE_DIGIT_LIMIT = 7;
constexpr int DOUBLE_DIGIT_LIMIT = 16;
// Significant digits kept of a value's exact expansion.
constexpr int DECIMAL_DIGITS_KEPT = 17;

// A real value as 0.DIGITS times 10 to the power `exponent`.
struct DecimalDigits {
    char sign = ' ';            // '-' or ' '
    std::int32_t exponent = 0;
    std::string digits;         // up to 17 significant digits, no trailing zeros; "0" for
                                // zero. For an invalid value: "1#INF", "1#IND", "1#QNAN"
                                // or "1#SNAN".
    bool valid = true;          // false for infinities and not-a-numbers
};

EditedField editInteger(std::int32_t value, const EditDescriptor& descriptor);

// `doublePrecision` selects the 16-digit limit of a double item instead of 7. A
// single-precision item passes its value widened exactly to double.
EditedField editReal(double value, bool doublePrecision, const EditDescriptor& descriptor);

// The exact value of `value` to 17 significant digits: 18 digits of its exact decimal
// expansion, rounded half up on the 18th, trailing zeros dropped.
DecimalDigits toDecimalDigits(double value);

// Rounds `number`'s digits to `count` significant digits by looking only at digit count+1
// (4 or less cuts, 5 or more cuts and adds one). Returns true when a carry out of the first
// digit made the value one decimal place longer (the digits become "1" and `count` zeros
// and the exponent grows by one). A negative value whose digits all become zeros loses its
// sign.
bool roundDigits(int count, DecimalDigits& number);
