"""Reference model of a whole lamvis2 run with standard input and output on pipes.

run_model(answer_bytes) returns (stdout_bytes, stderr_bytes, exit_status), the bytes that
`lamvis2 < answers` is expected to write. The model is written from the program's rules,
independently of the C++ sources: the dialogue, the single-precision arithmetic with every
rounding point, the list-directed and formatted console records, list-directed input and
the run-time error reports.

Arithmetic: Python floats are IEEE doubles, which stand for the program's "higher
precision" intermediates; f32() rounds to single precision where the program stores a
value. math.pow/cos/sin/exp call the same C library as the program does.
"""

import math
import re
import struct
from fractions import Fraction
from decimal import Decimal

CR_LF = b"\r\n"

# Message texts of the run-time error table (runtime/error.cc), by reported number.
MESSAGE_TEXTS = {
    6100: "integer overflow",
    6101: "invalid integer",
    6102: "real overflow",
    6103: "invalid real",
    6104: "real too large for single precision",
    6302: "invalid based integer: second '#'",
    6303: "invalid base in based integer",
    6501: "end of file encountered",
    6502: "zero repeat count",
    6503: "multiple repeat counts",
    6504: "quoted value for numeric item",
    6423: "write error on console",
}

# Floating-point exception texts of the MATH reports.
FP_INVALID = (6101, "floating-point error: invalid")
FP_DIVIDE_BY_ZERO = (6103, "floating-point error: divide by zero")
FP_OVERFLOW = (6104, "floating-point error: overflow")


class RunEnded(Exception):
    """The run ended (normally or after a report); `status` is the exit status."""

    def __init__(self, status):
        super().__init__(status)
        self.status = status


class FloatingPointTrap(Exception):
    """A trapped floating-point exception or a mathematical-library error."""

    def __init__(self, number, text):
        super().__init__(number, text)
        self.number = number
        self.text = text


class InputError(Exception):
    """A run-time error of the list-directed input (reported number)."""

    def __init__(self, number):
        super().__init__(number)
        self.number = number


class OutputFault(Exception):
    """A write to standard output failed: the file-size limit was reached."""


class NotModelled(Exception):
    """The answer text takes a path that the model does not cover."""


class CommandAtPause(NotModelled):
    """The answer to the pause is a command line; `offset` is the position in the answer
    bytes where the pause began to read its answer."""

    def __init__(self, offset):
        super().__init__("a command line at the pause")
        self.offset = offset


# ---------------------------------------------------------------------------------------
# Single-precision arithmetic with the traps of the floating-point set-up


def f32(x):
    """Rounds a double to single precision as a store does; overflow and NaN trap."""
    if math.isnan(x):
        raise FloatingPointTrap(*FP_INVALID)
    if math.isinf(x):
        # Only an overflowing operation can have produced it (inputs are finite).
        raise FloatingPointTrap(*FP_OVERFLOW)
    try:
        rounded = struct.unpack("f", struct.pack("f", x))[0]
    except OverflowError:  # older Pythons refuse to pack what newer ones make infinite
        raise FloatingPointTrap(*FP_OVERFLOW) from None
    if math.isinf(rounded):
        raise FloatingPointTrap(*FP_OVERFLOW)
    return rounded


def div(a, b):
    """a / b in double, with the division-by-zero and invalid traps."""
    if b == 0.0:
        if a == 0.0 or math.isnan(a):
            raise FloatingPointTrap(*FP_INVALID)
        raise FloatingPointTrap(*FP_DIVIDE_BY_ZERO)
    r = a / b
    if math.isinf(r):
        raise FloatingPointTrap(*FP_OVERFLOW)
    return r


def checked(x):
    """An intermediate double: an infinity means the operation overflowed."""
    if math.isinf(x):
        raise FloatingPointTrap(*FP_OVERFLOW)
    if math.isnan(x):
        raise FloatingPointTrap(*FP_INVALID)
    return x


def lib_pow(x, y):
    try:
        return math.pow(x, y)
    except OverflowError:
        raise FloatingPointTrap(6203, "**: OVERFLOW error") from None
    except ValueError:
        raise FloatingPointTrap(6201, "**: DOMAIN error") from None


def lib_exp(x):
    try:
        return math.exp(x)
    except OverflowError:
        raise FloatingPointTrap(6203, "exp: OVERFLOW error") from None


PI_APPROX = f32(3.14159)
ISOTROPY_TOLERANCE = f32(0.001)
ONE_THIRD = f32(1.0 / 3.0)
TINY_PIVOT = f32(1.0e-20)
SWEEP_SPAN_FACTOR = 100.0
TIME_STEP_FACTOR = f32(1.7782794)
MAX_MATERIAL_SETS = 10
MAX_PLIES = 20

REUTER = [[1.0, 0.0, 0.0], [0.0, 1.0, 0.0], [0.0, 0.0, 2.0]]
INVERSE_REUTER = [[1.0, 0.0, 0.0], [0.0, 1.0, 0.0], [0.0, 0.0, 0.5]]


def mat_mul(a, b):
    """(A B)(i, j): running sum over l from 0, rounded to single after each term."""
    n = len(a)
    result = [[0.0] * n for _ in range(n)]
    for i in range(n):
        for j in range(n):
            s = 0.0
            for l in range(n):
                s = f32(s + checked(a[i][l] * b[l][j]))
            result[i][j] = s
    return result


def mat_vec(a, v):
    result = []
    for i in range(len(a)):
        s = 0.0
        for l in range(len(v)):
            s = f32(s + checked(a[i][l] * v[l]))
        result.append(s)
    return result


# ---------------------------------------------------------------------------------------
# Numeric editing (Iw and Ew.d)


def edit_integer(value, width):
    text = str(abs(value))
    if value < 0:
        text = "-" + text
    if len(text) > width:
        return "*" * width
    return text.rjust(width)


def decimal_digits(value):
    """(negative, digit string, exponent) with value = 0.DIGITS * 10**exponent, the digits
    being the exact value's rounded half up to 17 significant digits, no trailing zeros."""
    if value == 0.0:
        return False, "0", 0
    exact = Decimal(abs(value))  # exact binary value
    sign, digit_tuple, exp = exact.as_tuple()
    digits = "".join(str(d) for d in digit_tuple).lstrip("0")
    exponent = len(digits) + exp
    digits18 = (digits + "0" * 18)[:18]
    kept, carry = round_half_up(digits18[:17], digits18[17])
    exponent += carry
    return value < 0.0, kept.rstrip("0") or "0", exponent


def round_half_up(digits, next_digit):
    """Cuts `digits` and adds one to the last kept digit when next_digit is 5 or more.
    Returns (digits, 1 if the carry made the value one place longer else 0)."""
    if next_digit < "5":
        return digits, 0
    number = int(digits) + 1
    text = str(number)
    if len(text) > len(digits):
        return "1" + "0" * len(digits), 1
    return text.rjust(len(digits), "0"), 0


def edit_real_e(value, width, d, exponent_digits=2):
    negative, digits, exponent = decimal_digits(value)
    n = min(d, 7)
    if len(digits) > n:
        digits, carry = round_half_up(digits[:n], digits[n])
        exponent += carry
    if digits.strip("0") == "":
        negative = False
    if value == 0.0:
        exponent = 0
    text = "-" if negative else ""
    if d == 0:
        text += "0"
    text += "." + (digits + "0" * d)[:d]
    if exponent_digits == 2 and (exponent > 99 or exponent < -99):
        exp_text = ("+" if exponent >= 0 else "-") + str(abs(exponent)).rjust(3, "0")
        if len(str(abs(exponent))) > 3:
            return "*" * width
    else:
        magnitude = str(abs(exponent)).rjust(exponent_digits, "0")
        if len(magnitude) > exponent_digits:
            return "*" * width
        exp_text = "E" + ("+" if exponent >= 0 else "-") + magnitude
    text += exp_text
    if len(text) > width:
        return "*" * width
    return text.rjust(width)


# ---------------------------------------------------------------------------------------
# Format specifications


def compile_format(text):
    """Elements of a format: ('lit', s), ('slash',), ('x', n), ('i', r, w), ('e', r, w, d),
    ('end',). Blanks are ignored outside literals; compilation stops at the closing ')'."""
    assert text[0] == "("
    elements = []
    pos = 1
    while True:
        while text[pos] in " ,":
            pos += 1
        ch = text[pos]
        if ch in "'\"":
            quote = ch
            pos += 1
            literal = ""
            while True:
                if text[pos] == quote:
                    if pos + 1 < len(text) and text[pos + 1] == quote:
                        literal += quote
                        pos += 2
                        continue
                    pos += 1
                    break
                literal += text[pos]
                pos += 1
            elements.append(("lit", literal))
            continue
        if ch == "/":
            elements.append(("slash",))
            pos += 1
            continue
        if ch == ")":
            elements.append(("end",))
            return elements
        m = re.match(r"(\d*)([XxIiEe])(\d*)(?:\.(\d+))?", text[pos:])
        if not m:
            raise NotModelled("format element at " + text[pos:])
        count, letter, width, digits = m.groups()
        pos += m.end()
        letter = letter.upper()
        if letter == "X":
            elements.append(("x", int(count) if count else 1))
        elif letter == "I":
            elements.append(("i", int(count) if count else 1, int(width)))
        else:
            elements.append(("e", int(count) if count else 1, int(width), int(digits)))


class Console:
    """The console output unit and the dialogue's byte streams."""

    def __init__(self, answers, output_limit=None):
        self.out = bytearray()
        self.output_limit = output_limit
        self.err = bytearray()
        self.line_open = False
        self.last_kind = "WRITE"
        self.input = PipeInput(answers)
        # the record being built
        self.record = ""
        self.pending = 0

    def write(self, data):
        """Standard output; beyond the file-size limit the write fails after the bytes
        that still fit."""
        if self.output_limit is not None and len(self.out) + len(data) > self.output_limit:
            self.out += data[:self.output_limit - len(self.out)]
            self.line_open = False
            raise OutputFault()
        self.out += data

    # records -----------------------------------------------------------------------

    def place(self, chars):
        self.record += " " * self.pending + chars
        self.pending = 0

    def end_record(self):
        record = self.record or " "
        control, rest = record[0], record[1:]
        if control == "+":
            self.write(b"\r")
        elif control == "0":
            self.write(b"\r\n\r\n" if self.line_open else b"\r\n")
        elif control == "1":
            self.write(b"\r\n\x0c\r \r")
        elif self.line_open:
            self.write(CR_LF)
        if rest:
            self.write(rest.encode("latin-1"))
        self.line_open = True
        self.record = ""
        self.pending = 0

    # statements --------------------------------------------------------------------

    def write_list(self, *items):
        """A list-directed output statement of character (str) and integer items."""
        self.last_kind = "WRITE"
        self.record, self.pending = "", 1
        remaining = 79
        after_number = False
        for item in items:
            if isinstance(item, str):
                rest = item
                while len(rest) >= remaining:
                    self.place(rest[:remaining])
                    rest = rest[remaining:]
                    self.end_record()
                    self.pending, remaining = 1, 79
                self.place(rest)
                remaining -= len(rest)
                after_number = False
            else:
                width = 12 if after_number else 11
                field = str(item).rjust(width)
                if width >= 79:
                    raise NotModelled("list-directed value too wide")
                if width < remaining:
                    self.place(field)
                    remaining -= width
                else:
                    self.end_record()
                    self.pending = 0
                    self.place(field)
                    remaining = 79 - width
                after_number = True
        self.end_record()

    def write_formatted(self, fmt, *items):
        """A formatted output statement of integer (int) and real (float) items."""
        self.last_kind = "WRITE"
        elements = compile_format(fmt)
        self.record, self.pending = "", 0
        state = {"pos": 0, "left": 0}

        def next_data(items_remain):
            while True:
                element = elements[state["pos"]]
                kind = element[0]
                if kind in ("i", "e"):
                    if not items_remain:
                        return None
                    if state["left"] == 0:
                        state["left"] = element[1]
                    state["left"] -= 1
                    if state["left"] == 0:
                        state["pos"] += 1
                    return element
                if kind == "lit":
                    self.place(element[1])
                elif kind == "slash":
                    self.end_record()
                elif kind == "x":
                    self.pending += element[1]
                elif kind == "end":
                    if not items_remain:
                        return None
                    if not any(e[0] in ("i", "e") for e in elements):
                        raise NotModelled("items for a format without data descriptors")
                    self.end_record()
                    state["pos"] = -1
                state["pos"] += 1

        for item in items:
            element = next_data(True)
            if element[0] == "i":
                assert isinstance(item, int)
                field = edit_integer(item, element[2])
            else:
                assert isinstance(item, float)
                field = edit_real_e(item, element[2], element[3])
            self.place(field)
        next_data(False)
        self.end_record()

    def read_real(self, previous=0.0):
        """Reads a real; a null value keeps `previous`, the target's value (every variable
        of the analysis starts the run at zero and is read at most once)."""
        self.last_kind = "READ"
        value = self.input.read_item(parse_real)
        return previous if value is None else value

    def read_integer(self, previous):
        self.last_kind = "READ"
        value = self.input.read_item(parse_integer)
        return previous if value is None else value

    def pause(self, text):
        """The pause of the singular-matrix message, with input redirected."""
        if self.line_open:
            self.write(CR_LF)
        self.write(text.encode("latin-1") + CR_LF)
        offset = self.input.next_offset()
        answer = self.input.read_pause_line()
        answer = answer.rstrip(b" \t")
        # An empty answer, or a single character, lets the run go on; two or more
        # characters are a command line for the platform's command interpreter.
        if len(answer) >= 2:
            raise CommandAtPause(offset)

    # run-time error reports and the end of the run -------------------------------------

    def report(self, letter, number, label, text):
        report = "\r\nrun-time error " + letter + str(number) + label + text + "\r\n"
        self.err += report.encode("latin-1")

    def end_run(self, status):
        if self.line_open:
            self.line_open = False
            try:
                self.write(CR_LF)
            except OutputFault:
                raise NotModelled("a failed write at the close-down")
        raise RunEnded(status)


SIGNIFICANT_DIGITS = 24
EXPONENT_LIMIT = 5200


def to_extended(exact):
    """The exact value rounded to the 64-bit significand of extended precision (nearest,
    ties to even), with its exponent range: too large is an overflow."""
    if exact == 0:
        return Fraction(0)
    magnitude = abs(exact)
    exponent = magnitude.numerator.bit_length() - magnitude.denominator.bit_length()
    if Fraction(2) ** exponent > magnitude:
        exponent -= 1
    exponent = max(exponent, -16382)            # below the normal range the step is fixed
    step = Fraction(2) ** (exponent - 63)
    scaled = magnitude / step
    whole = scaled.numerator // scaled.denominator
    rest = scaled - whole
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and whole % 2 == 1):
        whole += 1
    rounded = whole * step
    if rounded >= Fraction(2) ** 16384:
        raise OverflowError
    return rounded if exact > 0 else -rounded


def to_double(extended):
    """An extended value rounded to double precision (nearest, ties to even)."""
    return extended.numerator / extended.denominator


def parse_real(token):
    """A list-directed real token to its single-precision value. At most 24 significant
    digits take part (further digits only scale the value) and the exponent saturates at
    5200 in magnitude; the value is rounded to extended precision, then to double,
    then to single."""
    m = re.fullmatch(r"([+-]?)([0-9]*)(\.?)([0-9]*)(?:[EeDd]([+-]?[0-9]+)|([+-][0-9]+))?",
                     token)
    if not m or not (m.group(2) or m.group(4)):
        raise InputError(6103)
    sign, whole, _, fraction, exp1, exp2 = m.groups()
    exponent = int(exp1 if exp1 is not None else (exp2 if exp2 is not None else "0"))
    exponent = max(-EXPONENT_LIMIT, min(EXPONENT_LIMIT, exponent))
    digits = (whole + fraction).lstrip("0") or "0"
    scale = exponent - len(fraction)
    if len(digits) > SIGNIFICANT_DIGITS:
        scale += len(digits) - SIGNIFICANT_DIGITS
        digits = digits[:SIGNIFICANT_DIGITS]
    try:
        value = to_double(to_extended(Fraction(Decimal(sign + digits + "E" + str(scale)))))
    except OverflowError:
        raise InputError(6102)
    if value < -3.402823466385289e38 or value > 3.402823466385289e38:
        raise InputError(6104)
    return struct.unpack("f", struct.pack("f", value))[0]


DIGITS36 = "0123456789abcdefghijklmnopqrstuvwxyz"


def parse_integer(token):
    """A list-directed integer token: optional sign, then decimal digits (a Ctrl-Z byte ends
    them where it stands), or the based form [base]#digits."""
    sign = 1
    if token and token[0] in "+-":
        sign = -1 if token[0] == "-" else 1
        token = token[1:]
    if "#" in token:
        return sign_applied(sign, parse_based(token))
    if sign == -1 and token == "2147483648":
        return -2147483648
    value = 0
    for ch in token:
        if ch == "\x1a":
            break
        if ch not in "0123456789":
            raise InputError(6101)
        if value > 214748364:
            raise InputError(6100)
        value = value * 10 + int(ch)
        if value > 2147483647:
            raise InputError(6100)
    return sign * value


def parse_based(token):
    """The unsigned value of base#digits; base 10 keeps the signed limit, every other base
    accumulates up to 32 bits and the result is the 32-bit pattern."""
    base_text, digits = token.split("#", 1)
    base = 0
    for ch in base_text:
        if ch not in "0123456789":
            raise InputError(6101)
        base = base * 10 + int(ch)
        if base > 2147483647:
            raise InputError(6100)
    if base_text == "":
        base = 16
    if not 2 <= base <= 36:
        raise InputError(6303)
    limit = 2147483647 if base == 10 else 4294967295
    value = 0
    for ch in digits:
        if ch == "#":
            raise InputError(6302)
        digit = DIGITS36.find(ch.lower()) if ch.isascii() else -1
        if digit < 0 or digit >= base:
            raise InputError(6101)
        value = value * base + digit
        if value > limit:
            raise InputError(6100)
    return value


def sign_applied(sign, unsigned):
    """The sign applied to a based value, and the result as a 32-bit signed integer."""
    pattern = (sign * unsigned) & 0xFFFFFFFF
    return pattern - (1 << 32) if pattern >= 1 << 31 else pattern


TOKEN_CAPACITY = 260


def appended(token, ch, convert):
    """The token with one more byte; a value longer than the token's capacity is refused
    as an invalid number of the item's type when its first excess byte arrives."""
    if len(token) >= TOKEN_CAPACITY:
        raise InputError(6101 if convert is parse_integer else 6103)
    return token + ch


class PipeInput:
    """The console input connection when standard input is a pipe or a file. The input is
    a sequence of lines, each up to and including its LF (the last one possibly without);
    the reader hands out one line per record, a line longer than 132 bytes in pieces of
    132 bytes. The last line gets an LF when it has none. A line whose last byte before its
    line end (CR LF, LF, or the end of the input) is Ctrl-Z is the end of the input when
    the record that holds its line end is reached. Records are completed by skipping to
    the next LF."""

    RECORD_LENGTH = 132

    def __init__(self, data):
        self.data = bytes(data)
        self.offset = 0          # offset of the next record in the data
        self.line_start = 0      # offset where the line of the next record starts
        self.buffer = b""
        self.buffer_start = 0
        self.position = 0

    def next_offset(self):
        """Offset in the answer bytes of the next byte to be taken."""
        return min(self.buffer_start + self.position, len(self.data))

    def fill(self):
        data, start = self.data, self.offset
        if start >= len(data) and not (start == len(data) and self.line_start < start):
            raise InputError(6501)
        lf = data.find(b"\n", self.line_start)
        line_end = len(data) if lf < 0 else lf + 1
        record = data[start:min(line_end, start + self.RECORD_LENGTH)]
        self.buffer_start = start
        self.offset = start + len(record)
        holds_line_end = self.offset == line_end and (lf >= 0 or len(record) < self.RECORD_LENGTH)
        if holds_line_end:
            content = data[self.line_start:line_end]
            if lf >= 0:
                content = content[:-1]
                if content.endswith(b"\r"):
                    content = content[:-1]
            if content.endswith(b"\x1a"):
                raise InputError(6501)
            if lf < 0:
                record += b"\n"
                self.offset = len(data) + 1
            self.line_start = self.offset
        self.buffer = record
        self.position = 0

    def take(self):
        if self.position >= len(self.buffer):
            self.fill()
        byte = self.buffer[self.position]
        self.position += 1
        return byte

    def give_back(self):
        self.position -= 1

    def complete_record(self):
        while self.take() != 0x0A:
            pass

    def read_item(self, convert):
        """One list-directed input statement with one item. Returns the converted value,
        or None for a null value (the target keeps its value)."""
        last_separator = ","
        repeat_pending = 0
        token = ""
        mode = "plain"
        ended_at_line_end = False
        while True:
            byte = self.take()
            ch = chr(byte)
            if ch in "\r\n":
                self.give_back()
                self.complete_record()
                if mode == "quoted":
                    continue
                if mode == "paren":
                    continue
                if not token and repeat_pending <= 0:
                    continue
                ended_at_line_end = bool(token)
                separator = " "
                break
            if mode == "quoted":
                if ch == quote:
                    after = self.take()
                    if chr(after) == quote:
                        token = appended(token, ch, convert)
                        continue
                    self.give_back()
                    mode = "quoted-done"
                    continue
                token = appended(token, ch, convert)
                continue
            if ch in " \t":
                if mode == "paren":
                    continue
                if not token and repeat_pending <= 0:
                    continue
                separator = " "
                break
            if ch == "(" and not token:
                mode = "paren"
                continue
            if ch == ")" and mode == "paren":
                separator = " "
                break
            if ch in "'\"" and not token:
                mode = "quoted"
                quote = ch
                continue
            if ch == "*":
                if repeat_pending > 0:
                    raise InputError(6503)
                if mode != "plain":  # a repeat count in quotes or parentheses
                    raise InputError(6504)
                count = parse_integer(token)
                if count == 0:
                    raise InputError(6502)
                repeat_pending = count - 1
                token = ""
                continue
            if ch == ",":
                if not token and last_separator == " " and repeat_pending <= 0 and mode == "plain":
                    last_separator = ","
                    continue
                if mode == "paren":
                    token = appended(token, ch, convert)
                    continue
                separator = ","
                break
            if ch == "/":
                separator = "/"
                break
            token = appended(token, ch, convert)
        last_separator = separator
        # An empty token is a null value whatever its quotes or parentheses; a value is
        # converted (with its errors) before the rest of its line is skipped.
        value = None
        if token:
            if mode in ("quoted", "quoted-done", "paren"):
                raise InputError(6504)
            value = convert(token)
        if not ended_at_line_end:
            self.complete_record()
        return value

    def read_pause_line(self):
        answer = bytearray()
        while True:
            byte = self.take()
            if byte == 0x0D:
                self.take()
                break
            if byte == 0x0A:
                break
            if len(answer) < 128:
                answer.append(byte)
        return bytes(answer)


# ---------------------------------------------------------------------------------------
# Matrix inversion: LU decomposition with implicit partial pivoting (Crout's method)


def invert_matrix(console, a):
    n = len(a)
    work = [row[:] for row in a]
    y = [[1.0 if i == j else 0.0 for j in range(n)] for i in range(n)]
    pivot_rows = lu_decompose(console, work)
    for j in range(n):
        column = [y[i][j] for i in range(n)]
        lu_solve(work, pivot_rows, column)
        for i in range(n):
            y[i][j] = column[i]
    return y


def lu_decompose(console, a):
    n = len(a)
    row_scale = [0.0] * n
    for i in range(n):
        big = 0.0
        for j in range(n):
            if abs(a[i][j]) > big:
                big = abs(a[i][j])
        if big == 0.0:
            console.pause("Singular matrix.")
        row_scale[i] = f32(div(1.0, big))
    pivot_rows = [0] * n
    for j in range(n):
        for i in range(j):
            s = a[i][j]
            for k in range(i):
                s = f32(s - checked(a[i][k] * a[k][j]))
            a[i][j] = s
        big = 0.0
        p = j
        for i in range(j, n):
            s = a[i][j]
            for k in range(j):
                s = f32(s - checked(a[i][k] * a[k][j]))
            a[i][j] = s
            figure = checked(row_scale[i] * abs(s))
            if figure >= big:
                p = i
                big = f32(figure)
        if p != j:
            a[p], a[j] = a[j], a[p]
            row_scale[p] = row_scale[j]
        pivot_rows[j] = p
        if a[j][j] == 0.0:
            a[j][j] = TINY_PIVOT
        if j < n - 1:
            r = f32(div(1.0, a[j][j]))
            for i in range(j + 1, n):
                a[i][j] = f32(checked(a[i][j] * r))
    return pivot_rows


def lu_solve(a, pivot_rows, b):
    n = len(a)
    first = None
    for i in range(n):
        l = pivot_rows[i]
        s = b[l]
        b[l] = b[i]
        if first is not None:
            for j in range(first, i):
                s = f32(s - checked(a[i][j] * b[j]))
        elif s != 0.0:
            first = i
        b[i] = s
    for i in range(n - 1, -1, -1):
        s = b[i]
        for j in range(i + 1, n):
            s = f32(s - checked(a[i][j] * b[j]))
        b[i] = f32(div(s, a[i][i]))


# ---------------------------------------------------------------------------------------
# The analysis session

SET_NUMBER_FORMAT = "(/,' enter material set number for ply number',I3,': ')"
SET_RANGE_FORMAT = "(' material set must be a number from 1 to',I3)"
NO_SET_FORMAT = "(' no material set is defined; enter a negative number to stop')"
MATRIX_ROW_FORMAT = "(4X,3E12.4,2X,3E12.4)"
DEFORMATION_FORMAT = (
    "(/,' midplane strains:',/,/,3X,'eps-xx =',E12.4,/,3X,'eps-yy =',E12.4,/,3X,"
    "'eps-xy =',E12.4,/,/,' rotations:',/,/,3X,'kappa-xx =',E12.4,/,3X,'kappa-yy= ',"
    "E12.4,/,3X,'kappa-xy =',E12.4,/,/)"
)
STRESS_HEADING_FORMAT = (
    "(/,' stresses:',/,2X,'ply',5X,'sigma-1',5X,'sigma-2',4X,'sigma-12',/)"
)
PLY_STRESS_FORMAT = "(3X,I2,3E12.4)"
SWEEP_ROW_FORMAT = "(7E12.4)"


class Session:
    def __init__(self, console):
        self.c = console
        self.sets = {}  # set number -> dict of e1, e2, nu12, g12, thickness, creep
        self.plies = []  # (set number, angle)
        self.z = [0.0]
        self.counter = 0  # set counter, reused for the typed set numbers
        # The legacy program's summation: the creep resultants are never cleared, so each
        # step adds its plies' resultants to those of all earlier steps.
        self.legacy_creep_sum = False

    def run(self):
        c = self.c
        c.write_list("Viscoelastic laminate code, rev 9/11/99")
        c.write_list()
        defined = self.material_dialogue()
        self.layup_dialogue(defined)
        half = f32(self.z[-1] / 2.0)
        self.z = [f32(zk - half) for zk in self.z]
        compliance = self.stiffness_report()
        deformation = self.load_response(compliance)
        self.relaxation_sweep(compliance, deformation)

    def material_dialogue(self):
        c = self.c
        for i in range(1, MAX_MATERIAL_SETS + 1):
            self.counter = i
            c.write_list("Material set ", i, ": ")
            c.write_list("Enter modulus in fiber direction (-1 to stop): ")
            e1 = c.read_real()
            if e1 < 0.0:
                return i - 1
            c.write_list("Enter modulus in transverse direction: ")
            e2 = c.read_real()
            c.write_list("Enter principal Poisson ratio: ")
            nu12 = c.read_real()
            d = abs(div(e1 - e2, e1))
            if d >= ISOTROPY_TOLERANCE:
                c.write_list("Enter shear modulus: ")
                g12 = c.read_real()
            else:
                g12 = f32(div(e1, (nu12 + 1.0) * 2.0))
            c.write_list("Enter ply thickness: ")
            thickness = c.read_real()
            c.write_list("Enter creep fraction: ")
            creep = c.read_real()
            self.sets[i] = dict(e1=e1, e2=e2, nu12=nu12, g12=g12,
                                thickness=thickness, creep=creep)
        self.counter = MAX_MATERIAL_SETS + 1
        return MAX_MATERIAL_SETS

    def layup_dialogue(self, defined):
        c = self.c
        c.write_list("Define layup sequence, starting at bottom...")
        c.write_list("   (use negative material set number to stop)")
        for k in range(1, MAX_PLIES + 1):
            while True:
                c.write_formatted(SET_NUMBER_FORMAT, k)
                self.counter = c.read_integer(self.counter)
                m = self.counter
                if m < 0 or 1 <= m <= defined:
                    break
                if defined > 0:
                    c.write_formatted(SET_RANGE_FORMAT, defined)
                else:
                    c.write_formatted(NO_SET_FORMAT)
            if m < 0:
                return
            c.write_list("enter ply angle: ")
            angle = c.read_real()
            self.plies.append((m, angle))
            self.z.append(f32(self.z[-1] + self.sets[m]["thickness"]))

    # ply matrices ---------------------------------------------------------------------

    def trig_terms(self, k):
        angle = self.plies[k - 1][1]
        theta_wide = checked(angle * PI_APPROX) / 180.0
        theta = f32(theta_wide)
        sc = f32(math.cos(theta_wide) * math.sin(theta))
        s2 = f32(lib_pow(math.sin(theta), 2.0))
        c2 = f32(lib_pow(math.cos(theta), 2.0))
        return sc, s2, c2

    def stress_transformation(self, k):
        sc, s2, c2 = self.trig_terms(k)
        two_sc = f32(sc * 2.0)
        return [[c2, s2, two_sc], [s2, c2, f32(-(sc * 2.0))], [-sc, sc, f32(c2 - s2)]]

    def inverse_stress_transformation(self, k):
        sc, s2, c2 = self.trig_terms(k)
        two_sc = f32(sc * 2.0)
        return [[c2, s2, f32(-(sc * 2.0))], [s2, c2, two_sc], [sc, -sc, f32(c2 - s2)]]

    def ply_compliance(self, k):
        s = self.sets[self.plies[k - 1][0]]
        s11 = f32(div(1.0, s["e1"]))
        s21 = f32(div(-s["nu12"], s["e1"]))
        s22 = f32(div(1.0, s["e2"]))
        s33 = f32(div(1.0, s["g12"]))
        return [[s11, s21, 0.0], [s21, s22, 0.0], [0.0, 0.0, s33]]

    def reduced_stiffness(self, k):
        return invert_matrix(self.c, self.ply_compliance(k))

    def transformed_stiffness(self, k):
        """Q-bar of ply k, and the T of ply k that the call leaves in the work matrix."""
        t = self.stress_transformation(k)
        t_inverse = self.inverse_stress_transformation(k)
        s = self.ply_compliance(k)
        s_bar = mat_mul(REUTER, mat_mul(t_inverse, mat_mul(INVERSE_REUTER, mat_mul(s, t))))
        return invert_matrix(self.c, s_bar), t

    # reports --------------------------------------------------------------------------

    def stiffness_report(self):
        c = self.c
        z = self.z
        stiffness = [[0.0] * 6 for _ in range(6)]
        for k in range(1, len(self.plies) + 1):
            w1 = f32(z[k] - z[k - 1])
            w2 = f32((lib_pow(z[k], 2.0) - lib_pow(z[k - 1], 2.0)) * 0.5)
            w3 = f32((lib_pow(z[k], 3.0) - lib_pow(z[k - 1], 3.0)) * ONE_THIRD)
            q, _ = self.transformed_stiffness(k)
            for i in range(3):
                for j in range(3):
                    v = q[i][j]
                    stiffness[i][j] = f32(v * w1 + stiffness[i][j])
                    stiffness[i + 3][j] = f32(v * w2 + stiffness[i + 3][j])
                    stiffness[i][j + 3] = f32(v * w2 + stiffness[i][j + 3])
                    stiffness[i + 3][j + 3] = f32(v * w3 + stiffness[i + 3][j + 3])
        c.write_formatted("(/,' laminate stiffness matrix:',/)")
        for i in range(6):
            c.write_formatted(MATRIX_ROW_FORMAT, *stiffness[i])
            if i == 2:
                c.write_list()
        compliance = invert_matrix(c, stiffness)
        c.write_formatted("(/,' laminate compliance matrix:',/)")
        for i in range(6):
            c.write_formatted(MATRIX_ROW_FORMAT, *compliance[i])
            if i == 2:
                c.write_list()
        return compliance

    def load_response(self, compliance):
        c = self.c
        c.write_list()
        c.write_list("input tractions and moments...")
        c.write_list()
        loads = []
        for prompt in ("   Nx: ", "   Ny: ", "  Nxy: ", "   Mx: ", "   My: ", "  Mxy: "):
            c.write_list(prompt)
            loads.append(c.read_real())
        deformation = mat_vec(compliance, loads)
        c.write_formatted(DEFORMATION_FORMAT, *deformation)
        c.write_formatted(STRESS_HEADING_FORMAT)
        e0, k0 = deformation[:3], deformation[3:]
        z = self.z
        for k in range(1, len(self.plies) + 1):
            zm = f32((z[k] + z[k - 1]) / 2.0)
            q, t = self.transformed_stiffness(k)
            a = mat_vec(q, e0)
            b = mat_vec(q, k0)
            sxy = [f32(checked(b[i] * zm) + a[i]) for i in range(3)]
            s = mat_vec(t, sxy)
            c.write_formatted(PLY_STRESS_FORMAT, k, *s)
        return deformation

    def relaxation_sweep(self, compliance, deformation):
        c = self.c
        z = self.z
        c.write_list("Enter relaxation time")
        relaxation_time = c.read_real()
        ply_creep = [[0.0, 0.0, 0.0] for _ in self.plies]
        creep_deformation = [0.0] * 6
        previous = 0.0
        time = f32(relaxation_time / 100.0)
        creep_loads = [0.0] * 6
        while not (SWEEP_SPAN_FACTOR * relaxation_time < time):
            step = f32(time - previous)
            e0, k0 = deformation[:3], deformation[3:]
            c0, ck0 = creep_deformation[:3], creep_deformation[3:]
            if not self.legacy_creep_sum:
                creep_loads = [0.0] * 6
            for k in range(1, len(self.plies) + 1):
                zm = f32((z[k] + z[k - 1]) / 2.0)
                hk = f32(z[k] - z[k - 1])
                t = self.stress_transformation(k)
                t_inverse = self.inverse_stress_transformation(k)
                q = self.reduced_stiffness(k)
                ex = [f32(checked(k0[i] * zm) + e0[i]) for i in range(3)]
                e1 = mat_vec(REUTER, mat_vec(t, mat_vec(INVERSE_REUTER, ex)))
                cx = [f32(checked(ck0[i] * zm) + c0[i]) for i in range(3)]
                c1 = mat_vec(REUTER, mat_vec(t, mat_vec(INVERSE_REUTER, cx)))
                w = ply_creep[k - 1]
                d = [f32(f32(c1[i] + e1[i]) - w[i]) for i in range(3)]
                s = mat_vec(q, d)
                material = self.sets[self.plies[k - 1][0]]
                a2 = f32(div(material["creep"], material["e2"]))
                a3 = f32(div(material["creep"], material["g12"]))
                decay = lib_exp(-div(step, relaxation_time))
                w[1] = f32(checked(checked((1.0 - decay) * s[1]) * a2) + decay * w[1])
                decay = lib_exp(-div(step, relaxation_time))
                w[2] = f32(checked(checked((1.0 - decay) * s[2]) * a3) + decay * w[2])
                sc = mat_vec(t_inverse, mat_vec(q, w))
                for i in range(3):
                    force = checked(sc[i] * hk)
                    creep_loads[i] = f32(creep_loads[i] + force)
                    creep_loads[i + 3] = f32(creep_loads[i + 3] + checked(force * zm))
            creep_deformation = mat_vec(compliance, creep_loads)
            c.write_formatted(SWEEP_ROW_FORMAT, time, *creep_deformation)
            previous = time
            time = f32(time * TIME_STEP_FACTOR)
            if not time > previous:
                break


def run_model(answers, output_limit=None, legacy_creep_sum=False):
    """Expected (stdout, stderr, exit status) of `lamvis2 < answers`; with `output_limit`,
    standard output is a file that may not grow beyond that many bytes. With
    `legacy_creep_sum` the relaxation table is the legacy program's (README, departure 2)."""
    console = Console(answers, output_limit)
    try:
        try:
            session = Session(console)
            session.legacy_creep_sum = legacy_creep_sum
            session.run()
        except InputError as error:
            label = ": READ(" if console.last_kind == "READ" else ": WRITE("
            console.report("F", error.number, label, "CON)\r\n- " + MESSAGE_TEXTS[error.number])
            console.end_run(1)
        except FloatingPointTrap as trap:
            console.report("M", trap.number, ": MATH\r\n- ", trap.text)
            console.end_run(1)
        except OutputFault:
            console.report("F", 6423, ": WRITE(", "CON)\r\n- " + MESSAGE_TEXTS[6423])
            console.end_run(1)
        console.end_run(0)
    except RunEnded as ended:
        return bytes(console.out), bytes(console.err), ended.status
    raise AssertionError("the run did not end")


if __name__ == "__main__":
    import sys

    out, err, status = run_model(sys.stdin.buffer.read(),
                                 legacy_creep_sum="--legacy-creep-sum" in sys.argv[1:])
    sys.stdout.buffer.write(out)
    sys.stderr.buffer.write(err)
    sys.exit(status)
