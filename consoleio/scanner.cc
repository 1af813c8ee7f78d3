// The list-directed value scanner: blanks, commas and a slash separate values, r*value
// repeats one, quotes and parentheses enclose one, and a line end is a blank.
#include "consoleio/scanner.h"

#include "consoleio/reader.h"
#include "consoleio/record.h"
#include "runtime/error.h"

namespace {

[[noreturn]] void raiseReadError(const UnitRecord& unit, ErrorCode code) {
    raiseRuntimeError(unit.errors, code, StatementKind::Read);
}

}  // namespace

void ListScanner::appendToToken(const UnitRecord& unit, char c, ItemType type) {
    if (tokenLength == TOKEN_CAPACITY) {
        raiseReadError(unit, type == ItemType::Real ? ErrorCode::RealSyntax : ErrorCode::IntegerSyntax);
    }
    token[tokenLength++] = c;
}

// The token before a '*' is a repeat count: how many items the value after it serves.
void ListScanner::takeRepeatCount(const UnitRecord& unit) {
    if (repeatPending > 0) raiseReadError(unit, ErrorCode::SecondRepeatCount);
    IntegerConversion count = parseIntegerToken(tokenText(), mode);
    if (!count.ok) raiseReadError(unit, count.error);
    if (count.value == 0) raiseReadError(unit, ErrorCode::RepeatCountZero);
    // A negative count leaves no repeat pending: the value that follows is read for this
    // item alone.
    repeatPending = count.value > 0 ? count.value - 1 : 0;
    tokenLength = 0;
    mode = TokenMode::Plain;
}

bool ListScanner::scanValue(UnitRecord& unit, ItemType type) {
    if (repeatPending > 0) {
        --repeatPending;
        return tokenLength > 0;
    }
    tokenLength = 0;
    mode = TokenMode::Plain;
    endedAtLineEnd = false;
    bool insideQuotes = false;
    bool quoteJustClosed = false;
    char quote = 0;
    for (;;) {
        char c = takeRecordByte(unit);
        if (c == '\r' || c == '\n') {
            --unit.position;
            completeInputRecord(unit);
            if (insideQuotes) continue;  // a quoted value goes on across the line end
            if (tokenLength > 0) endedAtLineEnd = true;
            c = ' ';
        } else if (insideQuotes) {
            if (c == quote) {
                insideQuotes = false;
                quoteJustClosed = true;
            } else {
                appendToToken(unit, c, type);
            }
            continue;
        } else if (quoteJustClosed && c == quote) {
            // A doubled quote stands for one quote character.
            appendToToken(unit, c, type);
            insideQuotes = true;
            quoteJustClosed = false;
            continue;
        }
        quoteJustClosed = false;

        // The separator rules look at the token alone: after an empty quoted or
        // parenthesized value the token is still empty.
        const bool valueEmpty = tokenLength == 0;
        char separator = 0;
        switch (c) {
        case ' ':
        case '\t':
            if ((valueEmpty && repeatPending == 0) || mode == TokenMode::Parenthesized)
                continue;
            separator = ' ';
            break;
        case '(':
            if (!valueEmpty) {
                appendToToken(unit, c, type);
                continue;
            }
            mode = TokenMode::Parenthesized;
            continue;
        case ')':
            if (mode != TokenMode::Parenthesized) {
                appendToToken(unit, c, type);
                continue;
            }
            separator = ' ';
            break;
        case '\'':
        case '"':
            if (!valueEmpty) {
                appendToToken(unit, c, type);
                continue;
            }
            mode = TokenMode::Quoted;
            insideQuotes = true;
            quote = c;
            continue;
        case '*':
            takeRepeatCount(unit);
            continue;
        case ',':
            if (valueEmpty && lastSeparator == ' ' && repeatPending == 0) {
                // The comma completes the blank separator before it.
                lastSeparator = ',';
                continue;
            }
            if (mode == TokenMode::Parenthesized) {
                appendToToken(unit, c, type);
                continue;
            }
            separator = ',';
            break;
        case '/':
            separator = '/';
            break;
        default:
            appendToToken(unit, c, type);
            continue;
        }
        lastSeparator = separator;
        return tokenLength > 0;
    }
}
