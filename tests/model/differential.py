#!/usr/bin/env python3
"""Differential testing of lamvis2 against the reference model (lamvis_model.py).

Generates random answer files -- material sets, layups, loads and relaxation times, written
in the many forms that list-directed input accepts or refuses -- runs PROGRAM on each with
standard input and output on pipes, and compares stdout, stderr and the exit status byte for
byte with the model's. A disagreement is shrunk to a small answer file that still shows it.

Usage: differential.py [--runs N] [--seed S] [--jobs J] [--save DIR] [--max-failures F]
                       [--no-shrink] [--verbose] [--emulator CMD] [--also OTHER] PROGRAM
With --also, every dialogue is run through a second binary too (a build of another mode or
platform), whose bytes and exit status must equal PROGRAM's, the model's or not.
Exit status 0 when every run agreed, 1 otherwise.
"""

import argparse
import shlex
import collections
import concurrent.futures
import math
import os
import random
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lamvis_model import CommandAtPause, NotModelled, run_model  # noqa: E402

# Seconds one run of the program may take (settable: an emulator is slower).
PROGRAM_TIMEOUT = 20.0


def f32(x):
    try:
        return struct.unpack("f", struct.pack("f", x))[0]
    except OverflowError:
        return math.inf if x > 0 else -math.inf


# ---------------------------------------------------------------------------------------
# Texts of single values


def real_text(rng, value):
    """One of the many spellings of a real value that list-directed input accepts."""
    if value == 0.0 and rng.random() < 0.3:
        return rng.choice(["0", "0.", ".0", "-0", "+0.0", "0e0", "0d0", "0.0-5", "000"])
    form = rng.random()
    if form < 0.35:
        text = repr(value)
        if text.endswith(".0") and rng.random() < 0.5:
            text = text[:-2] if rng.random() < 0.5 else text[:-1]
        text = text.replace("e+", "e") if rng.random() < 0.5 else text
    elif form < 0.55:
        text = "%.*e" % (rng.randint(0, 9), value)
        letter = rng.choice("eEdD")
        mantissa, exponent = text.split("e")
        if rng.random() < 0.3:
            # the exponent's sign directly after the mantissa, without a letter
            text = mantissa + ("%+d" % int(exponent))
        else:
            text = mantissa + letter + (exponent if rng.random() < 0.5 else str(int(exponent)))
    elif form < 0.7:
        text = "%.*g" % (rng.randint(1, 9), value)
    elif form < 0.8:
        text = ("%.*f" % (rng.randint(0, 8), value)) if abs(value) < 1e15 else repr(value)
        if text.startswith("0.") and rng.random() < 0.5:
            text = text[1:]
        elif text.startswith("-0.") and rng.random() < 0.5:
            text = "-" + text[2:]
    elif form < 0.9:
        # many digits: more than the conversion keeps significant
        text = "%.*e" % (rng.randint(10, 30), value)
    elif form < 0.95 and value != 0.0 and abs(value) < 1e38:
        text = near_tie(rng, value)
    else:
        text = repr(value)
        if not text.startswith("-") and rng.random() < 0.5:
            text = "+" + text
        if rng.random() < 0.5:
            sign = text[0] if text[0] in "+-" else ""
            text = sign + "00" + text[len(sign):]
    return text


def near_tie(rng, value):
    """A long decimal close to the midpoint between two single-precision neighbours of
    `value` (or of two doubles next to it), where digits far down decide the rounding."""
    import decimal
    context = decimal.Context(prec=80)
    single = f32(value)
    if math.isinf(single) or single == 0.0:
        return repr(value)
    bits = struct.unpack("<I", struct.pack("<f", abs(single)))[0]
    upper = struct.unpack("<f", struct.pack("<I", bits + 1))[0]
    tie = context.divide(context.add(decimal.Decimal(abs(single)), decimal.Decimal(upper)), 2)
    if rng.random() < 0.5:
        # half a double unit above the tie: the double rounding decides
        tie = context.add(tie, decimal.Decimal(math.ulp(float(tie))) / 2)
    offset = decimal.Decimal(10) ** (tie.adjusted() - rng.randint(8, 60))
    tie = context.add(tie, rng.choice([-1, 0, 0, 1]) * offset)
    text = format(tie, "f")
    return ("-" if value < 0 else "") + text[:rng.randint(20, 78)]


def integer_text(rng, value):
    """A spelling of an integer, decimal or (now and then) based."""
    form = rng.random()
    if form < 0.75 or value is None:
        text = str(value)
        if value >= 0 and rng.random() < 0.1:
            text = "+" + text
        if rng.random() < 0.05:
            text = "0" + text if value >= 0 else "-0" + text[1:]
        return text
    sign = "-" if value < 0 else rng.choice(["", "", "+"])
    magnitude = abs(value)
    base = rng.choice([2, 8, 10, 16, 16, 36])
    digits = ""
    while True:
        digits = "0123456789abcdefghijklmnopqrstuvwxyz"[magnitude % base] + digits
        magnitude //= base
        if magnitude == 0:
            break
    if rng.random() < 0.5:
        digits = digits.upper()
    prefix = "" if base == 16 and rng.random() < 0.3 else str(base)
    return sign + prefix + "#" + digits


BAD_REALS = ["abc", ".", "+", "-", "1.5e", "1.5e+", "12a", "1.2.3", "e5", "1e39", "-1e39",
             "1e400", "-1e400", "3.5e38", "'5'", "(5)", '"2"', "1,5", "0*7", "2*3*7", "x1",
             "1..", "--1", "1e+-5", "1 e5", "0x10", "inf", "nan", "1E5.0", "\x1a", "5\x1a",
             "'' 5", "(1,2)", "'a''b'", "-0*3"]
BAD_INTEGERS = ["2.5", "abc", "1e3", "2147483648", "-2147483649", "99999999999", "'1'",
                "(1)", "37#1", "1#1", "0#5", "2#102", "2#1#1", "16#1g", "16#100000000",
                "10#2147483648", "a#1", "1x#1", "0*1", "2*3*1", "#", "16#", "+", "-"]


def long_value(rng):
    """A value of more or less than the 260 bytes a token holds."""
    length = rng.choice([258, 259, 260, 261, 262, 300, 400])
    kind = rng.random()
    if kind < 0.4:
        return "0" * (length - 1) + "1"
    if kind < 0.6:
        return "1" + "0" * (length - 1)
    if kind < 0.7:
        return "0." + "3" * (length - 2)
    if kind < 0.8:
        return "2*" + "0" * (length - 1) + "5"
    if kind < 0.9:
        return "'" + "7" * length + "'"
    return "a" * length


# ---------------------------------------------------------------------------------------
# Lines: the value plus the decorations around it


def decorate(rng, text):
    """The line that carries `text`: blanks, tabs, repeat counts, separators and extra
    values around it, and now and then blank lines before it."""
    r = rng.random()
    if r < 0.04:
        text = rng.choice(["1*", "2*", "3*"]) + text
    elif r < 0.06:
        text = rng.choice(["1*1*", "1* ", "1*\t", "-2*", "-1* ", "+2*"]) + text
    lead = ""
    if rng.random() < 0.15:
        lead = "".join(rng.choice(" \t") for _ in range(rng.randint(1, 4)))
    trail = ""
    t = rng.random()
    if t < 0.08:
        trail = " " + " ".join(str(rng.randint(-9, 99)) for _ in range(rng.randint(1, 3)))
    elif t < 0.12:
        trail = rng.choice([",", ", 9", ",,", "/", "/ 7", " / x", "\t8", " abc", " '", " ("])
    elif t < 0.14:
        trail = " " * rng.randint(1, 140)
    elif t < 0.15:
        trail = " " + "9" * rng.randint(120, 300)
    elif t < 0.18:
        trail = rng.choice(["   ", "\t", " \t "])
    before = []
    if rng.random() < 0.05:
        before = [rng.choice(["", " ", "\t", " \t ", " " * rng.randint(100, 270)])
                  for _ in range(rng.randint(1, 2))]
    return before + [lead + text + trail]


def null_line(rng):
    return rng.choice([",", "/", " ,", "\t/", "3*", "2*,", "1*,", ", 5", "/ 6", "()", "''",
                       "( )", "2*\t", "1*/", "'',", "''/ 4", "() 3", "( \t)", "'' ()", "(()",
                       "'',''"])


class Generator(random.Random):
    """The random source of one dialogue; `faults` scales how often a value is replaced by
    a null value, a refused text or an over-long value (0 in most dialogues, so that most
    of them run to the end)."""

    faults = 0.0
    tame = False


def real_answer(rng, value):
    r = rng.random() / max(rng.faults, 1e-9)
    if r < 0.3:
        return [null_line(rng)]
    if r < 0.8:
        return decorate(rng, rng.choice(BAD_REALS))
    if r < 1.0:
        return [long_value(rng)]
    return decorate(rng, real_text(rng, value))


def integer_answer(rng, value):
    r = rng.random() / max(rng.faults, 1e-9)
    if r < 0.5:
        return [null_line(rng)]
    if r < 0.9:
        return decorate(rng, rng.choice(BAD_INTEGERS))
    if r < 1.0:
        return [long_value(rng)]
    return decorate(rng, integer_text(rng, value))


# ---------------------------------------------------------------------------------------
# Random physical values


def pick(rng, weighted):
    """`weighted` is a list of (weight, callable or value); a tame generator takes the
    first, ordinary entry."""
    if rng.tame:
        weighted = weighted[:1]
    total = sum(w for w, _ in weighted)
    x = rng.random() * total
    for w, v in weighted:
        x -= w
        if x < 0:
            return v(rng) if callable(v) else v
    v = weighted[-1][1]
    return v(rng) if callable(v) else v


def log_uniform(lo, hi):
    return lambda rng: 10 ** rng.uniform(math.log10(lo), math.log10(hi))


MODULUS = [(60, log_uniform(1e3, 4e5)), (8, log_uniform(1e-3, 10)), (3, 0.0),
           (3, lambda rng: -rng.choice([1.0, 0.5, 1e5])), (3, log_uniform(1e30, 3.4e38)),
           (3, log_uniform(1e-45, 1e-30)), (1, 3.4028234e38), (5, 100.0), (3, 1.0)]
POISSON = [(70, lambda rng: rng.uniform(0.15, 0.4)), (5, 0.0), (4, -1.0), (4, 0.5),
           (5, lambda rng: rng.uniform(-5, 5)), (2, 1e20), (2, -0.999999)]
SHEAR = [(70, log_uniform(1e2, 2e4)), (4, 0.0), (4, lambda rng: -rng.uniform(1, 100)),
         (4, log_uniform(1e30, 3e38)), (4, log_uniform(1e-40, 1e-10))]
THICKNESS = [(65, lambda rng: rng.choice([0.125, 0.25, 1.0, 0.5, 0.2, 2.0])),
             (10, log_uniform(1e-3, 10)), (5, 0.0), (5, lambda rng: -rng.uniform(0.1, 1)),
             (4, log_uniform(1e-30, 1e-12)), (4, log_uniform(1e12, 1e30)), (2, 1e-45)]
CREEP = [(60, lambda rng: rng.uniform(0, 1)), (15, 0.0), (5, lambda rng: -rng.uniform(0, 1)),
         (5, log_uniform(10, 1e30)), (3, 1e-40)]
ANGLE = [(40, lambda rng: rng.choice([0, 90, 45, -45, 0.0, 90.0, -90, 30, -60, 15])),
         (25, lambda rng: rng.uniform(-180, 180)), (5, lambda rng: rng.choice([180, 360, 720])),
         (5, log_uniform(1e3, 1e9)), (3, log_uniform(1e20, 3e38)), (3, 1e-30),
         (3, lambda rng: -rng.uniform(1e4, 1e7))]
LOAD = [(40, lambda rng: rng.uniform(-1000, 1000)), (40, 0.0), (5, log_uniform(1e-20, 1e-3)),
        (5, log_uniform(1e5, 1e30)), (3, log_uniform(1e30, 3.4e38)), (3, -1.0)]
RELAXATION = [(40, lambda rng: rng.choice([1.0, 0.91, 100.0, 10.0, 2.0, 0.5])),
              (25, log_uniform(1e-3, 1e4)), (5, 0.0), (5, lambda rng: -rng.uniform(0, 100)),
              (5, log_uniform(1e-45, 1e-36)), (5, log_uniform(1e30, 3.4e38)),
              (3, 1e-45), (3, 3.4e36), (3, lambda rng: rng.uniform(0, 1))]


def material_answers(rng):
    """Answers of one material set, with the shear modulus asked only when the set is not
    isotropic in its plane (as far as the typed values tell)."""
    e1 = abs(pick(rng, MODULUS))  # a negative one would end the material sets
    r = rng.random()
    if r < 0.3:
        e2 = e1  # isotropic
    elif r < 0.4:
        e2 = e1 * (1 + rng.choice([1, -1]) * rng.choice([0.0005, 0.0009999, 0.001, 0.002]))
    else:
        e2 = pick(rng, MODULUS)
    nu12 = pick(rng, POISSON)
    lines = []
    values = [e1, e2, nu12]
    s1, s2 = f32(e1), f32(e2)
    asked = True
    if s1 != 0.0 and not math.isinf(s1) and not math.isinf(s2):
        asked = abs((s1 - s2) / s1) >= f32(0.001)
    if asked:
        values.append(pick(rng, SHEAR))
    values += [pick(rng, THICKNESS), pick(rng, CREEP)]
    for v in values:
        lines += real_answer(rng, v)
    return lines


def dialogue(rng):
    """The answer lines of one random dialogue."""
    lines = []
    set_count = pick(rng, [(30, 1), (25, 2), (15, 3), (10, lambda r: r.randint(4, 9)),
                           (10, 10), (5, 0), (5, 11)])
    for _ in range(min(set_count, 10)):
        lines += material_answers(rng)
    if set_count < 10 or set_count == 11:
        lines += real_answer(rng, -rng.choice([1.0, 0.5, 1e-30, 1e30]))
    defined = min(set_count, 10)
    ply_count = pick(rng, [(40, lambda r: r.randint(1, 4)), (25, lambda r: r.randint(5, 12)),
                           (10, lambda r: r.randint(13, 19)), (10, 20),
                           (5, lambda r: r.randint(21, 23)), (10, 0)])
    for k in range(ply_count):
        set_number = pick(rng, [(85, lambda r: r.randint(1, max(defined, 1))),
                                (4, 0), (4, lambda r: r.randint(defined + 1, 12)),
                                (2, 2147483647), (2, -2147483648), (3, None)])
        if set_number is None:
            lines.append(null_line(rng))
        else:
            lines += integer_answer(rng, set_number)
        if defined and (set_number is None and k == 0
                        or set_number is not None and not -1 < set_number <= defined):
            # a number that names no defined set is refused and the ply asked again
            lines += integer_answer(rng, rng.randint(1, defined))
        lines += real_answer(rng, pick(rng, ANGLE))
    if ply_count < 20:
        lines += integer_answer(rng, -pick(rng, [(8, 1), (1, 5), (1, 2147483647)]))
    if ply_count == 0 or rng.random() < 0.05:
        # the answer to a pause, if there is one: blank, one character (no command) or,
        # now and then, a command line, which the comparison replaces by an empty line
        lines.append(pick(rng, [(60, ""), (10, " \t "), (10, "x"), (5, "q  \t"),
                                (5, " " * 140), (5, "echo hello"), (5, "\x1a")]))
    for _ in range(6):
        lines += real_answer(rng, pick(rng, LOAD))
    lines += real_answer(rng, pick(rng, RELAXATION))
    if rng.random() < 0.05:
        lines += [rng.choice(["extra", "1", "", "-1"]) for _ in range(rng.randint(1, 3))]
    return lines


def answer_bytes(rng, lines):
    """The bytes of the answer file: line ends LF, CR LF or (rarely) CR alone, a missing
    final line end, an early end, a Ctrl-Z line or junk bytes now and then."""
    style = pick(rng, [(70, "lf"), (20, "crlf"), (10, "mixed")])
    data = bytearray()
    lines = list(lines)
    if rng.random() < 0.03 and not rng.tame:
        lines.insert(rng.randint(0, len(lines)), rng.choice(["\x1a", "\x1a\x1a", "5\x1a"]))
    if rng.random() < 0.03 and not rng.tame:
        lines.insert(rng.randint(0, len(lines)),
                     "".join(chr(rng.randint(0, 255)) for _ in range(rng.randint(1, 12))))
    for line in lines:
        if style == "lf":
            end = "\n"
        elif style == "crlf":
            end = "\r\n"
        else:
            end = pick(rng, [(60, "\n"), (30, "\r\n"), (5, "\r"), (5, "\r\r\n")])
        data += (line + end).encode("latin-1")
    r = rng.random()
    if r < 0.1:
        data = data[:-1] if data.endswith(b"\n") else data
        if data.endswith(b"\r") and rng.random() < 0.5:
            data = data[:-1]
    elif r < 0.2 and not rng.tame:
        data = data[:rng.randint(0, len(data))]
    return bytes(data)


# ---------------------------------------------------------------------------------------
# Running both sides


def model_result(data):
    """The model's (stdout, stderr, status) for `data`, with a command answer at the pause
    replaced by an empty line; None when the answers take a path the model does not cover."""
    for _ in range(5):
        try:
            return run_model(data), data
        except CommandAtPause as pause:
            data = data[:pause.offset] + b"\n" + data[pause.offset:]
        except NotModelled:
            return None, data
        except Exception as error:  # a fault of the model itself: shown as a disagreement
            return (b"", ("<model fault: %r>" % error).encode(), "model fault"), data
    return None, data


def trickled_result(program, data, pieces):
    """Runs `program` with the answers written in pieces, with short pauses between them:
    a slow producer must give the same results as a file."""
    import threading
    process = subprocess.Popen(program, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    streams = {}

    def read(name, stream):
        streams[name] = stream.read()

    def write():
        try:
            offset = 0
            for size in pieces:
                process.stdin.write(data[offset:offset + size])
                process.stdin.flush()
                offset += size
                time.sleep(0.001)
            process.stdin.write(data[offset:])
            process.stdin.close()
        except (BrokenPipeError, OSError):
            pass

    threads = [threading.Thread(target=write),
               threading.Thread(target=read, args=("out", process.stdout)),
               threading.Thread(target=read, args=("err", process.stderr))]
    for thread in threads:
        thread.start()
    try:
        status = process.wait(timeout=PROGRAM_TIMEOUT)
    except subprocess.TimeoutExpired:
        process.kill()
        status = "timeout"
    for thread in threads:
        thread.join()
    return streams.get("out", b""), streams.get("err", b""), status


def program_result(program, data, pieces=None):
    if pieces:
        return trickled_result(program, data, pieces)
    try:
        run = subprocess.run(program, input=data, capture_output=True,
                             timeout=PROGRAM_TIMEOUT)
        return run.stdout, run.stderr, run.returncode
    except subprocess.TimeoutExpired as expired:
        return expired.stdout or b"", (expired.stderr or b"") + b"<timeout>", "timeout"


def differences(expected, got):
    """Names of the streams that differ."""
    names = []
    for name, a, b in zip(("stdout", "stderr", "status"), expected, got):
        if a != b:
            names.append(name)
    return tuple(names)


def first_difference(expected, got):
    i = 0
    while i < min(len(expected), len(got)) and expected[i] == got[i]:
        i += 1
    line = expected.count(b"\n", 0, i) + 1
    return "line %d, byte %d: model %r, program %r" % (
        line, i, expected[max(0, i - 40):i + 40], got[max(0, i - 40):i + 40])


# The command of a second binary whose results must equal the program's (--also), or None.
OTHER_PROGRAM = None


def check(program, data, pieces=None):
    """(data actually used, differing stream names or None if not modelled, model result,
    program result). `pieces`: sizes in which to write the answers, or None for one go."""
    expected, data = model_result(data)
    if expected is None:
        return data, None, None, None
    got = program_result(program, data, pieces)
    diff = differences(expected, got)
    if OTHER_PROGRAM is not None:
        other = program_result(OTHER_PROGRAM, data, pieces)
        diff += tuple(name + " of --also" for name in differences(got, other))
    return data, diff, expected, got


# ---------------------------------------------------------------------------------------
# Shrinking a disagreement


def split_segments(data):
    """The answer bytes as lines, each with its own line end."""
    segments = []
    start = 0
    for i, byte in enumerate(data):
        if byte == 0x0A:
            segments.append(data[start:i + 1])
            start = i + 1
    if start < len(data):
        segments.append(data[start:])
    return segments


def simpler_segments(segment):
    """Simpler versions of one line, simplest first."""
    body = segment.rstrip(b"\r\n")
    end = segment[len(body):]
    candidates = [b"", b"1" + end, b"0" + end]
    stripped = body.strip(b" \t")
    if stripped != body:
        candidates.append(stripped + end)
    words = body.split()
    if len(words) > 1:
        candidates.append(words[0] + end)
    if end == b"\r\n":
        candidates.append(body + b"\n")
    if len(body) > 8:
        candidates.append(body[:len(body) // 2] + end)
        candidates.append(body[len(body) // 2:] + end)
    for size in (8, 4, 2, 1):
        for i in range(0, len(body) - size + 1, size):
            candidates.append(body[:i] + body[i + size:] + end)
    # only strictly simpler lines, so that the shrinking cannot go round in circles
    return [c for c in candidates if (len(c), c) < (len(segment), segment)]


def shrink(program, data, signature, pieces=None, budget=600):
    """A smaller answer file that still shows the disagreement `signature`."""
    tries = [0]

    def still_fails(candidate):
        if tries[0] >= budget:
            return False
        tries[0] += 1
        used, diff, _, _ = check(program, candidate, pieces)
        return diff == signature and used == candidate

    segments = split_segments(data)
    # the shortest prefix of whole lines that still fails
    low, high = 0, len(segments)
    while low < high:
        middle = (low + high) // 2
        if still_fails(b"".join(segments[:middle])):
            high = middle
        else:
            low = middle + 1
    if low < len(segments) and still_fails(b"".join(segments[:low])):
        segments = segments[:low]
    changed = True
    while changed and tries[0] < budget:
        changed = False
        # drop runs of lines, then pairs (a set number and its angle) and single lines
        size = max(1, len(segments) // 2)
        while size >= 1:
            i = 0
            while i < len(segments):
                candidate = segments[:i] + segments[i + size:]
                if candidate and still_fails(b"".join(candidate)):
                    segments = candidate
                    changed = True
                else:
                    i += size if size > 2 else 1
            size //= 2
        # simplify each line
        for i in range(len(segments)):
            for simpler in simpler_segments(segments[i]):
                candidate = segments[:i] + [simpler] + segments[i + 1:]
                if still_fails(b"".join(candidate)):
                    segments = candidate
                    changed = True
                    break
    return b"".join(segments)


# ---------------------------------------------------------------------------------------


def one_run(program, seed, index):
    rng = Generator("%s/%d" % (seed, index))
    rng.faults = pick(rng, [(60, 0.0), (25, 0.01), (15, 0.04)])
    rng.tame = rng.random() < 0.4
    data = answer_bytes(rng, dialogue(rng))
    pieces = None
    if rng.random() < 0.05:
        pieces = [rng.choice([1, 2, 7, 50, 131, 133]) for _ in range(rng.randint(5, 40))]
    return (index, pieces) + check(program, data, pieces)


def summary_of(expected):
    """A few words on how a run ended, for the statistics."""
    out, err, status = expected
    if status == 0:
        rows = out.count(b"\r\n", out.find(b"Enter relaxation time")) - 1
        return "complete, %s sweep rows" % ("no" if rows <= 0 else "some")
    first = err.split(b"\r\n")[1] if err.count(b"\r\n") > 1 else err
    pause = " after the pause" if b"Singular matrix." in out else ""
    return first.decode("latin-1").replace("run-time error ", "") + pause


def main():
    global PROGRAM_TIMEOUT, OTHER_PROGRAM
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("program")
    parser.add_argument("--emulator", default="",
                        help="command put in front of the program, e.g. 'qemu-aarch64' or 'wine'")
    parser.add_argument("--timeout", type=float, default=PROGRAM_TIMEOUT,
                        help="seconds one run of the program may take")
    parser.add_argument("--also", help="a second binary that must give the program's bytes "
                        "(run directly, without the emulator)")
    parser.add_argument("--runs", type=int, default=500)
    parser.add_argument("--seed", default="1")
    parser.add_argument("--jobs", type=int, default=1)
    parser.add_argument("--save", help="directory for the answer files of disagreements")
    parser.add_argument("--max-failures", type=int, default=5,
                        help="stop after this many disagreements")
    parser.add_argument("--no-shrink", action="store_true")
    parser.add_argument("--verbose", action="store_true", help="show how the runs ended")
    args = parser.parse_args()
    PROGRAM_TIMEOUT = args.timeout
    # The program is run as a command: the emulator's words, if any, then the binary.
    program = shlex.split(args.emulator) + [os.path.abspath(args.program)]
    if args.also:
        OTHER_PROGRAM = [os.path.abspath(args.also)]

    started = time.time()
    endings = collections.Counter()
    failures = 0
    skipped = 0
    pool = concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs))
    try:
        results = pool.map(lambda i: one_run(program, args.seed, i), range(args.runs))
        for index, pieces, data, diff, expected, got in results:
            if diff is None:
                skipped += 1
                continue
            endings[summary_of(expected)] += 1
            if not diff:
                continue
            failures += 1
            print("=== run %d (seed %s): %s differ" % (index, args.seed, ", ".join(diff)))
            small = data if args.no_shrink else shrink(program, data, diff, pieces)
            _, _, expected, got = check(program, small, pieces)
            print("answers (%d bytes, shrunk from %d): %r" % (len(small), len(data), small))
            if pieces:
                print("  written in pieces of %s bytes" % pieces)
            for name, a, b in zip(("stdout", "stderr"), expected, got):
                if a != b:
                    print("  %s: %s" % (name, first_difference(a, b)))
            if expected[2] != got[2]:
                print("  status: model %s, program %s" % (expected[2], got[2]))
            if OTHER_PROGRAM is not None:
                other = program_result(OTHER_PROGRAM, small, pieces)
                for name, a, b in zip(("stdout", "stderr"), got, other):
                    if a != b:
                        print("  %s of --also: %s" % (name, first_difference(a, b)))
                if got[2] != other[2]:
                    print("  status: program %s, --also %s" % (got[2], other[2]))
            if args.save:
                os.makedirs(args.save, exist_ok=True)
                with open(os.path.join(args.save, "diff_%s_%d.txt" % (args.seed, index)),
                          "wb") as f:
                    f.write(small)
            if failures >= args.max_failures:
                print("stopping after %d disagreements" % failures)
                break
    finally:
        pool.shutdown(wait=True, cancel_futures=True)
    if args.verbose:
        for ending, count in endings.most_common():
            print("%6d  %s" % (count, ending))
    print("%d runs, %d compared, %d not modelled, %d disagreements, %.1f s" % (
        args.runs, sum(endings.values()), skipped, failures, time.time() - started))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
