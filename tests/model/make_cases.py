#!/usr/bin/env python3
"""Writes tests/cases/model_NAME.case for every scenario below, with the expected bytes of
`lamvis2 < answers` computed by the reference model (lamvis_model.py).

Before writing, the model is checked against values worked out independently (by hand,
and by a double-precision classical lamination calculation from the closed-form Q-bar);
a failed check stops the script and writes nothing.

Usage: make_cases.py [--check]   (--check: run the checks and compare the existing case
files with the model, writing nothing; exit status 1 on any difference)
       make_cases.py --against PROGRAM   (run PROGRAM on every scenario and show the
       first difference of each output stream from the model)
"""

import math
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lamvis_model import MESSAGE_TEXTS, edit_real_e, f32, run_model  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CASES_DIR = os.path.join(ROOT, "tests", "cases")


def lines(*values):
    return [str(v) for v in values]


def material(e1, e2, nu12, g12, thickness, creep):
    """Answers of one material set; g12 is None when the set is isotropic (not asked)."""
    answers = [e1, e2, nu12] + ([] if g12 is None else [g12]) + [thickness, creep]
    return lines(*answers)


def plies(*layup):
    """Answers of the layup: (set number, angle) pairs, then the stop value."""
    answers = []
    for set_number, angle in layup:
        answers += [str(set_number), str(angle)]
    return answers + ["-1"]


STOP = ["-1"]
# 1 + 2**-24 + 2**-53 (the midpoint between the doubles next to 1 + 2**-24) plus 1e-45
TIE_ABOVE_MIDPOINT = "1.00000005960464488641292746251565404236316681008203125"
# As the last answer: the input ends without a line end after the answer before it.
NO_FINAL_NEWLINE = "<no final newline>"


def answer_bytes(answers):
    text = "".join(line + "\n" for line in answers if line != NO_FINAL_NEWLINE)
    if answers and answers[-1] == NO_FINAL_NEWLINE:
        text = text[:-1]
    return text.encode("latin-1")
UNIT_LOADS = lines(10, 5, 2, 1, 0.5, 0.25)
ISO = material(100, 100, 0.25, None, 1, 0.5)
# carbon/epoxy in MPa and mm; glass/epoxy likewise
CARBON = material(181000, 10300, 0.28, 7170, 0.125, 0.2)
GLASS = material(38600, 8270, 0.26, 4140, 0.25, 0.1)
QUASI_ISO = [(1, 0), (1, 45), (1, -45), (1, 90), (1, 90), (1, -45), (1, 45), (1, 0)]

TEN_SETS = (
    material(100, 100, 0.25, None, 1, 0.5)            # isotropic: shear modulus derived
    + material(100, 99.95, 0.3, None, 0.5, 0.1)       # d = 0.0005: derived
    + material(100, 99.8, 0.3, 38, 0.5, 0.1)          # d = 0.002: asked
    + material(100, 100.05, 0.3, None, 0.5, 0.1)      # |d| = 0.0005: derived
    + CARBON + GLASS
    + material(70000, 70000, 0.33, None, 0.2, 0.0)
    + material(135000, 9500, 0.3, 5000, 0.15, 0.05)
    + material(45000, 12000, 0.28, 5500, 0.3, 0.3)
    + material(210000, 210000, 0.3, None, 0.1, 0.01)
)

ISO_RUN = ISO + STOP + plies((1, 0)) + UNIT_LOADS + ["1.0"]
TWENTY_PLIES = (CARBON + GLASS + STOP
                + plies(*[((k % 2) + 1, (-1) ** k * 15 * (k % 7)) for k in range(1, 21)])[:-1]
                + lines(100, 20, 5, 2, 1, 0.5, 0.91))


def padded_first(answers, length):
    """`answers` with blanks after the first answer, so that its line (with its LF) is
    `length` bytes long."""
    return [answers[0] + " " * (length - 1 - len(answers[0]))] + answers[1:]


def padded_total(answers, total):
    """`answers` without a final line end, the first line padded with blanks so that the
    whole input is `total` bytes long."""
    unpadded = len(answer_bytes(answers + [NO_FINAL_NEWLINE]))
    return padded_first(answers, len(answers[0]) + 1 + total - unpadded) + [NO_FINAL_NEWLINE]


# Standard output limited to this many bytes (a file under a file-size limit), by scenario.
OUTPUT_LIMITS = {"file_size_limit": 1024}

SCENARIOS = [
    ("iso_unit_ply",
     "One isotropic unit ply (e1 = e2 = 100, nu12 = 0.25, so g12 = 40 is derived and not\n"
     "asked), t = 1, angle 0: A11 = 100/0.9375, A12 = 25/0.9375, A33 = 40, B zero,\n"
     "D = A/12; the stresses are the loads over t; relaxation time 1.0 gives 16 rows.",
     ISO_RUN),
    ("ortho_0_nx",
     "A single 0-degree glass/epoxy ply under Nx alone: sigma-1 = Nx / t = 400.",
     GLASS + STOP + plies((1, 0)) + lines(100, 0, 0, 0, 0, 0, 10)),
    ("ortho_45",
     "A single 45-degree carbon/epoxy ply under Nx and Mxy.",
     CARBON + STOP + plies((1, 45)) + lines(100, 0, 0, 0, 0, 2, 1)),
    ("ortho_90",
     "A single 90-degree carbon/epoxy ply: the small off-axis terms of the inexact right\n"
     "angle show in the stiffness.",
     CARBON + STOP + plies((1, 90)) + lines(0, 50, 0, 1, 0, 0, 1)),
    ("symmetric_0_90",
     "A symmetric [0/90]s glass/epoxy laminate: both B blocks zero up to rounding.",
     GLASS + STOP + plies((1, 0), (1, 90), (1, 90), (1, 0)) + lines(200, 100, 0, 0, 0, 0, 5)),
    ("carbon_quasi_isotropic",
     "Carbon/epoxy [0/45/-45/90]s, E1 = 181000, E2 = 10300, nu12 = 0.28, G12 = 7170 (MPa),\n"
     "t = 0.125 (mm), under Nx, Ny and Mx, relaxation time 100.",
     CARBON + STOP + plies(*QUASI_ISO) + lines(100, 50, 0, 10, 0, 0, 100)),
    ("glass_cross_ply",
     "A glass/epoxy [0/90]2 cross-ply (not symmetric: B is not zero), with a second set of\n"
     "carbon/epoxy defined and unused.",
     GLASS + CARBON + STOP + plies((1, 0), (1, 90), (1, 0), (1, 90))
     + lines(100, 0, 10, 0, 5, 0, 2.5)),
    ("ten_sets",
     "Ten material sets and no eleventh prompt; the isotropy test at 99.95 (derived),\n"
     "99.8 (asked) and 100.05 (derived); plies of sets 10, 5 and 2; a negative relaxation\n"
     "time gives no rows.",
     TEN_SETS + plies((10, 30), (5, -60), (2, 0)) + lines(10, 20, 5, 1, 2, 0.5, -1)),
    ("twenty_plies",
     "Twenty plies of two sets, no twenty-first prompt; ply numbers 1 to 20 in the stress\n"
     "table; relaxation time 0.91 gives 17 rows, the last at 91.",
     TWENTY_PLIES),
    ("null_later_ply",
     "A lone comma at the set-number prompt of ply 2 and a lone slash at ply 3 keep the\n"
     "number of the ply before (set 2); the angles are asked as usual.",
     ISO + GLASS + STOP + ["2", "0", ",", "90", "/", "0"] + STOP
     + lines(10, 0, 0, 0, 0, 0, -5)),
    ("null_first_ply",
     "A null value at ply 1 leaves the set counter (2, the set that stopped the material\n"
     "dialogue) in the set number, which names no defined set: it is rejected, and the\n"
     "same ply is asked again.",
     ISO + STOP + [","] + plies((1, 0)) + lines(1, 0, 0, 0, 0, 0, -1)),
    ("set_number_rejected",
     "Set numbers 0 and 3 with two sets defined are rejected with the range message and\n"
     "the same ply is asked again; the rejection also works at ply 2.",
     ISO + GLASS + STOP + ["0", "3", "1", "0", "7", "2", "90", "-1"]
     + lines(10, 0, 0, 0, 0, 0, -1)),
    ("no_set_defined",
     "No material set defined: a positive set number gets the message that none is\n"
     "defined; the stop value then leaves no plies, the zero stiffness is singular.",
     STOP + ["1", "-1", ""]),
    ("e1_zero",
     "e1 = 0 is no stop value; the isotropy test divides by it: M6103, no further prompt.",
     lines(0, 100, 0.3, 1, 0)),
    ("e1_e2_zero",
     "e1 = e2 = 0: the isotropy test is 0 / 0, an invalid operation: M6101.",
     lines(0, 0, 0.3)),
    ("no_plies",
     "No plies: six zero rows, the pause shows \"Singular matrix.\" on a line of its own,\n"
     "the empty answer lets the run go on, and the row scale then divides by zero.",
     ISO + STOP + STOP + [""]),
    ("no_plies_eof_at_pause",
     "No plies and no answer to the pause: end of input there is reported with the kind\n"
     "of the last statement, an output statement.",
     ISO + STOP + STOP),
    ("relaxation_time_zero",
     "A zero relaxation time: the decay factor divides 0 by 0 (M6101), no row.",
     ISO + STOP + plies((1, 0)) + UNIT_LOADS + ["0"]),
    ("creep_fraction_zero",
     "Every creep fraction zero: each row is the time and six zeros.",
     material(181000, 10300, 0.28, 7170, 0.125, 0) + STOP
     + plies((1, 0), (1, 45), (1, 90)) + lines(100, 0, 0, 1, 0, 0, 2)),
    ("tiny_relaxation_time",
     "A relaxation time whose hundredth rounds to zero: one row at time 0, then the next\n"
     "time is not greater and the sweep ends.",
     ISO + STOP + plies((1, 0)) + UNIT_LOADS + ["1e-45"]),
    ("eof_mid_dialogue",
     "The input ends after the Poisson ratio of set 2: F6501 at the shear modulus read.",
     ISO + lines(181000, 10300, 0.28)),
    ("letters_for_real",
     "Letters where the transverse modulus is read: F6103, nothing more is printed.",
     lines(100, "abc")),
    ("real_for_set_number",
     "A decimal point in the set number (an integer): F6101.",
     ISO + STOP + ["1.5"]),
    ("input_forms",
     "List-directed forms: extra values on a line are discarded, blank and tab-only lines\n"
     "are skipped, exponent forms 1.81e5, 1.03E+04 and 2.8-1, a comma separating 0.125,9;\n"
     "a lone comma for a load keeps its zero, a repeat count 2*3 gives 3.",
     ["1.81e5 7 8", "", " \t ", "1.03E+04", "2.8-1", "7170", "0.125,9", "0.2", "-1",
      "1", "0", "-1", "100", ",", "2*3", "1 2 3", "0", "0", "-3"]),
    ("long_lines",
     "Lines longer than one 132-byte read: the rest of a long line is skipped up to its\n"
     "line end, blanks before a value run over a read boundary; the last line has no line\n"
     "end, and one is supplied.",
     ["181000" + " 1" * 150, " " * 200 + "10300", "0.28" + "," * 140, "7170", "0.125",
      "0.2", "-1", "1", "30", "-1"] + lines(100, 0, 0, 0, 0, 0, 1) + [NO_FINAL_NEWLINE]),
    ("set_number_forms",
     "Set numbers in based form (16#1, #2, -16#FFFFFFFF = 1, 2#10 = 2), a Ctrl-Z ending a\n"
     "decimal number (1 then Ctrl-Z then 9 is 1), 2147483647 refused with the range message,\n"
     "and -8#1 stopping the layup: four plies of sets 1, 2, 1, 2 and one more of set 1.",
     ISO + GLASS + STOP + ["16#1", "0", "#2", "90", "-16#FFFFFFFF", "45", "2#10", "-45",
                          "1\x1a9", "30", "2147483647", "-8#1"]
     + lines(100, 10, 0, 1, 0, 0, -1)),
    ("repeat_counts",
     "Repeat counts: 1* leaves no repeat pending, so the blank after it is skipped and 38600\n"
     "is read, and 1*1*8270 is no second count; 2* followed by a tab is a null value (the\n"
     "creep fraction keeps its zero, the rest of the line is discarded).",
     ["1* 38600", "1*1*8270", "0.26", "2*4140", "0.25", "2*\t0.5", "-1", "1", "0", "-1"]
     + lines(100, 0, 0, 0, 0, 0, 1)),
    ("empty_quoted_values",
     "An empty quoted value ended by a comma and empty parentheses are null values: '',7\n"
     "and ( ) at the set-number prompts of plies 2 and 3 keep set 2; () 5 for Nx keeps its\n"
     "zero (the rest of each line is discarded).",
     ISO + GLASS + STOP + ["2", "0", "'',7", "90", "( )", "0", "-1", "() 5"]
     + lines(0, 0, 1, 0, 0, -1)),
    ("over_long_values",
     "A value of 260 characters is read (259 zeros and a 1), one of 261 is refused as an\n"
     "invalid real (F6103) when its 261st character arrives.",
     ["0" * 259 + "1", "0" * 260 + "1", "0.3"]),
    ("twenty_four_digits",
     "Only 24 significant digits of a real take part: the thickness typed with 54 digits,\n"
     "a little above the midpoint between the doubles next to 1 + 2**-24, keeps 24 digits\n"
     "that lie below it, so the double is 1 + 2**-24, a tie that rounds to 1.0 in single\n"
     "precision. With a second set of thickness -1 the laminate has zero thickness: the\n"
     "stiffness is all zeros and its inversion meets a singular matrix.",
     material(100, 100, 0.25, None, TIE_ABOVE_MIDPOINT, 0.5) + material(100, 100, 0.25, None,
                                                                        -1, 0.5)
     + STOP + plies((1, 0), (2, 0)) + [""]),
    ("crlf_line_ends",
     "CR LF line ends, the exponent forms 1.0+2 and 2.5d-1, and a last line ended by CR\n"
     "alone.",
     [v + "\r" for v in ["1.0+2", "100", "2.5d-1", "1", "0.5", "-1", "1", "0", "-1"]
      + lines(100, 10, 0, 0, 0, 0)] + ["1.0\r", NO_FINAL_NEWLINE]),
    ("pause_one_character",
     "No plies: a one-character answer to the pause is no command, and the run goes on to\n"
     "the division by zero of the row scale.",
     ISO + STOP + STOP + ["x"]),
    ("e2_zero",
     "e2 = 0: the shear modulus is asked (the moduli differ), and the ply compliance of the\n"
     "stiffness phase divides by the transverse modulus: M6103 before the stiffness heading.",
     material(100, 0, 0.3, 5, 1, 0) + STOP + plies((1, 0))),
    ("g12_zero",
     "g12 = 0 typed: the ply compliance divides by it: M6103 before the stiffness heading.",
     material(100, 50, 0.3, 0, 1, 0) + STOP + plies((1, 30))),
    ("g12_store_overflow",
     "e1 = e2 = 3e38 with nu12 = -0.9: the derived shear modulus 3e38 / 0.2 is a finite\n"
     "double too large for single precision; its store overflows (M6104) before the\n"
     "thickness prompt.",
     lines(3e38, 3e38, -0.9)),
    ("zero_thickness",
     "Two plies of thickness 0: the stiffness is all zeros, the pause shows\n"
     "\"Singular matrix.\", and the row scale then divides by zero.",
     material(100, 100, 0.25, None, 0, 0.5) + STOP + plies((1, 0), (1, 45)) + [""]),
    ("tiny_thickness",
     "One ply of thickness 1e-20: the extensional block is tiny but not zero, the third\n"
     "moment underflows to zero without a report, so the bending rows are zero: the pause,\n"
     "then the division by zero of the row scale.",
     material(100, 100, 0.25, None, 1e-20, 0.5) + STOP + plies((1, 0)) + [""]),
    ("overflowing_loads",
     "A very soft ply (moduli 1e-3) under Nx = 1e37: the running sum of the strain\n"
     "overflows single precision at its store (M6104) before the strains are printed.",
     material(0.001, 0.001, 0.25, None, 1, 0.5) + STOP + plies((1, 0))
     + lines(1e37, 0, 0, 0, 0, 0)),
    ("underflowing_load",
     "Nx = 1e-40, a denormal: the strains and stresses underflow without a report and the\n"
     "run completes.",
     ISO + STOP + plies((1, 0)) + lines(1e-40, 0, 0, 0, 0, 0, 1)),
    ("negative_relaxation_time",
     "A negative relaxation time: 100 times it is below its hundredth, so no row is\n"
     "written and the run ends normally.",
     ISO + STOP + plies((1, 0)) + UNIT_LOADS + ["-5"]),
    ("extended_tie",
     "A thickness whose value rounded to the 64-bit significand of extended precision is\n"
     "a tie of doubles, which rounds to the even double, itself a tie of floats: the\n"
     "thickness is 1480 + 284/8192, as on any processor.",
     material(100, 100, 0.25, None, "1480.03472900390636369", 0.5) + STOP + plies((1, 0))
     + lines(1, 0, 0, 0, 0, 0, 1)),
    ("huge_relaxation_time",
     "A relaxation time of 3.4e38: the rows are printed until the next time overflows the\n"
     "single-precision range (M6104).",
     ISO + STOP + plies((1, 0)) + UNIT_LOADS + ["3.4e38"]),
    ("ctrl_z_line_after_answer",
     "A Ctrl-Z line (Ctrl-Z CR LF) after the first answer: 100 is read, and the Ctrl-Z line\n"
     "ends the input at the next prompt (F6501).",
     ["100\r", "\x1a\r"]),
    ("ctrl_z_line_after_twenty_plies",
     "A complete twenty-ply answer file with CR LF line ends and a last line Ctrl-Z CR LF:\n"
     "every answer is read, the run is complete and the Ctrl-Z line is never reached.",
     [a + "\r" for a in TWENTY_PLIES] + ["\x1a\r"]),
    ("ctrl_z_line_across_reads",
     "A Ctrl-Z line that straddles two reads of 132 bytes (the Ctrl-Z and its CR are the\n"
     "last two bytes of the first, the LF the first of the second) ends the input at the\n"
     "second prompt.",
     padded_first(["100"], 130) + ["\x1a\r"] + ISO_RUN[1:]),
    ("ctrl_z_in_ignored_rest",
     "A Ctrl-Z in the ignored rest of the first line, 130th byte of the first read of 132\n"
     "bytes, is an ordinary byte: the run is complete.",
     ["100" + " " * 126 + "\x1a" + "xx"] + ISO_RUN[1:]),
    ("no_final_line_end_at_264",
     "An answer file of exactly 264 bytes (two reads of 132) without a line end after its\n"
     "last answer: the last line is read whole, and the run is complete.",
     padded_total(ISO_RUN, 264)),
    ("file_size_limit",
     "Standard output is a file under a file-size limit of 1024 bytes: the write that\n"
     "reaches the limit fails after the bytes that fit, and it is reported (F6423).",
     ISO_RUN),
]


# ---------------------------------------------------------------------------------------
# Case files


def encode_line(data, allow_trailing_blank_escape=True):
    text = ""
    for byte in data:
        ch = chr(byte)
        if ch == "\\":
            text += "\\\\"
        elif ch == "\r":
            text += "\\r"
        elif ch == "\n":
            text += "\\n"
        elif ch == "\t":
            text += "\\t"
        elif byte < 0x20 or byte >= 0x7F:
            text += "\\x%02X" % byte
        else:
            text += ch
    if allow_trailing_blank_escape and text.endswith(" "):
        text = text[:-1] + "\\x20"
    return text


def encode_section(data, terminator):
    """Section lines whose decoding (each line plus `terminator`) gives back `data`."""
    out = []
    pieces = data.split(terminator)
    for piece in pieces[:-1]:
        out.append(encode_line(piece))
    if pieces[-1]:
        out.append(encode_line(pieces[-1]) + "\\z")
    elif not pieces[:-1]:
        out.append("\\z")
    return out


def case_text(name, comment, answers):
    stdin = answer_bytes(answers)
    limit = OUTPUT_LIMITS.get(name)
    out, err, status = run_model(stdin, limit)
    text = ["Expected bytes from the reference model (tests/model/make_cases.py)."]
    text += comment.split("\n")
    text.append("--- stdin")
    text += encode_section(stdin, b"\n")
    if limit is not None:
        text.append("--- file size limit")
        text.append(str(limit))
    text.append("--- stdout")
    text += encode_section(out, b"\r\n")
    if err:
        text.append("--- stderr")
        text += encode_section(err, b"\r\n")
    text.append("--- status")
    text.append(str(status))
    return "\n".join(text) + "\n"


# ---------------------------------------------------------------------------------------
# Checks of the model against independently worked-out values

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run_answers(answers):
    return run_model(answer_bytes(answers))


def printed_matrix(out, heading):
    """The six rows of the matrix printed after `heading`, as floats."""
    text = out.decode("latin-1").split("\r\n")
    start = text.index(heading) + 2
    rows = [r for r in text[start:start + 7] if r.strip()]
    return [[float(v) for v in re.findall(r"-?\.\d{4}E[+-]\d\d", r)] for r in rows]


def sweep_rows(out):
    text = out.decode("latin-1").split("\r\n")
    start = text.index("Enter relaxation time") + 1
    return [r for r in text[start:] if r]


def clt_abd(e1, e2, nu12, g12, t, angles):
    """A, B, D in double precision from the textbook closed-form Q-bar."""
    nu21 = nu12 * e2 / e1
    den = 1 - nu12 * nu21
    q11, q22, q12, q66 = e1 / den, e2 / den, nu12 * e2 / den, g12
    n = len(angles)
    z = [(k - n / 2) * t for k in range(n + 1)]
    abd = [[0.0] * 6 for _ in range(6)]
    for k, angle in enumerate(angles, start=1):
        th = math.radians(angle)
        c, s = math.cos(th), math.sin(th)
        qb = [[0.0] * 3 for _ in range(3)]
        qb[0][0] = q11 * c**4 + 2 * (q12 + 2 * q66) * s**2 * c**2 + q22 * s**4
        qb[1][1] = q11 * s**4 + 2 * (q12 + 2 * q66) * s**2 * c**2 + q22 * c**4
        qb[0][1] = qb[1][0] = (q11 + q22 - 4 * q66) * s**2 * c**2 + q12 * (s**4 + c**4)
        qb[2][2] = (q11 + q22 - 2 * q12 - 2 * q66) * s**2 * c**2 + q66 * (s**4 + c**4)
        qb[0][2] = qb[2][0] = (q11 - q12 - 2 * q66) * s * c**3 + (q12 - q22 + 2 * q66) * s**3 * c
        qb[1][2] = qb[2][1] = (q11 - q12 - 2 * q66) * s**3 * c + (q12 - q22 + 2 * q66) * s * c**3
        for i in range(3):
            for j in range(3):
                abd[i][j] += qb[i][j] * (z[k] - z[k - 1])
                abd[i + 3][j] += qb[i][j] * (z[k] ** 2 - z[k - 1] ** 2) / 2
                abd[i][j + 3] += qb[i][j] * (z[k] ** 2 - z[k - 1] ** 2) / 2
                abd[i + 3][j + 3] += qb[i][j] * (z[k] ** 3 - z[k - 1] ** 3) / 3
    return abd


def check_against_clt(name, answers, constants, angles):
    out, _, _ = run_answers(answers)
    printed = printed_matrix(out, "laminate stiffness matrix:")
    expected = clt_abd(*constants, angles)
    scale_a = max(abs(expected[i][j]) for i in range(3) for j in range(3))
    scale_d = max(abs(expected[i][j]) for i in range(3, 6) for j in range(3, 6))
    for i in range(6):
        for j in range(6):
            scale = scale_a if i < 3 and j < 3 else scale_d if i >= 3 and j >= 3 else \
                math.sqrt(scale_a * scale_d)
            got, want = printed[i][j], expected[i][j]
            # four significant digits of the entry, or rounding noise of a zero entry
            tolerance = max(abs(want) * 6e-4, scale * 1e-4)
            check(abs(got - want) <= tolerance,
                  "%s: stiffness (%d,%d) printed %g, lamination theory %g"
                  % (name, i + 1, j + 1, got, want))


def same_results(answers, plain):
    """Whether two answer lists give the same output from the stiffness report on, and the
    same ending: `plain` types the values that `answers` is meant to be read as."""
    (out, err, status), (out2, err2, status2) = run_answers(answers), run_answers(plain)
    heading = b"laminate stiffness matrix:"
    return (heading in out and out[out.index(heading):] == out2[out2.index(heading):]
            and (err, status) == (err2, status2))


def run_checks():
    # E12.4 editing of the values worked out in the rules for numeric output.
    for value, field in [
        (123.456, "   .1235E+03"), (-123.456, "  -.1235E+03"), (0.0, "   .0000E+00"),
        (-0.0, "   .0000E+00"), (1.0, "   .1000E+01"), (0.1, "   .1000E+00"),
        (9.99996, "   .1000E+02"), (2.0345, "   .2034E+01"), (0.99995, "   .9999E+00"),
        (0.12345, "   .1235E+00"), (-2.5e-5, "  -.2500E-04"), (1.0e-10, "   .1000E-09"),
        (3.0e38, "   .3000E+39"), (1.401298464324817e-45, "   .1401E-44"),
    ]:
        got = edit_real_e(f32(value), 12, 4)
        check(got == field, "E12.4 of %r: %r, not %r" % (value, got, field))
    check(edit_real_e(f32(1.0 / 3.0), 15, 8) == "  .33333330E+00", "E15.8 of one third")
    check(edit_real_e(f32(123.456), 8, 4) == "********", "E8.4 overflow")

    # One isotropic unit ply, worked out by hand.
    out, err, status = run_answers(SCENARIOS[0][2])
    text = out.decode("latin-1")
    check(status == 0 and err == b"", "iso_unit_ply ends normally")
    check("      .1067E+03   .2667E+02   .0000E+00     .0000E+00   .0000E+00   .0000E+00"
          in text, "iso: A row 1 = 100/0.9375, 25/0.9375, B zero")
    check("      .0000E+00   .0000E+00   .4000E+02     .0000E+00   .0000E+00   .0000E+00"
          in text, "iso: A33 = 40")
    check("      .0000E+00   .0000E+00   .0000E+00     .8889E+01   .2222E+01   .0000E+00"
          in text, "iso: D = A/12")
    check("      .1000E-01  -.2500E-02   .0000E+00" in text, "iso: compliance 1/E, -nu/E")
    check("  eps-xx =   .8750E-01\r\n" in text, "iso: eps-xx = 0.01*10 - 0.0025*5")
    check("  kappa-yy=    .3000E-01\r\n" in text, "iso: kappa-yy label and value")
    check("   1   .1000E+02   .5000E+01   .2000E+01\r\n" in text, "iso: stresses = loads / t")
    rows = sweep_rows(out)
    check(len(rows) == 16, "relaxation time 1.0 gives 16 rows, not %d" % len(rows))
    check(rows[0].startswith("  .1000E-01") and rows[-1].startswith("  .5623E+02"),
          "rows from .01 to 56.23")
    # the creep strains tend to creep fraction * stress / modulus: 0.5*5/100, 0.5*2/40
    check(rows[-1][23:] == "   .2500E-01   .2500E-01   .0000E+00   .0000E+00   .0000E+00",
          "iso: creep limit 0.025, 0.025")

    # Row counts, the single-ply stress and the zero creep fraction.
    for name, count in [("twenty_plies", 17), ("ten_sets", 0), ("tiny_relaxation_time", 1)]:
        answers = dict((s[0], s[2]) for s in SCENARIOS)[name]
        got = len(sweep_rows(run_answers(answers)[0]))
        check(got == count, "%s: %d rows, not %d" % (name, got, count))
    scen = dict((s[0], s[2]) for s in SCENARIOS)
    out = run_answers(scen["twenty_plies"])[0].decode("latin-1")
    check(sweep_rows(out.encode("latin-1"))[-1].startswith("  .9100E+02"), "last row at 91")
    check("enter material set number for ply number 21" not in out, "no 21st ply prompt")
    check("  20 " in out, "ply 20 in the stress table")
    out = run_answers(scen["ortho_0_nx"])[0].decode("latin-1")
    check(re.search(r"\r\n   1   \.4000E\+03 +-?\.\d{4}E[+-]\d\d +-?\.\d{4}E[+-]\d\d\r\n", out)
          is not None, "0-degree ply: sigma-1 = Nx / t = 400")
    for row in sweep_rows(run_answers(scen["creep_fraction_zero"])[0]):
        check(row[11:] == "   .0000E+00" * 6, "zero creep fraction: zeros in " + row)
    out = run_answers(scen["ten_sets"])[0].decode("latin-1")
    check(out.count("Material set") == 10 and "Material set          11" not in out,
          "ten sets, no eleventh")
    check(out.count("Enter shear modulus: ") == 5, "shear modulus asked for 5 of 10 sets")

    # Stiffness against classical lamination theory in double precision.
    carbon = (181000.0, 10300.0, 0.28, 7170.0, 0.125)
    check_against_clt("carbon [0/45/-45/90]s", scen["carbon_quasi_isotropic"], carbon,
                      [a for _, a in QUASI_ISO])
    check_against_clt("glass [0/90]2", scen["glass_cross_ply"],
                      (38600.0, 8270.0, 0.26, 4140.0, 0.25), [0, 90, 0, 90])
    check_against_clt("carbon 45", scen["ortho_45"], carbon, [45])

    # Error endings.
    for name, number, kind in [("e1_zero", "M6103", ": MATH"), ("e1_e2_zero", "M6101", ": MATH"),
                               ("no_plies", "M6103", ": MATH"),
                               ("no_plies_eof_at_pause", "F6501", ": WRITE(CON)"),
                               ("relaxation_time_zero", "M6101", ": MATH"),
                               ("eof_mid_dialogue", "F6501", ": READ(CON)"),
                               ("letters_for_real", "F6103", ": READ(CON)"),
                               ("real_for_set_number", "F6101", ": READ(CON)")]:
        out, err, status = run_answers(scen[name])
        check(status == 1 and err.startswith(("\r\nrun-time error " + number + kind).encode()),
              "%s: report %r" % (name, err))
        check(out.endswith(b"\r\n"), name + ": the open line is ended at close-down")
    out = run_answers(scen["no_plies"])[0]
    check(out.endswith(b".0000E+00\r\nSingular matrix.\r\n\r\n"), "no plies: pause text")

    # Input forms: what each scenario's answers must have been read as.
    out, err, status = run_answers(scen["set_number_forms"])
    text = out.decode("latin-1")
    check(status == 0 and text.count("enter ply angle") == 5, "set numbers: five plies")
    check(text.count("material set must be a number from 1 to  2") == 1,
          "set numbers: 2147483647 refused once")
    stresses = re.findall(r"\r\n   (\d) +(-?\.\d{4}E[+-]\d\d)", text)
    check([p for p, _ in stresses] == ["1", "2", "3", "4", "5"], "set numbers: stress table")
    check(same_results(scen["set_number_forms"],
                       ISO + GLASS + STOP + plies((1, 0), (2, 90), (1, 45), (2, -45), (1, 30))
                       + lines(100, 10, 0, 1, 0, 0, -1)),
          "set numbers: plies of sets 1, 2, 1, 2, 1")
    answers = scen["repeat_counts"]
    out, err, status = run_answers(answers)
    check(status == 0 and b"Enter shear modulus" in out, "repeat counts: orthotropic set")
    check_against_clt("repeat counts", answers, (38600.0, 8270.0, 0.26, 4140.0, 0.25), [0])
    check(same_results(answers, material(38600, 8270, 0.26, 4140, 0.25, 0) + STOP
                       + plies((1, 0)) + lines(100, 0, 0, 0, 0, 0, 1)),
          "repeat counts: read as 38600, 8270, and a zero creep fraction")
    for row in sweep_rows(out):
        check(row[11:] == "   .0000E+00" * 6, "repeat counts: null creep fraction " + row)
    out, err, status = run_answers(scen["empty_quoted_values"])
    text = out.decode("latin-1")
    check(status == 0 and err == b"" and text.count("enter ply angle") == 3,
          "empty quoted values: three plies, no error")
    check(same_results(scen["empty_quoted_values"],
                       ISO + GLASS + STOP + plies((2, 0), (2, 90), (2, 0))
                       + lines(0, 0, 0, 1, 0, 0, -1)),
          "empty quoted values: plies of set 2, Nx zero")
    out, err, status = run_answers(scen["over_long_values"])
    check(err.startswith(b"\r\nrun-time error F6103: READ(CON)") and
          out.endswith(b"Enter modulus in transverse direction: \r\n"),
          "over-long values: 260 read, 261 refused")
    out, err, status = run_answers(scen["twenty_four_digits"])
    check(b"Singular matrix." in out and err.startswith(b"\r\nrun-time error M6103"),
          "24 digits: zero thickness")
    # the same thickness in 17 digits lies above the tie and rounds up to 1 + 2**-23
    short = [a.replace(TIE_ABOVE_MIDPOINT, "1.0000000596046449")
             for a in scen["twenty_four_digits"]]
    check(b"Singular matrix." not in run_answers(short)[0], "17 digits: not singular")
    out, err, status = run_answers(scen["crlf_line_ends"])
    text = out.decode("latin-1")
    check(status == 0 and len(sweep_rows(out)) == 16, "CR LF: complete run, 16 rows")
    check("      .1067E+03   .2667E+02   .0000E+00" in text, "CR LF: e1 100, nu12 0.25")
    out, err, status = run_answers(scen["pause_one_character"])
    check(out.endswith(b"Singular matrix.\r\n\r\n") and
          err.startswith(b"\r\nrun-time error M6103: MATH"), "one character at the pause")
    # Ctrl-Z lines and a missing last line end, wherever the reads of 132 bytes fall.
    complete = run_answers(ISO_RUN)
    stopped = run_answers(["100", "\x1a"])
    check(stopped[2] == 1 and stopped[1].startswith(b"\r\nrun-time error F6501: READ(CON)")
          and stopped[0].endswith(b"Enter modulus in transverse direction: \r\n"),
          "a Ctrl-Z line ends the input at the prompt that reaches it")
    check(run_answers(scen["ctrl_z_line_after_answer"]) == stopped, "Ctrl-Z line after 100")
    check(run_answers(scen["ctrl_z_line_across_reads"]) == stopped, "Ctrl-Z line across reads")
    check(run_answers(scen["ctrl_z_line_after_twenty_plies"]) == run_answers(TWENTY_PLIES),
          "twenty plies and a Ctrl-Z line: complete")
    check(run_answers(scen["ctrl_z_in_ignored_rest"]) == complete, "Ctrl-Z in the ignored rest")
    data = answer_bytes(scen["no_final_line_end_at_264"])
    check(len(data) == 264 and data.endswith(b"1.0"), "264 bytes, no final line end")
    check(run_model(data) == complete, "no final line end at 264 bytes: complete")
    limited = run_model(answer_bytes(ISO_RUN), 1024)
    check(len(complete[0]) > 1024 and limited == (
        complete[0][:1024], b"\r\nrun-time error F6423: WRITE(CON)\r\n- " +
        MESSAGE_TEXTS[6423].encode() + b"\r\n", 1), "file-size limit: F6423 after 1024 bytes")

    out, err, status = run_answers(scen["huge_relaxation_time"])
    rows = sweep_rows(out)
    check(err.startswith(b"\r\nrun-time error M6104: MATH") and len(rows) >= 8 and
          rows[0].startswith("  .3400E+37"), "huge relaxation time: rows, then overflow")


def check_message_table():
    """The report texts must be those of the run-time's message table."""
    path = os.path.join(ROOT, "runtime", "error.cc")
    if not os.path.exists(path):
        return
    source = open(path, encoding="utf-8").read()
    table = {6000 + int(n): t for n, t in re.findall(r"\{ErrorCode::\w+, (\d+), \"([^\"]*)\"\}",
                                                       source)}
    for number, text in MESSAGE_TEXTS.items():
        check(table.get(number) == text,
              "message %d: model %r, runtime/error.cc %r" % (number, text, table.get(number)))


def first_difference(expected, got):
    for i, (a, b) in enumerate(zip(expected, got)):
        if a != b:
            break
    else:
        i = min(len(expected), len(got))
    line = expected.count(b"\n", 0, i) + 1
    return "line %d, byte %d: expected %r, got %r" % (
        line, i, expected[max(0, i - 30):i + 30], got[max(0, i - 30):i + 30])


def run_limited(program, stdin, limit):
    """Runs `program` on `stdin`; with a `limit`, standard output is a file that may not
    grow beyond `limit` bytes."""
    import resource
    import signal
    import subprocess
    import tempfile
    if limit is None:
        return subprocess.run([program], input=stdin, capture_output=True, timeout=30)

    def limit_file_size():
        signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    with tempfile.TemporaryFile() as out:
        run = subprocess.run([program], input=stdin, stdout=out, stderr=subprocess.PIPE,
                             preexec_fn=limit_file_size, timeout=30)
        out.seek(0)
        run.stdout = out.read()
    return run


def compare_with_program(program):
    """Runs `program` on every scenario's answers through pipes and reports the first
    difference of each stream from the model."""
    mismatches = 0
    for name, _, answers in SCENARIOS:
        stdin = answer_bytes(answers)
        limit = OUTPUT_LIMITS.get(name)
        out, err, status = run_model(stdin, limit)
        run = run_limited(program, stdin, limit)
        for stream, expected, got in (("stdout", out, run.stdout), ("stderr", err, run.stderr)):
            if expected != got:
                mismatches += 1
                print("%s %s: %s" % (name, stream, first_difference(expected, got)))
        if status != run.returncode:
            mismatches += 1
            print("%s status: expected %d, got %d" % (name, status, run.returncode))
    print("%d scenarios run against %s, %d differences" % (len(SCENARIOS), program, mismatches))
    return 1 if mismatches else 0


def main():
    if sys.argv[1:2] == ["--against"]:
        return compare_with_program(sys.argv[2])
    only_check = "--check" in sys.argv[1:]
    run_checks()
    check_message_table()
    if failures:
        for failure in failures:
            print("model check failed:", failure)
        return 1
    differing = 0
    for name, comment, answers in SCENARIOS:
        path = os.path.join(CASES_DIR, "model_%s.case" % name)
        text = case_text(name, comment, answers)
        if only_check:
            if not os.path.exists(path) or open(path, encoding="latin-1").read() != text:
                print("differs from the model:", path)
                differing += 1
            continue
        with open(path, "w", encoding="latin-1", newline="") as f:
            f.write(text)
    print("%d scenarios, model checks passed%s" %
          (len(SCENARIOS), "" if not only_check else ", %d case files differ" % differing))
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
