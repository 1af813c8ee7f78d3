// List-directed console input. An input statement takes bytes from the console input
// record; the record reader fills it from standard input (one typed line per read on a
// terminal, otherwise one line of a read-ahead, in pieces of 132 bytes), the scanner cuts
// the next value out of the byte stream by the list-directed separator rules, and the
// conversions turn the value into a 32-bit integer or a single-precision real.
#include "consoleio/input.h"

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "consoleio/record.h"
#include "runtime/console.h"
#include "runtime/fpe.h"

namespace {

constexpr char CTRL_Z = 0x1a;

// A console line may hold at most this many characters before its line end.
constexpr int CONSOLE_LINE_LIMIT = 130;

// Significant digits of a real that take part in its value; later digits only scale it.
constexpr int SIGNIFICANT_DIGITS = 24;
// Exponent magnitudes saturate here; far beyond any range, so saturation cannot change
// whether a value is in range.
constexpr long EXPONENT_SATURATION = 5200;

// The single-precision range. As a double the bound lies just above the largest finite
// float, and every value up to it rounds to that float, so the narrowing cannot overflow.
constexpr double SINGLE_RANGE_BOUND = 3.402823466385289E+38;
static_assert(static_cast<float>(SINGLE_RANGE_BOUND) == std::numeric_limits<float>::max());

// The value scanner's state, reset at the start of every input statement.
struct ListScanState {
    char lastSeparator = ',';
    std::int32_t repeatPending = 0;
    char token[TOKEN_CAPACITY] = {};
    int tokenLength = 0;
    TokenMode mode = TokenMode::Plain;
    bool endedAtLineEnd = false;
};

// The input statement in progress.
struct InputStatement {
    bool started = false;   // the statement start has run (at the first item)
    bool finished = false;  // a slash ended the item list: further items are not read
};

ListScanState scan;
InputStatement statement;

enum class ItemType { Integer, Real };

[[noreturn]] void raiseReadError(ErrorCode code) {
    raiseRuntimeError(code, StatementKind::Read);
}

// Errors of the record reader are reported with the kind of the statement the byte is
// taken for: READ inside an input statement, WRITE when the pause reads after output.
[[noreturn]] void raiseRecordError(ErrorCode code) {
    setCurrentConnectionName("CON");
    raiseRuntimeError(code, currentStatementKind());
}

bool standardInputIsTerminal() { return consoleInputIsTerminal(); }

// A terminal record: one read call gives one typed line with its CR LF.
void fillTerminalRecord(UnitRecord& unit) {
    char* buffer = unit.recordBuffer;
    const long n = platformConsole().read(STANDARD_INPUT, buffer, CONSOLE_RECORD_LENGTH);
    unit.position = 0;
    unit.lastIndex = -1;
    if (n == 0) {
        unit.endOfFile = true;
        raiseRecordError(ErrorCode::EndOfFile);
    }
    if (n < 0 || n > CONSOLE_RECORD_LENGTH) raiseRecordError(ErrorCode::ReadFailed);
    unit.lastIndex = static_cast<int>(n - 1);
    if (n < CONSOLE_RECORD_LENGTH && buffer[n - 1] != '\n') {
        buffer[n] = '\n';
        unit.lastIndex = static_cast<int>(n);
    }
    if (n == CONSOLE_RECORD_LENGTH) {
        // A full read holds at least 131 characters unless it ends in CR LF.
        bool endsInCrLf = buffer[n - 1] == '\n' && buffer[n - 2] == '\r';
        static_assert(CONSOLE_RECORD_LENGTH - 2 == CONSOLE_LINE_LIMIT);
        if (!endsInCrLf) raiseRecordError(ErrorCode::ConsoleLineTooLong);
    }
    // Ctrl-Z typed before the line end marks the end of input.
    if (n >= 3 && buffer[n - 3] == CTRL_Z) {
        unit.endOfFile = true;
        raiseRecordError(ErrorCode::EndOfFile);
    }
}

// Whether the line that ends in this record ends in Ctrl-Z: its last byte before the line
// end (CR LF, LF, or the end of the input), which may lie in the piece before.
bool lineEndsInCtrlZ(const ReadAhead& ahead, const char* record, int length, bool byEndOfInput) {
    char last[4];
    int count = 0;
    if (ahead.lineContinues) {
        last[count++] = ahead.pieceTail[0];
        last[count++] = ahead.pieceTail[1];
    }
    const int contentLength = byEndOfInput ? length : length - 1;
    for (int i = std::max(0, contentLength - 2); i < contentLength; ++i) last[count++] = record[i];
    if (!byEndOfInput && count > 0 && last[count - 1] == '\r') --count;
    return count > 0 && last[count - 1] == CTRL_Z;
}

// A redirected record: the next line of the read-ahead up to and including its LF, or its
// next 132 bytes when it is longer. Reads of at most 132 bytes are made only when the
// read-ahead holds no whole record, so a producer that writes one line at a time is served
// at once, and the records do not depend on how a pipe happens to split the bytes. The
// last line of the input gets an LF when it has none.
void fillRedirectedRecord(UnitRecord& unit) {
    ReadAhead& ahead = unit.readAhead;
    unit.position = 0;
    unit.lastIndex = -1;
    int length = 0;
    bool lineEnded = false;  // by its LF
    for (;;) {
        const int available = ahead.end - ahead.start;
        const char* first = ahead.bytes + ahead.start;
        const int limit = std::min(available, CONSOLE_RECORD_LENGTH);
        if (const void* lf = std::memchr(first, '\n', static_cast<std::size_t>(limit))) {
            length = static_cast<int>(static_cast<const char*>(lf) - first) + 1;
            lineEnded = true;
            break;
        }
        if (available >= CONSOLE_RECORD_LENGTH || ahead.inputEnded) {
            length = limit;
            break;
        }
        std::memmove(ahead.bytes, first, static_cast<std::size_t>(available));
        ahead.start = 0;
        ahead.end = available;
        const long got =
            platformConsole().read(STANDARD_INPUT, ahead.bytes + available, CONSOLE_RECORD_LENGTH);
        if (got < 0 || got > CONSOLE_RECORD_LENGTH) raiseRecordError(ErrorCode::ReadFailed);
        if (got == 0) ahead.inputEnded = true;
        ahead.end += static_cast<int>(got);
    }
    const bool byEndOfInput = !lineEnded && ahead.inputEnded && length < CONSOLE_RECORD_LENGTH;
    if (byEndOfInput && length == 0 && !ahead.lineContinues) {
        unit.endOfFile = true;
        raiseRecordError(ErrorCode::EndOfFile);
    }
    char* record = unit.recordBuffer;
    std::memcpy(record, ahead.bytes + ahead.start, static_cast<std::size_t>(length));
    ahead.start += length;
    if ((lineEnded || byEndOfInput) && lineEndsInCtrlZ(ahead, record, length, byEndOfInput)) {
        unit.endOfFile = true;
        raiseRecordError(ErrorCode::EndOfFile);
    }
    ahead.lineContinues = !lineEnded && !byEndOfInput;
    if (ahead.lineContinues) {
        ahead.pieceTail[0] = record[length - 2];
        ahead.pieceTail[1] = record[length - 1];
    }
    if (byEndOfInput) record[length++] = '\n';
    unit.lastIndex = length - 1;
}

// Reads the next record into the unit's buffer.
void fillRecord(UnitRecord& unit) {
    if (standardInputIsTerminal()) fillTerminalRecord(unit);
    else fillRedirectedRecord(unit);
}

char takeByte(UnitRecord& unit) {
    if (unit.position > unit.lastIndex) fillRecord(unit);
    return unit.recordBuffer[unit.position++];
}

// Finishes the current line: on a terminal the buffer (one line) is dropped, reading and
// dropping a line first when nothing has been read; otherwise bytes are skipped up to and
// including the next LF. The owed output line end has been written by now.
void completeInputRecord(UnitRecord& unit) {
    if (standardInputIsTerminal()) {
        if (unit.lastIndex < 0) fillRecord(unit);
        unit.position = 0;
        unit.lastIndex = -1;
    } else {
        while (takeByte(unit) != '\n') {
        }
    }
    unit.lineOpen = false;
}

UnitRecord& startStatement() {
    UnitRecord& unit = consoleInputUnit();
    unit.descriptor = STANDARD_INPUT;
    if (!statement.started) {
        statement.started = true;
        if (unit.lineOpen) {
            // Only a shared record: the prompt's line is ended before the user types, and
            // the bytes of the output record are no input.
            writeConsoleBytes(STANDARD_OUTPUT, "\r\n", 2);
            unit.position = 0;
            unit.lastIndex = -1;
        }
        scan = ListScanState{};
    }
    return unit;
}

void appendToToken(char c, ItemType type) {
    if (scan.tokenLength == TOKEN_CAPACITY) {
        raiseReadError(type == ItemType::Real ? ErrorCode::RealSyntax : ErrorCode::IntegerSyntax);
    }
    scan.token[scan.tokenLength++] = c;
}

std::string_view tokenText() { return {scan.token, static_cast<std::size_t>(scan.tokenLength)}; }

// Scans the next value into the token; returns false for a null value.
bool scanValue(UnitRecord& unit, ItemType type) {
    if (scan.repeatPending > 0) {
        --scan.repeatPending;
        return scan.tokenLength > 0;
    }
    scan.tokenLength = 0;
    scan.mode = TokenMode::Plain;
    scan.endedAtLineEnd = false;
    bool insideQuotes = false;
    bool quoteJustClosed = false;
    char quote = 0;
    for (;;) {
        char c = takeByte(unit);
        if (c == '\r' || c == '\n') {
            --unit.position;
            completeInputRecord(unit);
            if (insideQuotes) continue;  // a quoted value goes on across the line end
            if (scan.tokenLength > 0) scan.endedAtLineEnd = true;
            c = ' ';
        } else if (insideQuotes) {
            if (c == quote) {
                insideQuotes = false;
                quoteJustClosed = true;
            } else {
                appendToToken(c, type);
            }
            continue;
        } else if (quoteJustClosed && c == quote) {
            // A doubled quote stands for one quote character.
            appendToToken(c, type);
            insideQuotes = true;
            quoteJustClosed = false;
            continue;
        }
        quoteJustClosed = false;

        // The separator rules look at the token alone: after an empty quoted or
        // parenthesized value the token is still empty.
        const bool valueEmpty = scan.tokenLength == 0;
        char separator = 0;
        switch (c) {
        case ' ':
        case '\t':
            if ((valueEmpty && scan.repeatPending == 0) || scan.mode == TokenMode::Parenthesized)
                continue;
            separator = ' ';
            break;
        case '(':
            if (!valueEmpty) {
                appendToToken(c, type);
                continue;
            }
            scan.mode = TokenMode::Parenthesized;
            continue;
        case ')':
            if (scan.mode != TokenMode::Parenthesized) {
                appendToToken(c, type);
                continue;
            }
            separator = ' ';
            break;
        case '\'':
        case '"':
            if (!valueEmpty) {
                appendToToken(c, type);
                continue;
            }
            scan.mode = TokenMode::Quoted;
            insideQuotes = true;
            quote = c;
            continue;
        case '*': {
            if (scan.repeatPending > 0) raiseReadError(ErrorCode::SecondRepeatCount);
            IntegerConversion count = parseIntegerToken(tokenText(), scan.mode);
            if (!count.ok) raiseReadError(count.error);
            if (count.value == 0) raiseReadError(ErrorCode::RepeatCountZero);
            // A negative count leaves no repeat pending: the value that follows is read
            // for this item alone.
            scan.repeatPending = count.value > 0 ? count.value - 1 : 0;
            scan.tokenLength = 0;
            scan.mode = TokenMode::Plain;
            continue;
        }
        case ',':
            if (valueEmpty && scan.lastSeparator == ' ' && scan.repeatPending == 0) {
                // The comma completes the blank separator before it.
                scan.lastSeparator = ',';
                continue;
            }
            if (scan.mode == TokenMode::Parenthesized) {
                appendToToken(c, type);
                continue;
            }
            separator = ',';
            break;
        case '/':
            separator = '/';
            break;
        default:
            appendToToken(c, type);
            continue;
        }
        scan.lastSeparator = separator;
        return scan.tokenLength > 0;
    }
}

// After an item: a slash ends the item list unless a repeated value is still owed.
void finishItem() {
    if (scan.lastSeparator == '/' && scan.repeatPending == 0) statement.finished = true;
}

// Runs `body` with the floating-point traps held off and the flags it raises discarded:
// a conversion detects overflow itself and must not trap on it.
template <typename Body>
void withoutFloatingPointTraps(Body body) {
    FloatingPointHold saved;
    holdFloatingPoint(saved);
    body();
    restoreFloatingPoint(saved);
}

// The value of a decimal text rounded to the 64-bit significand of extended precision
// (nearest, ties to even), then to double. Where long double is that format the library
// does it. Where long double is wider (the 113-bit format of 64-bit ARM) the text is read
// truncated toward zero, whether anything was cut off is taken from the inexact flag, and
// the 113 bits with that sticky bit are rounded to 64 exactly. Called with the traps held.
double throughExtendedPrecision(const char* text) {
    constexpr int EXTENDED_DIGITS = 64;
    if constexpr (std::numeric_limits<long double>::digits <= EXTENDED_DIGITS + 1) {
        return static_cast<double>(std::strtold(text, nullptr));
    } else {
        const int rounding = std::fegetround();
        std::fesetround(FE_TOWARDZERO);
        std::feclearexcept(FE_INEXACT);
        const long double truncated = std::strtold(text, nullptr);
        const bool cutOff = std::fetestexcept(FE_INEXACT) != 0;
        std::fesetround(rounding);
        if (truncated == 0.0L || std::isinf(truncated)) return static_cast<double>(truncated);
        int exponent = 0;
        const long double scaled = std::ldexp(std::frexp(truncated, &exponent), EXTENDED_DIGITS);
        long double whole = std::trunc(scaled);
        const long double rest = scaled - whole;  // exact: the bits below the 64th
        const bool odd = std::fmod(whole, 2.0L) != 0.0L;
        if (rest > 0.5L || (rest == 0.5L && (cutOff || odd))) whole += 1.0L;
        return static_cast<double>(std::ldexp(whole, exponent - EXTENDED_DIGITS));
    }
}

// Rounds value (times 2^exponent), with `sticky` set when a nonzero fraction below its
// last bit was cut off, to `bits` significant bits, to nearest with ties to even.
void roundToBits(unsigned __int128& value, int& exponent, bool sticky, int bits) {
    const int length = 128 - (static_cast<std::uint64_t>(value >> 64) != 0
                                  ? std::countl_zero(static_cast<std::uint64_t>(value >> 64))
                                  : 64 + std::countl_zero(static_cast<std::uint64_t>(value)));
    if (length <= bits) return;
    const int shift = length - bits;
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    const unsigned __int128 rest = value & ((half << 1) - 1);
    value >>= shift;
    exponent += shift;
    if (rest > half || (rest == half && (sticky || (value & 1) != 0))) {
        ++value;
        if (value >> bits != 0) {
            value >>= 1;
            ++exponent;
        }
    }
}

// The value of at most 19 digits times 10^decimalExponent, for a small exponent, rounded to
// the 64-bit significand of extended precision and then to double, to nearest with ties to
// even, as throughExtendedPrecision rounds it, but worked in integers, with no
// floating-point operation. False when the value is not of this kind.
bool convertShortDecimal(std::string_view digits, long decimalExponent, double& result) {
    constexpr int EXTENDED_BITS = 64;
    constexpr int DOUBLE_BITS = 53;
    if (digits.empty() || digits.size() > 19 || decimalExponent > 19 || decimalExponent < -18)
        return false;
    static constexpr std::uint64_t POWERS_OF_TEN[20] = {
        1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull,
        100000000ull, 1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull,
        10000000000000ull, 100000000000000ull, 1000000000000000ull, 10000000000000000ull,
        100000000000000000ull, 1000000000000000000ull, 10000000000000000000ull};
    std::uint64_t d = 0;
    for (char c : digits) d = d * 10 + static_cast<std::uint64_t>(c - '0');
    if (d == 0) return false;
    unsigned __int128 value;
    int exponent = 0;
    bool sticky = false;
    if (decimalExponent >= 0) {
        value = static_cast<unsigned __int128>(d) * POWERS_OF_TEN[decimalExponent];
    } else {
        // (d * 2^(64 + z)) / 10^k keeps at least 68 bits of the quotient for k <= 18.
        const int z = std::countl_zero(d);
        const unsigned __int128 dividend = static_cast<unsigned __int128>(d << z) << 64;
        const std::uint64_t divisor = POWERS_OF_TEN[-decimalExponent];
        value = dividend / divisor;
        sticky = dividend % divisor != 0;
        exponent = -64 - z;
    }
    roundToBits(value, exponent, sticky, EXTENDED_BITS);
    roundToBits(value, exponent, false, DOUBLE_BITS);
    auto mantissa = static_cast<std::uint64_t>(value);
    const int shift = std::countl_zero(mantissa) - (64 - DOUBLE_BITS);
    mantissa <<= shift;
    exponent -= shift;
    const auto biased = static_cast<std::uint64_t>(exponent + (DOUBLE_BITS - 1) + 1023);
    result = std::bit_cast<double>((biased << 52) | (mantissa & ((std::uint64_t{1} << 52) - 1)));
    return true;
}

IntegerConversion integerFailure(ErrorCode code) { return {false, code, 0}; }
RealConversion realFailure(ErrorCode code) { return {false, code, 0.0f}; }

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

std::int32_t applySign(std::uint32_t magnitude, bool negative) {
    return static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
}

// The digits after "#" in base `base`.
IntegerConversion parseBasedDigits(std::string_view digits, std::uint32_t base, bool negative) {
    const std::uint64_t limit = base == 10 ? 2147483647u : 4294967295u;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c == '#') return integerFailure(ErrorCode::BasedSecondHash);
        std::uint32_t digit = static_cast<std::uint32_t>(digitValue(c));
        if (digit >= base) return integerFailure(ErrorCode::IntegerSyntax);
        value = value * base + digit;
        if (value > limit) return integerFailure(ErrorCode::IntegerOverflow);
    }
    return {true, ErrorCode::IntegerSyntax, applySign(static_cast<std::uint32_t>(value), negative)};
}

}  // namespace

IntegerConversion parseIntegerToken(std::string_view token, TokenMode mode) {
    if (mode != TokenMode::Plain) return integerFailure(ErrorCode::QuotedNumericValue);
    if (token == "-2147483648") return {true, ErrorCode::IntegerSyntax, std::numeric_limits<std::int32_t>::min()};
    std::size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    std::uint32_t value = 0;
    bool anyDigit = false;
    for (; i < token.size(); ++i) {
        char c = token[i];
        if (c == CTRL_Z) break;  // ends a plain decimal number where it stands
        if (c == '#') {
            std::uint32_t base = anyDigit ? value : 16;
            if (base < 2 || base > 36) return integerFailure(ErrorCode::BasedBadBase);
            return parseBasedDigits(token.substr(i + 1), base, negative);
        }
        if (!isDecimalDigit(c)) return integerFailure(ErrorCode::IntegerSyntax);
        if (value > 214748364u) return integerFailure(ErrorCode::IntegerOverflow);
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > 2147483647u) return integerFailure(ErrorCode::IntegerOverflow);
        anyDigit = true;
    }
    return {true, ErrorCode::IntegerSyntax, applySign(value, negative)};
}

RealConversion parseRealToken(std::string_view token, TokenMode mode) {
    if (mode != TokenMode::Plain) return realFailure(ErrorCode::QuotedNumericValue);
    const std::size_t n = token.size();
    std::size_t i = 0;
    bool negative = false;
    if (i < n && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';

    // Mantissa: the value is `significant` times 10 to the power `scale`.
    std::string significant;
    long scale = 0;
    bool anyDigit = false;
    for (; i < n && isDecimalDigit(token[i]); ++i) {
        anyDigit = true;
        if (significant.empty() && token[i] == '0') continue;
        if (significant.size() < SIGNIFICANT_DIGITS) significant += token[i];
        else ++scale;
    }
    if (i < n && token[i] == '.') {
        for (++i; i < n && isDecimalDigit(token[i]); ++i) {
            anyDigit = true;
            if (significant.empty() && token[i] == '0') {
                --scale;
            } else if (significant.size() < SIGNIFICANT_DIGITS) {
                significant += token[i];
                --scale;
            }
        }
    }
    if (!anyDigit) return realFailure(ErrorCode::RealSyntax);

    // Exponent: a letter E, e, D or d with an optional sign, or a sign alone.
    long exponent = 0;
    if (i < n) {
        const char c = token[i];
        const bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd';
        if (letter) ++i;
        bool exponentNegative = false;
        if (i < n && (token[i] == '+' || token[i] == '-')) exponentNegative = token[i++] == '-';
        else if (!letter) return realFailure(ErrorCode::RealSyntax);
        if (i >= n || !isDecimalDigit(token[i])) return realFailure(ErrorCode::RealSyntax);
        for (; i < n && isDecimalDigit(token[i]); ++i) {
            exponent = std::min(exponent * 10 + (token[i] - '0'), EXPONENT_SATURATION);
        }
        if (exponentNegative) exponent = -exponent;
    }
    if (i != n) return realFailure(ErrorCode::RealSyntax);

    double magnitude = 0.0;
    if (!significant.empty()) {
        // The digits as an integer with a decimal exponent, free of any decimal-point
        // convention, are converted to extended precision and that value is rounded to
        // double.
        const long decimalExponent = scale + exponent;
        if (!convertShortDecimal(significant, decimalExponent, magnitude)) {
            const std::string text = significant + 'e' + std::to_string(decimalExponent);
            withoutFloatingPointTraps([&] { magnitude = throughExtendedPrecision(text.c_str()); });
        }
        if (std::isinf(magnitude)) return realFailure(ErrorCode::RealDoubleRange);
    }
    if (magnitude > SINGLE_RANGE_BOUND) return realFailure(ErrorCode::RealSingleRange);
    // Within the bound the narrowing rounds to at most the largest float: no overflow.
    const float value = static_cast<float>(magnitude);
    return {true, ErrorCode::RealSyntax, negative ? -value : value};
}

void beginRead(int unit) {
    if (unit != CONSOLE_INPUT_UNIT && unit != INPUT_UNIT_FIVE) {
        raiseRuntimeError(ErrorCode::UnitNumberInvalid, StatementKind::General);
    }
    setCurrentStatementKind(StatementKind::Read);
    setCurrentConnectionName("CON");
    statement = InputStatement{};
}

namespace {

// Transfers one value into `target` through `convert`; a null value leaves it as it was.
template <typename Target, typename Convert>
int readItem(Target& target, ItemType type, Convert convert) {
    UnitRecord& unit = startStatement();
    if (statement.finished) return 0;
    if (scanValue(unit, type)) {
        auto result = convert(tokenText(), scan.mode);
        if (!result.ok) raiseReadError(result.error);
        target = result.value;
    }
    finishItem();
    return 0;
}

}  // namespace

int readIntegerItem(std::int32_t& target) {
    return readItem(target, ItemType::Integer, parseIntegerToken);
}

int readRealItem(float& target) { return readItem(target, ItemType::Real, parseRealToken); }

int endRead() {
    UnitRecord& unit = startStatement();
    if (!scan.endedAtLineEnd) completeInputRecord(unit);
    statement = InputStatement{};
    return 0;
}

char takeConsoleByte() {
    UnitRecord& unit = consoleInputUnit();
    unit.descriptor = STANDARD_INPUT;
    return takeByte(unit);
}

void resetConsoleInput() {
    scan = ListScanState{};
    statement = InputStatement{};
}
