// List-directed console input. An input statement takes bytes from the console input
// record; the record reader fills it from standard input (one typed line per read on a
// terminal, otherwise one line of a read-ahead, in pieces of 132 bytes), the scanner cuts
// the next value out of the byte stream by the list-directed separator rules, and the
// conversions turn the value into a 32-bit integer or a single-precision real.
#include "consoleio/input.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "consoleio/record.h"
#include "runtime/console.h"

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

// ---- The conversion of a real's digits to double ----
//
// The value d * 10^e of the significant digits d and the decimal exponent e is rounded
// to the 64-bit significand of extended precision (to nearest, ties to even), and that
// value to double (to nearest, ties to even, at the last bit of a denormal when the value
// is that small); a value that rounds to 2^1024 or beyond is out of range. Extended
// precision's exponent range is far wider than double's, so its rounding is a plain 64-bit
// rounding for every value that can reach a nonzero double. All of it is integer
// arithmetic: the result does not depend on the rounding mode, the width of long double,
// or the floating-point environment, and raises no flag.

constexpr int EXTENDED_BITS = 64;
constexpr int DOUBLE_BITS = 53;
constexpr int DOUBLE_MIN_EXPONENT = -1022;                            // of the smallest normal
constexpr int DOUBLE_LOWEST_BIT = DOUBLE_MIN_EXPONENT - DOUBLE_BITS + 1;  // 2^-1074
constexpr int DOUBLE_MAX_EXPONENT = 1023;

// A positive value q * 2^exponent; with `sticky` set the true value lies strictly between
// q * 2^exponent and (q + 1) * 2^exponent (a nonzero fraction was cut off below q's last
// bit), and q then has at least 66 bits, so the cut lies below any bit a rounding keeps.
struct BinaryValue {
    unsigned __int128 q = 0;
    int exponent = 0;
    bool sticky = false;
};

int bitLength(unsigned __int128 value) {
    const auto high = static_cast<std::uint64_t>(value >> 64);
    if (high != 0) return 128 - std::countl_zero(high);
    return 64 - std::countl_zero(static_cast<std::uint64_t>(value));
}

// Rounds the value to a multiple of 2^lowest, to nearest with ties to even. The result
// may carry into a new leading bit (q becomes a power of two); it stays exact.
void roundAt(BinaryValue& value, int lowest) {
    if (lowest <= value.exponent) return;
    const int shift = lowest - value.exponent;
    value.exponent = lowest;
    if (shift > bitLength(value.q)) {
        // Below half of 2^lowest.
        value.q = 0;
        value.sticky = false;
        return;
    }
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    const unsigned __int128 rest = value.q & ((half << 1) - 1);
    value.q >>= shift;
    if (rest > half || (rest == half && (value.sticky || (value.q & 1) != 0))) ++value.q;
    value.sticky = false;
}

// The value rounded to extended precision's 64 significant bits, then to double; false
// when that is 2^1024 or more, beyond the double range.
bool roundThroughExtended(BinaryValue value, double& result) {
    roundAt(value, value.exponent + bitLength(value.q) - EXTENDED_BITS);
    const int top = value.exponent + bitLength(value.q) - 1;  // exponent of the leading bit
    roundAt(value, std::max(top - DOUBLE_BITS + 1, DOUBLE_LOWEST_BIT));
    auto bits = static_cast<std::uint64_t>(value.q);
    const int length = bitLength(value.q);  // at most 54: 2^53 after a carry
    const int leading = value.exponent + length - 1;
    if (bits == 0) {
        result = 0.0;
        return true;
    }
    if (leading > DOUBLE_MAX_EXPONENT) return false;
    if (leading >= DOUBLE_MIN_EXPONENT) {
        // A normal double: the biased exponent, then the significand without its leading 1.
        constexpr std::uint64_t FRACTION_MASK = (std::uint64_t{1} << (DOUBLE_BITS - 1)) - 1;
        bits = length > DOUBLE_BITS ? bits >> (length - DOUBLE_BITS) : bits << (DOUBLE_BITS - length);
        const auto biased = static_cast<std::uint64_t>(leading + DOUBLE_MAX_EXPONENT);
        bits = (biased << (DOUBLE_BITS - 1)) | (bits & FRACTION_MASK);
    } else {
        // A denormal: its bits are the multiples of 2^-1074, with a biased exponent of 0.
        bits <<= value.exponent - DOUBLE_LOWEST_BIT;
    }
    result = std::bit_cast<double>(bits);
    return true;
}

// The value of at most 19 digits times 10^decimalExponent, for a small exponent, in 128-bit
// integers. False when the value is not of this kind.
bool shortDecimalValue(std::string_view digits, long decimalExponent, BinaryValue& value) {
    if (digits.size() > 19 || decimalExponent > 19 || decimalExponent < -18) return false;
    static constexpr std::uint64_t POWERS_OF_TEN[20] = {
        1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull,
        100000000ull, 1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull,
        10000000000000ull, 100000000000000ull, 1000000000000000ull, 10000000000000000ull,
        100000000000000000ull, 1000000000000000000ull, 10000000000000000000ull};
    std::uint64_t d = 0;
    for (char c : digits) d = d * 10 + static_cast<std::uint64_t>(c - '0');
    if (decimalExponent >= 0) {
        value = {static_cast<unsigned __int128>(d) * POWERS_OF_TEN[decimalExponent], 0, false};
    } else {
        // (d * 2^(64 + z)) / 10^k keeps at least 68 bits of the quotient for k <= 18.
        const int z = std::countl_zero(d);
        const unsigned __int128 dividend = static_cast<unsigned __int128>(d << z) << 64;
        const std::uint64_t divisor = POWERS_OF_TEN[-decimalExponent];
        value = {dividend / divisor, -64 - z, dividend % divisor != 0};
    }
    return true;
}

// A nonnegative integer in 32-bit limbs, least significant first, with room for the
// conversion's operands: they stay below 2^872 (see decimalValue).
class BigInteger {
public:
    explicit BigInteger(std::uint32_t value) {
        if (value != 0) limbs_[size_++] = value;
    }

    bool isZero() const { return size_ == 0; }

    int bitLength() const {
        return size_ == 0 ? 0 : 32 * size_ - std::countl_zero(limbs_[size_ - 1]);
    }

    // this = this * factor + addend
    void multiplyAdd(std::uint32_t factor, std::uint32_t addend) {
        std::uint64_t carry = addend;
        for (int i = 0; i < size_; ++i) {
            carry += static_cast<std::uint64_t>(limbs_[i]) * factor;
            limbs_[i] = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
        if (carry != 0) append(static_cast<std::uint32_t>(carry));
    }

    void multiplyByPowerOfFive(long k) {
        constexpr std::uint32_t FIVE_TO_13 = 1220703125;  // the largest power of 5 in 32 bits
        for (; k >= 13; k -= 13) multiplyAdd(FIVE_TO_13, 0);
        std::uint32_t rest = 1;
        for (; k > 0; --k) rest *= 5;
        multiplyAdd(rest, 0);
    }

    void shiftLeft(int bits) {
        if (isZero()) return;
        const int limbShift = bits / 32;
        const int bitShift = bits % 32;
        if (bitShift != 0) {
            std::uint32_t carry = 0;
            for (int i = 0; i < size_; ++i) {
                const std::uint32_t limb = limbs_[i];
                limbs_[i] = (limb << bitShift) | carry;
                carry = limb >> (32 - bitShift);
            }
            if (carry != 0) append(carry);
        }
        if (limbShift != 0) {
            if (size_ + limbShift > LIMBS) std::abort();
            for (int i = size_ - 1; i >= 0; --i) limbs_[i + limbShift] = limbs_[i];
            for (int i = 0; i < limbShift; ++i) limbs_[i] = 0;
            size_ += limbShift;
        }
    }

    // Halves an even value.
    void shiftRightOne() {
        for (int i = 0; i < size_; ++i) {
            const std::uint32_t next = i + 1 < size_ ? limbs_[i + 1] : 0;
            limbs_[i] = (limbs_[i] >> 1) | (next << 31);
        }
        trim();
    }

    // this = this - other, for other <= this.
    void subtract(const BigInteger& other) {
        std::int64_t borrow = 0;
        for (int i = 0; i < size_; ++i) {
            std::int64_t difference =
                static_cast<std::int64_t>(limbs_[i]) - (i < other.size_ ? other.limbs_[i] : 0) - borrow;
            borrow = difference < 0 ? 1 : 0;
            limbs_[i] = static_cast<std::uint32_t>(difference + (borrow << 32));
        }
        trim();
    }

    friend bool operator>=(const BigInteger& a, const BigInteger& b) {
        if (a.size_ != b.size_) return a.size_ > b.size_;
        for (int i = a.size_ - 1; i >= 0; --i) {
            if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] > b.limbs_[i];
        }
        return true;
    }

private:
    static constexpr int LIMBS = 36;  // 1152 bits

    void append(std::uint32_t limb) {
        if (size_ == LIMBS) std::abort();  // beyond the proven bound: a fault of this file
        limbs_[size_++] = limb;
    }

    void trim() {
        while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
    }

    std::uint32_t limbs_[LIMBS] = {};
    int size_ = 0;
};

// Beyond these decimal exponents the result needs no arithmetic. With 1 <= d < 10^24:
// from 10^309 on a value lies beyond the double range, and below 10^-324 < 2^-1076 its
// roundings give at most 2^-1076, under half the smallest denormal, so 0.
constexpr long OVERFLOWING_EXPONENT = 309;
constexpr long VANISHING_EXPONENT = -348;

// The value of the digits times 10^decimalExponent for -348 < decimalExponent < 309, as a
// quotient of 66 or 67 bits and its sticky remainder: d * 10^e = d * 5^e * 2^e is
// numerator / denominator * 2^e with the power of 5 on the side its sign puts it, both
// scaled by a power of two so that the quotient's length is known, then divided bit by bit.
// The operands stay below 2^872: a numerator of at most 10^24 * 5^308 < 2^797 or a
// denominator of at most 5^347 < 2^806, and the other made at most 66 bits longer.
BinaryValue decimalValue(std::string_view digits, long decimalExponent) {
    // The quotient has at least 66 bits: the 64 a rounding keeps, the rounding bit, and one
    // more, so that the remainder's sticky bit lies below them all.
    constexpr int QUOTIENT_BITS = 66;
    BigInteger numerator(0);
    for (char c : digits) numerator.multiplyAdd(10, static_cast<std::uint32_t>(c - '0'));
    BigInteger denominator(1);
    if (decimalExponent >= 0) numerator.multiplyByPowerOfFive(decimalExponent);
    else denominator.multiplyByPowerOfFive(-decimalExponent);
    // With numerator.bitLength() == denominator.bitLength() + 66 the quotient lies in
    // (2^65, 2^67).
    const int scale = QUOTIENT_BITS - (numerator.bitLength() - denominator.bitLength());
    if (scale > 0) numerator.shiftLeft(scale);
    else denominator.shiftLeft(-scale);
    // Restoring division: numerator < 2 * (denominator * 2^66) at the start, and each step
    // takes one bit of the quotient with the divisor halved.
    denominator.shiftLeft(QUOTIENT_BITS);
    unsigned __int128 q = 0;
    for (int bit = QUOTIENT_BITS;; --bit) {
        q <<= 1;
        if (numerator >= denominator) {
            numerator.subtract(denominator);
            q |= 1;
        }
        if (bit == 0) break;
        denominator.shiftRightOne();
    }
    return {q, static_cast<int>(decimalExponent - scale), !numerator.isZero()};
}

// The double of the significant digits (no leading zero; empty for zero) times
// 10^decimalExponent; false beyond the double range. No floating-point operation is made,
// not even a comparison, which would raise the denormal-operand flag where there is one.
bool decimalToDouble(std::string_view digits, long decimalExponent, double& result) {
    result = 0.0;
    if (digits.empty() || decimalExponent <= VANISHING_EXPONENT) return true;
    if (decimalExponent >= OVERFLOWING_EXPONENT) return false;
    BinaryValue value;
    if (!shortDecimalValue(digits, decimalExponent, value)) value = decimalValue(digits, decimalExponent);
    return roundThroughExtended(value, result);
}

IntegerConversion integerFailure(ErrorCode code) { return {false, code, 0}; }
RealConversion realFailure(ErrorCode code) { return {false, code, 0.0f}; }
DoubleConversion doubleFailure(ErrorCode code) { return {false, code, 0.0}; }

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

DoubleConversion parseRealTokenToDouble(std::string_view token, TokenMode mode) {
    if (mode != TokenMode::Plain) return doubleFailure(ErrorCode::QuotedNumericValue);
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
    if (!anyDigit) return doubleFailure(ErrorCode::RealSyntax);

    // Exponent: a letter E, e, D or d with an optional sign, or a sign alone.
    long exponent = 0;
    if (i < n) {
        const char c = token[i];
        const bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd';
        if (letter) ++i;
        bool exponentNegative = false;
        if (i < n && (token[i] == '+' || token[i] == '-')) exponentNegative = token[i++] == '-';
        else if (!letter) return doubleFailure(ErrorCode::RealSyntax);
        if (i >= n || !isDecimalDigit(token[i])) return doubleFailure(ErrorCode::RealSyntax);
        for (; i < n && isDecimalDigit(token[i]); ++i) {
            exponent = std::min(exponent * 10 + (token[i] - '0'), EXPONENT_SATURATION);
        }
        if (exponentNegative) exponent = -exponent;
    }
    if (i != n) return doubleFailure(ErrorCode::RealSyntax);

    // The digits as an integer with a decimal exponent, free of any decimal-point convention.
    double magnitude;
    if (!decimalToDouble(significant, scale + exponent, magnitude)) {
        return doubleFailure(ErrorCode::RealDoubleRange);
    }
    const std::uint64_t sign = negative ? std::uint64_t{1} << 63 : 0;
    return {true, ErrorCode::RealSyntax, std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) | sign)};
}

RealConversion parseRealToken(std::string_view token, TokenMode mode) {
    const DoubleConversion converted = parseRealTokenToDouble(token, mode);
    if (!converted.ok) return realFailure(converted.error);
    const double value = converted.value;
    if (value > SINGLE_RANGE_BOUND || value < -SINGLE_RANGE_BOUND) {
        return realFailure(ErrorCode::RealSingleRange);
    }
    // Within the bounds the narrowing rounds to at most the largest float: no overflow.
    return {true, ErrorCode::RealSyntax, static_cast<float>(value)};
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
