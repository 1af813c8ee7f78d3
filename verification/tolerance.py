"""The tolerance of each compared number, from the precisions alone.

A number passes when |program - reference| <= source + program + arithmetic, the sum of:
- source: half a unit of the last digit the source prints (0 for a closed-form value,
  which is computed in double precision);
- program: half a unit of the fourth digit of the printed E12.4 field (the program rounds
  to four digits), carried through the formula for a derived quantity, first order;
- arithmetic: the single-precision round-off, ULPS(kind) units of 2^-24 relative to the
  number's scale: its own magnitude, or for a structural zero (and for every number of a
  relaxation row) the largest entry of its block.

ULPS: every rounding to single precision on the way to a number adds at most half a unit in
the last place (2^-24 relative) of the value stored; counted generously as one unit per
rounding, the longest chain to a stiffness entry is the ply's own matrices (1 for each
typed value, about 4 for the angle's sine and cosine terms, 9 for the three chained 3 by 3
products, about 8 for the 3 by 3 inversion: 24 in all, rounded up to 32) plus 2 per ply for
the laminate's sums. Past the 6 by 6 inversion (compliance and everything computed from it)
another 32 (the elimination and the products of at most 6 terms), multiplied by the
condition number of the stiffness matrix equilibrated by its diagonal (the inversion scales
rows, so it is this condition number that amplifies the round-off). A relaxation row n
carries the errors of its n steps (each damped by the scheme, so at most added up): n times.
"""

import math
import re

U = 2.0 ** -24

_FIELD = re.compile(r"^\s*(-?)0?\.(\d+)(?:[EeDd]([+-]?\d+)|([+-]\d{3}))\s*$")


def printed_half_unit(text):
    """Half a unit of the last digit of an E-form field; 0 for an exact zero."""
    m = _FIELD.match(text)
    if not m:
        raise ValueError(f"not an E-form field: {text!r}")
    digits = m.group(2)
    exponent = int(m.group(3) or m.group(4))
    if set(digits) == {"0"}:
        return 0.0
    return 0.5 * 10.0 ** (exponent - len(digits))


def ulps(name, plies, condition, row=0):
    """Units of 2^-24 allowed for the single-precision round-off of the quantity NAME."""
    stiffness = 32 + 2 * plies
    if name.startswith("stiffness["):
        return stiffness
    if name.endswith(".time"):
        # The time is multiplied by the single-precision factor once a row: one rounding of
        # the product and the factor's own error (at most half a unit), per row.
        return 2 * row
    after = (stiffness + 32) * condition
    return after * max(row, 1)


def derived_program_error(name, value, compliance_texts, compliance_values):
    """Half a unit of the printed compliance entries, carried through the formula of the
    derived quantity NAME (first order)."""
    def rel(i, j):
        v = compliance_values[(i, j)]
        return printed_half_unit(compliance_texts[(i, j)]) / abs(v) if v else math.inf
    one = {"Ex": (1, 1), "Ey": (2, 2), "Gxy": (3, 3), "Efx": (4, 4), "Efy": (5, 5),
           "Gfxy": (6, 6)}
    if name in one:
        return abs(value) * rel(*one[name])
    if name == "nuxy":
        return abs(value) * (rel(1, 2) + rel(1, 1))
    if name == "nuyx":
        return abs(value) * (rel(1, 2) + rel(2, 2))
    if name == "thickness":
        return 0.0
    raise ValueError(f"no error rule for the derived quantity {name}")


STRENGTH_SPREAD = 4


def is_strength_name(name):
    """A quantity of `lamvis2-kit strength`: a face's stress, strain or strength ratio, a
    first- or last-ply failure, or a set's Tsai-Wu coefficient."""
    return bool(re.fullmatch(r"ply\[\d+\]\.(bottom|middle|top)\..+|(first|last)-ply\..+|"
                             r"set\[\d+\]\.tsai-wu\..+", name))


def strength_program_error(name, value, deformation_texts, deformation_values):
    """The program's part for a quantity of `lamvis2-kit strength`. A set's Tsai-Wu
    coefficient comes from the strengths alone: none. The others come from the printed
    strains and curvatures through the plies' stiffness: the largest relative half unit of
    those printed (at most 5e-4, four digits), counted STRENGTH_SPREAD times: a face's stress
    sums a few terms of them, each with that relative error, and a strength ratio is at most
    as sensitive to the stresses as a ratio of them."""
    if re.fullmatch(r"set\[\d+\]\.tsai-wu\..+", name):
        return 0.0
    relative = max((printed_half_unit(t) / abs(deformation_values[n])
                    for n, t in deformation_texts.items() if deformation_values.get(n)),
                   default=0.0)
    return abs(value) * STRENGTH_SPREAD * relative


def equilibrated_condition(stiffness, compliance):
    """Infinity-norm condition number of D K D with D = diag(1 / sqrt(K_ii))."""
    n = len(stiffness)
    d = [1.0 / math.sqrt(abs(stiffness[i][i])) for i in range(n)]
    norm = max(sum(abs(d[i] * stiffness[i][j] * d[j]) for j in range(n)) for i in range(n))
    inverse_norm = max(sum(abs(compliance[i][j] / (d[i] * d[j])) for j in range(n))
                       for i in range(n))
    return norm * inverse_norm


def block_of(name):
    """The names of the block a matrix entry belongs to, or None."""
    m = re.fullmatch(r"(stiffness|compliance)\[(\d),(\d)\]", name)
    if not m:
        return None
    i, j = int(m.group(2)), int(m.group(3))
    rows = range(1, 4) if i <= 3 else range(4, 7)
    columns = range(1, 4) if j <= 3 else range(4, 7)
    return [f"{m.group(1)}[{r},{c}]" for r in rows for c in columns]
