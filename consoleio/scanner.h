// The list-directed value scanner: cuts the next value of an input statement out of the
// console input record's bytes by the separator rules.
#pragma once

#include <cstdint>
#include <string_view>

#include "consoleio/conversion.h"

struct UnitRecord;

// The type of the item a value is scanned for: it picks the error of an overlong token.
enum class ItemType { Integer, Real };

// The scanner's state; every input statement starts with a fresh one.
struct ListScanner {
    char lastSeparator = ',';
    std::int32_t repeatPending = 0;   // further items the last value still serves
    char token[TOKEN_CAPACITY] = {};
    int tokenLength = 0;
    TokenMode mode = TokenMode::Plain;
    bool endedAtLineEnd = false;      // the last value ended with its line

    // Scans the next value into the token; returns false for a null value. A bad repeat
    // count or an overlong token raises its READ error.
    bool scanValue(UnitRecord& unit, ItemType type);

    std::string_view tokenText() const { return {token, static_cast<std::size_t>(tokenLength)}; }

    // A slash ended the item list, and no repeated value is still owed.
    bool endsItemList() const { return lastSeparator == '/' && repeatPending == 0; }

private:
    // An overlong token raises its error in the unit's error state.
    void appendToToken(const UnitRecord& unit, char c, ItemType type);
    // Takes the token as a repeat count; a second count, a zero or a bad one raises its error.
    void takeRepeatCount(const UnitRecord& unit);
};
