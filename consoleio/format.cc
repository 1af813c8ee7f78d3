// Format specifications: the compiler from text to byte code, the interpreter that walks
// the byte code between data descriptors, and the formatted item loop.
#include "consoleio/format.h"

#include <climits>
#include <cstring>
#include <optional>
#include <string>

#include "consoleio/output.h"
#include "consoleio/record.h"
#include "runtime/error.h"

namespace {

// ---------------------------------------------------------------------------------------
// Compilation

class FormatCompiler {
public:
    FormatCompiler(const char* text, std::size_t length) : text_(text), length_(length) {}

    CompiledFormat compile() {
        if (!skipBlanksAndPeek() || text_[pos_] != '(') return fail(ErrorCode::FormatMissingParen);
        ++pos_;
        int depth = 0;
        std::size_t reversionTarget = 0;  // the start, unless a top-level group follows
        for (;;) {
            if (!skipBlanksAndPeek()) return fail(ErrorCode::FormatUnexpectedEnd);

            std::optional<std::int32_t> number;
            if (isDigit(text_[pos_])) {
                number = parseNumber();
                if (failed_) return done();
                if (!skipBlanksAndPeek()) return fail(ErrorCode::FormatUnexpectedEnd);
            }

            const char c = text_[pos_++];
            switch (upper(c)) {
            case '\'':
            case '"':
                if (number) return fail(ErrorCode::FormatNotRepeatable);
                if (!compileQuotedLiteral(c)) return done();
                break;
            case 'H':
                if (!number) return fail(ErrorCode::FormatBadDescriptor);
                if (*number == 0) return fail(ErrorCode::FormatBadNumber);
                if (length_ - pos_ < static_cast<std::size_t>(*number))
                    return fail(ErrorCode::FormatUnexpectedEnd);
                emitLiteral(text_ + pos_, static_cast<std::size_t>(*number));
                pos_ += static_cast<std::size_t>(*number);
                break;
            case 'X': {
                const std::int32_t distance = number ? *number : 1;
                if (distance > FORMAT_MAX_MOVE) return fail(ErrorCode::FormatBadNumber);
                emitElement(FORMAT_MOVE_RIGHT, std::nullopt, {distance});
                break;
            }
            case '/':
                if (number && *number == 0) return fail(ErrorCode::FormatBadNumber);
                emitElement(FORMAT_SLASH, number, {});
                break;
            case '(':
                if (number && *number == 0) return fail(ErrorCode::FormatBadNumber);
                if (depth == FORMAT_MAX_GROUP_DEPTH) return fail(ErrorCode::FormatTooDeep);
                ++depth;
                if (depth == 1) reversionTarget = code_.size();
                emitElement(FORMAT_GROUP_OPEN, number, {});
                // A comma right after an opening parenthesis has no element before it.
                continue;
            case ')':
                if (number) return fail(ErrorCode::FormatNotRepeatable);
                if (depth == 0) {
                    emitEnd(reversionTarget);
                    return done();
                }
                --depth;
                emitElement(FORMAT_GROUP_CLOSE, std::nullopt, {});
                break;
            case 'I':
            case 'E':
            case 'D':
            case 'A':
                if (number && *number == 0) return fail(ErrorCode::FormatBadNumber);
                if (!compileDataDescriptor(upper(c), number)) return done();
                break;
            // Descriptors that exist but that this system does not edit.
            case 'L': case 'F': case 'G': case 'Z': case 'B': case 'O': case 'P':
            case 'T': case 'S': case ':': case '$':
                return fail(ErrorCode::FormatUnsupported);
            default:
                return fail(ErrorCode::FormatBadDescriptor);
            }

            // One comma may follow an element.
            if (skipBlanksAndPeek() && text_[pos_] == ',') ++pos_;
        }
    }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

    // Skips blanks; returns whether a character remains.
    bool skipBlanksAndPeek() {
        while (pos_ < length_ && text_[pos_] == ' ') ++pos_;
        return pos_ < length_;
    }

    // An unsigned decimal number starting at a digit; blanks inside it are ignored.
    std::int32_t parseNumber() {
        std::int64_t value = 0;
        while (skipBlanksAndPeek() && isDigit(text_[pos_])) {
            value = value * 10 + (text_[pos_++] - '0');
            if (value > INT32_MAX) {
                fail(ErrorCode::FormatBadNumber);
                return 0;
            }
        }
        return static_cast<std::int32_t>(value);
    }

    // An optional field parameter; `present` tells whether digits were there.
    std::int32_t parseFieldParameter(bool& present) {
        present = skipBlanksAndPeek() && isDigit(text_[pos_]);
        if (!present) return 0;
        const std::int32_t value = parseNumber();
        if (!failed_ && value > FORMAT_MAX_FIELD_PARAMETER) fail(ErrorCode::FormatBadNumber);
        return value;
    }

    bool nextIs(char c) { return skipBlanksAndPeek() && upper(text_[pos_]) == c; }

    // Iw[.m], Ew[.d[Ee]], Dw[.d[Ee]], A[w]. Omitted parameters take their defaults.
    bool compileDataDescriptor(char letter, std::optional<std::int32_t> repeat) {
        if (letter == 'E' && (nextIs('N') || nextIs('S'))) {
            fail(ErrorCode::FormatUnsupported);
            return false;
        }
        std::vector<std::int32_t> parameters;
        bool present = false;
        const std::int32_t width = parseFieldParameter(present);
        if (failed_) return false;
        if (present) parameters.push_back(width);
        if (letter != 'A' && present && nextIs('.')) {
            ++pos_;
            const std::int32_t second = parseFieldParameter(present);
            if (failed_) return false;
            if (!present) {
                fail(ErrorCode::FormatBadNumber);
                return false;
            }
            parameters.push_back(second);
            if (letter != 'I' && nextIs('E')) {
                // Ee only when digits follow the letter; otherwise the E starts the next
                // element (commas are optional).
                const std::size_t letterPos = pos_;
                ++pos_;
                if (skipBlanksAndPeek() && isDigit(text_[pos_])) {
                    const std::int32_t exponent = parseFieldParameter(present);
                    if (failed_) return false;
                    parameters.push_back(exponent);
                } else {
                    pos_ = letterPos;
                }
            }
        }
        const FormatCode code = letter == 'I' ? FORMAT_I
                              : letter == 'E' ? FORMAT_E
                              : letter == 'D' ? FORMAT_D
                                              : FORMAT_A;
        emitElement(code, repeat, parameters);
        return true;
    }

    bool compileQuotedLiteral(char quote) {
        std::string characters;
        for (;;) {
            if (pos_ >= length_) {
                fail(ErrorCode::FormatUnexpectedEnd);
                return false;
            }
            const char c = text_[pos_++];
            if (c == quote) {
                if (pos_ < length_ && text_[pos_] == quote) {
                    characters += quote;
                    ++pos_;
                    continue;
                }
                break;
            }
            characters += c;
        }
        emitLiteral(characters.data(), characters.size());
        return true;
    }

    void emitNumber(std::int32_t value) {
        if (value >= -FORMAT_NUMBER_INLINE_LIMIT && value <= FORMAT_NUMBER_INLINE_LIMIT) {
            code_.push_back(static_cast<unsigned char>(static_cast<std::int8_t>(value)));
            return;
        }
        code_.push_back(FORMAT_NUMBER_ESCAPE);
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8)
            code_.push_back(static_cast<unsigned char>(bits >> shift));
    }

    void emitElement(FormatCode code, std::optional<std::int32_t> repeat,
                     const std::vector<std::int32_t>& parameters) {
        code_.push_back(static_cast<unsigned char>((parameters.size() << 6) |
                                                   (repeat ? 0x20u : 0u) | code));
        if (repeat) emitNumber(*repeat);
        for (auto parameter : parameters) emitNumber(parameter);
    }

    void emitLiteral(const char* characters, std::size_t count) {
        emitElement(FORMAT_LITERAL, static_cast<std::int32_t>(count), {});
        code_.insert(code_.end(), characters, characters + count);
    }

    void emitTwoBytes(std::uint16_t value) {
        code_.push_back(static_cast<unsigned char>(value & 0xFF));
        code_.push_back(static_cast<unsigned char>(value >> 8));
    }

    void emitEnd(std::size_t reversionTarget) {
        emitElement(FORMAT_END, std::nullopt, {});
        emitTwoBytes(reversionTarget < FORMAT_REVERSION_TOO_FAR
                         ? static_cast<std::uint16_t>(reversionTarget)
                         : FORMAT_REVERSION_TOO_FAR);
    }

    CompiledFormat fail(ErrorCode error) {
        if (!failed_) {
            failed_ = true;
            emitElement(FORMAT_ERROR, std::nullopt, {});
            emitTwoBytes(static_cast<std::uint16_t>(error));
        }
        return done();
    }

    CompiledFormat done() {
        CompiledFormat format;
        format.code = code_;
        return format;
    }

    const char* text_;
    std::size_t length_;
    std::size_t pos_ = 0;
    std::vector<unsigned char> code_;
    bool failed_ = false;
};

bool isDataDescriptor(int code) {
    return code == FORMAT_I || code == FORMAT_E || code == FORMAT_D || code == FORMAT_A;
}

}  // namespace

CompiledFormat compileFormat(const char* formatText, int formatLength) {
    if (formatText == nullptr) return FormatCompiler("", 0).compile();
    const std::size_t length = formatLength < 0 ? std::strlen(formatText)
                                                : static_cast<std::size_t>(formatLength);
    return FormatCompiler(formatText, length).compile();
}

// ---------------------------------------------------------------------------------------
// Decoding

FormatElement decodeFormatElement(const CompiledFormat& format, std::size_t offset) {
    const auto& code = format.code;
    FormatElement element;
    std::size_t at = offset;
    auto readNumber = [&](std::int32_t& value) {
        if (at >= code.size()) return false;
        const unsigned char first = code[at++];
        if (first != FORMAT_NUMBER_ESCAPE) {
            value = static_cast<std::int8_t>(first);
            return true;
        }
        if (code.size() - at < 4) return false;
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(code[at++]) << (8 * i);
        value = static_cast<std::int32_t>(bits);
        return true;
    };
    auto readTwoBytes = [&](std::uint16_t& value) {
        if (code.size() - at < 2) return false;
        value = static_cast<std::uint16_t>(code[at] | (code[at + 1] << 8));
        at += 2;
        return true;
    };

    if (at >= code.size()) return element;
    const unsigned char opcode = code[at++];
    element.code = opcode & 0x1F;
    element.hasRepeat = (opcode & 0x20) != 0;
    element.parameterCount = opcode >> 6;
    if (element.hasRepeat && !readNumber(element.repeat)) return element;
    for (int i = 0; i < element.parameterCount; ++i)
        if (!readNumber(element.parameters[i])) return element;
    if (element.code == FORMAT_LITERAL) {
        if (element.repeat < 0 || code.size() - at < static_cast<std::size_t>(element.repeat))
            return element;
        element.literal = code.data() + at;
        at += static_cast<std::size_t>(element.repeat);
    } else if (element.code == FORMAT_END || element.code == FORMAT_ERROR) {
        if (!readTwoBytes(element.extra)) return element;
    }
    element.next = at;
    element.complete = true;
    return element;
}

// ---------------------------------------------------------------------------------------
// Interpretation

FormatInterpreter::FormatInterpreter(UnitRecord& unit, const CompiledFormat& format)
    : unit_(unit), format_(format) {}

bool FormatInterpreter::reversionHasDataDescriptor(std::size_t from) {
    for (std::size_t at = from; at < format_.code.size();) {
        const FormatElement element = decodeFormatElement(format_, at);
        if (!element.complete || element.code == FORMAT_END) return false;
        if (isDataDescriptor(element.code)) return true;
        at = element.next;
    }
    return false;
}

void FormatInterpreter::moveRight(std::int32_t distance) {
    // Owed blanks only grow by repeated groups of nX without a character between them; a
    // count beyond the int range cannot be laid out.
    if (distance > INT_MAX - unit_.pendingBlanks)
        raiseRuntimeError(unit_.errors, ErrorCode::FormatUnsupported, StatementKind::Write);
    addPendingBlanks(unit_, distance);
}

bool FormatInterpreter::nextDataDescriptor(bool itemsRemain, EditDescriptor& descriptor) {
    ErrorState& errors = unit_.errors;
    for (;;) {
        if (repeatsLeft_ > 0) {
            if (!itemsRemain) return false;
            --repeatsLeft_;
            descriptor = current_;
            return true;
        }

        const FormatElement element = decodeFormatElement(format_, pc_);
        if (!element.complete)
            raiseRuntimeError(errors, ErrorCode::FormatUnexpectedEnd, StatementKind::Write);

        switch (element.code) {
        case FORMAT_LITERAL:
            placeCharacters(unit_, reinterpret_cast<const char*>(element.literal), element.repeat);
            break;
        case FORMAT_SLASH:
            for (std::int32_t i = 0; i < element.repeat; ++i) endRecord(unit_);
            break;
        case FORMAT_MOVE_RIGHT:
            moveRight(element.parameters[0]);
            break;
        case FORMAT_GROUP_OPEN:
            groups_[depth_++] = Group{element.next, element.repeat};
            break;
        case FORMAT_GROUP_CLOSE: {
            Group& group = groups_[depth_ - 1];
            if (--group.remaining > 0) {
                pc_ = group.start;
                continue;
            }
            --depth_;
            break;
        }
        case FORMAT_I:
        case FORMAT_E:
        case FORMAT_D:
        case FORMAT_A: {
            if (!itemsRemain) return false;
            EditDescriptor next;
            next.code = element.code == FORMAT_I   ? EditCode::Integer
                      : element.code == FORMAT_E   ? EditCode::Exponent
                      : element.code == FORMAT_D   ? EditCode::DoubleExponent
                                                   : EditCode::Character;
            // Only A takes its width from the item; the numeric forms default to 0.
            next.hasWidth = element.code != FORMAT_A || element.parameterCount >= 1;
            if (element.parameterCount >= 1) next.width = element.parameters[0];
            if (element.parameterCount >= 2) next.digits = element.parameters[1];
            if (element.parameterCount >= 3) next.exponentDigits = element.parameters[2];
            next.scaleFactor = scaleFactor_;
            next.plusSign = plusSign_;
            current_ = next;
            repeatsLeft_ = element.repeat - 1;
            pc_ = element.next;
            descriptor = current_;
            return true;
        }
        case FORMAT_END: {
            if (!itemsRemain) return false;
            if (element.extra == FORMAT_REVERSION_TOO_FAR)
                raiseRuntimeError(errors, ErrorCode::FormatUnsupported, StatementKind::Write);
            // Reversion would loop for ever if the part it repeats edits nothing.
            if (!reversionHasDataDescriptor(element.extra))
                raiseRuntimeError(errors, ErrorCode::FormatNoDataDescriptor, StatementKind::Write);
            endRecord(unit_);
            pc_ = element.extra;
            depth_ = 0;
            continue;
        }
        case FORMAT_ERROR:
            raiseRuntimeError(errors, static_cast<ErrorCode>(element.extra), StatementKind::Write);
        default:
            raiseRuntimeError(errors, ErrorCode::FormatBadDescriptor, StatementKind::Write);
        }
        pc_ = element.next;
    }
}

// ---------------------------------------------------------------------------------------
// The formatted item loop

namespace {

// An item its descriptor cannot edit raises the error in `errors`.
EditedField editItem(ErrorState& errors, const OutputItem& item, const EditDescriptor& descriptor) {
    switch (descriptor.code) {
    case EditCode::Integer:
        if (item.type == ITEM_INTEGER) return editInteger(item.integerValue, descriptor);
        break;
    case EditCode::Exponent:
    case EditCode::DoubleExponent:
        if (item.type == ITEM_REAL || item.type == ITEM_DOUBLE)
            return editReal(item.realValue, item.type == ITEM_DOUBLE, descriptor);
        break;
    case EditCode::Character:
        if (item.type == ITEM_CHARACTER) {
            // Aw keeps the leftmost w characters of a longer text.
            EditedField field;
            field.chars = item.text;
            if (descriptor.hasWidth && static_cast<std::int32_t>(field.chars.size()) > descriptor.width)
                field.chars.resize(static_cast<std::size_t>(descriptor.width));
            return field;
        }
        break;
    }
    raiseRuntimeError(errors, ErrorCode::FormatTypeMismatch, StatementKind::Write);
}

}  // namespace

void runFormattedItems(UnitRecord& unit, const CompiledFormat& format,
                       std::span<const OutputItem> items) {
    FormatInterpreter interpreter(unit, format);
    EditDescriptor descriptor;
    for (const OutputItem& item : items) {
        interpreter.nextDataDescriptor(true, descriptor);
        const EditedField field = editItem(unit.errors, item, descriptor);
        const auto count = static_cast<std::int32_t>(field.chars.size());
        const std::int32_t width = descriptor.hasWidth ? descriptor.width : count;
        if (field.overflow || count > width) {
            const std::string asterisks(static_cast<std::size_t>(width), '*');
            placeCharacters(unit, asterisks.data(), width);
        } else {
            if (width > count) addPendingBlanks(unit, width - count);
            placeCharacters(unit, field.chars.data(), count);
        }
    }
    interpreter.nextDataDescriptor(false, descriptor);
}
